#include "ByteRange.h"

#include <limits>
#include <optional>

namespace varnholt::serve {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front())) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && isBlank(text.back())) {
        text.chop(1);
    }
    return text;
}

// Digits only; a value past what a file can hold saturates, which keeps an
// absurd last position meaning "to the end" and an absurd first position
// unsatisfiable.
std::optional<qint64> number(QByteArrayView digits) {
    if (digits.isEmpty()) {
        return std::nullopt;
    }
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const int digit = c - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

}  // namespace

RangeRequest parseRange(QByteArrayView header, qint64 length) {
    const RangeRequest whole;
    header = trimmed(header);
    const qsizetype equals = header.indexOf('=');
    if (equals < 0 || trimmed(header.first(equals)).compare("bytes", Qt::CaseInsensitive) != 0) {
        return whole;
    }
    QByteArrayView set = header.sliced(equals + 1);
    // Empty list elements are allowed ("bytes=, 0-1"); more than one range
    // is answered with the whole file.
    QByteArrayView wanted;
    int count = 0;
    while (true) {
        const qsizetype comma = set.indexOf(',');
        const QByteArrayView item = trimmed(comma < 0 ? set : set.first(comma));
        if (!item.isEmpty()) {
            wanted = item;
            ++count;
        }
        if (comma < 0) {
            break;
        }
        set = set.sliced(comma + 1);
    }
    if (count != 1 || length < 0) {
        return whole;
    }
    const qsizetype dash = wanted.indexOf('-');
    if (dash < 0) {
        return whole;
    }
    const QByteArrayView firstText = trimmed(wanted.first(dash));
    const QByteArrayView lastText = trimmed(wanted.sliced(dash + 1));
    RangeRequest result;
    if (firstText.isEmpty()) {
        const auto suffix = number(lastText);
        if (!suffix) {
            return whole;
        }
        if (*suffix == 0 || length == 0) {
            result.kind = RangeRequest::Kind::Unsatisfiable;
            return result;
        }
        result.kind = RangeRequest::Kind::Partial;
        result.first = *suffix >= length ? 0 : length - *suffix;
        result.last = length - 1;
        return result;
    }
    const auto first = number(firstText);
    const auto last = lastText.isEmpty() ? std::optional<qint64>(length - 1) : number(lastText);
    if (!first || !last || (!lastText.isEmpty() && *last < *first)) {
        return whole;
    }
    if (*first >= length) {
        result.kind = RangeRequest::Kind::Unsatisfiable;
        return result;
    }
    result.kind = RangeRequest::Kind::Partial;
    result.first = *first;
    result.last = *last >= length ? length - 1 : *last;
    return result;
}

}  // namespace varnholt::serve
