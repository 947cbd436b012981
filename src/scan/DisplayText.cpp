#include "DisplayText.h"

namespace varnholt {

namespace {

// Direction embeddings, overrides and isolates reorder everything after them
// up to the end of the line; the plain marks (U+200E, U+200F) do not and stay.
bool isDirectionControl(char16_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool needsEscape(QChar c) {
    // C0, DEL and C1 (C1's CSI starts escape sequences in many terminals too),
    // and the line and paragraph separators that break a line like "\n".
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph || isDirectionControl(c.unicode());
}

QString hex(char16_t value, int width) {
    return QString::number(value, 16).rightJustified(width, QLatin1Char('0'));
}

}  // namespace

QString displaySafe(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if (c.isSurrogate()) {
            // A lone half of a pair draws as nothing or as a box.
            out += QStringLiteral("\\u") + hex(c.unicode(), 4);
        } else if (!needsEscape(c)) {
            out += c;
        } else if (c == QLatin1Char('\n')) {
            out += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\r')) {
            out += QStringLiteral("\\r");
        } else if (c == QLatin1Char('\t')) {
            out += QStringLiteral("\\t");
        } else if (c.unicode() < 0x80) {
            out += QStringLiteral("\\x") + hex(c.unicode(), 2);
        } else {
            out += QStringLiteral("\\u") + hex(c.unicode(), 4);
        }
    }
    return out;
}

}  // namespace varnholt
