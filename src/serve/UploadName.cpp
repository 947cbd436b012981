#include "UploadName.h"

#include <QString>

namespace varnholt::serve {

namespace {

// An extension longer than this is more likely part of the name.
constexpr qsizetype kExtensionBytes = 16;

bool isEdge(QChar c) {
    return c == QLatin1Char('.') || c == QLatin1Char(' ');
}

// The longest start of the UTF-8 text within limit bytes that ends on a
// character's boundary.
QByteArray utf8Prefix(const QByteArray& text, qsizetype limit) {
    if (text.size() <= limit) {
        return text;
    }
    qsizetype cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return text.left(cut);
}

QByteArray withoutTrailingEdges(QByteArray text) {
    while (!text.isEmpty() && (text.back() == '.' || text.back() == ' ')) {
        text.chop(1);
    }
    return text;
}

}  // namespace

QByteArray safeUploadName(QByteArrayView given) {
    const qsizetype cut = std::max(given.lastIndexOf('/'), given.lastIndexOf('\\'));
    // Bytes that are not UTF-8 come out as U+FFFD.
    const QString text = QString::fromUtf8(given.sliced(cut + 1));
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() != 0x7f && (!kept.isEmpty() || !isEdge(c))) {
            kept += c;
        }
    }
    QByteArray name = withoutTrailingEdges(kept.toUtf8());
    if (name.size() > kUploadNameBytes) {
        const qsizetype dot = name.lastIndexOf('.');
        const bool hasExtension = dot > 0 && name.size() - dot <= kExtensionBytes;
        const QByteArray extension = hasExtension ? name.mid(dot) : QByteArray();
        const QByteArray stem = hasExtension ? name.left(dot) : name;
        // The stem starts with neither a dot nor a space, so it never
        // empties here.
        name =
            withoutTrailingEdges(utf8Prefix(stem, kUploadNameBytes - extension.size())) + extension;
    }
    return name.isEmpty() ? QByteArray("upload") : name;
}

QByteArray numberedName(const QByteArray& name, int n) {
    if (n <= 1) {
        return name;
    }
    const QByteArray mark = " (" + QByteArray::number(n) + ')';
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0) {
        return name + mark;
    }
    return name.left(dot) + mark + name.mid(dot);
}

}  // namespace varnholt::serve
