#include "HttpDate.h"

#include <cstdio>
#include <ctime>

namespace varnholt::serve {

QByteArray httpDate(qint64 secondsSinceEpoch) {
    const time_t t = time_t(secondsSinceEpoch);
    struct tm parts {};
    ::gmtime_r(&t, &parts);
    char buffer[64] = {};
    // strftime's %a and %b follow the locale; these must not.
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                  kDays[parts.tm_wday % 7], parts.tm_mday, kMonths[parts.tm_mon % 12],
                  parts.tm_year + 1900, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return QByteArray(buffer);
}

std::optional<qint64> parseHttpDate(QByteArrayView text) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (text.size() != 29 || text.sliced(25) != " GMT") {
        return std::nullopt;
    }
    const auto num = [&](qsizetype at, qsizetype count) -> int {
        int value = 0;
        for (qsizetype i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return -1;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    struct tm parts {};
    parts.tm_mday = num(5, 2);
    parts.tm_year = num(12, 4) - 1900;
    parts.tm_hour = num(17, 2);
    parts.tm_min = num(20, 2);
    parts.tm_sec = num(23, 2);
    parts.tm_mon = -1;
    for (int m = 0; m < 12; ++m) {
        if (text.sliced(8, 3) == kMonths[m]) {
            parts.tm_mon = m;
        }
    }
    if (parts.tm_mday < 1 || parts.tm_mon < 0 || parts.tm_year < 0 || parts.tm_hour < 0 ||
        parts.tm_min < 0 || parts.tm_sec < 0) {
        return std::nullopt;
    }
    return qint64(::timegm(&parts));
}

}  // namespace varnholt::serve
