// Names shown in rows and in the terminal: never a raw control character.
#include <gtest/gtest.h>

#include "scan/DisplayText.h"

namespace varnholt {
namespace {

QString q(const char16_t* text) {
    return QString::fromUtf16(text);
}

TEST(DisplayText, ControlCharactersBecomeVisibleEscapesAndTheRestStays) {
    const struct {
        QString name;
        QString shown;
    } cases[] = {
        {q(u"blog"), q(u"blog")},
        {q(u"Café · 5G 👩‍💻"),
         q(u"Café · 5G 👩‍💻")},  // the joiner of the emoji stays
        {q(u"a\\nb"), q(u"a\\nb")},       // a real backslash is left alone
        {q(u"two\nlines"), q(u"two\\nlines")},
        {q(u"tab\tcr\r"), q(u"tab\\tcr\\r")},
        {q(u"\x1b[31mred\x1b[0m"), q(u"\\x1b[31mred\\x1b[0m")},
        {q(u"nul") + QChar(u'\0') + q(u"del\x7f"), q(u"nul\\x00del\\x7f")},
        {q(u"csi\u009b2J nel\u0085"), q(u"csi\\u009b2J nel\\u0085")},
        {q(u"evil\u202Etxt.exe"), q(u"evil\\u202etxt.exe")},
        {q(u"iso\u2066late\u2069"), q(u"iso\\u2066late\\u2069")},
        {q(u"line\u2028para\u2029"), q(u"line\\u2028para\\u2029")},
        {q(u"rtl\u200Fmark"), q(u"rtl\u200Fmark")},
        {q(u"lone") + QChar(char16_t(0xD800)) + q(u"x"), q(u"lone\\ud800x")},
        {q(u"end") + QChar(char16_t(0xDC00)), q(u"end\\udc00")},
        {QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(displaySafe(c.name), c.shown) << c.name.toStdString();
    }
}

}  // namespace
}  // namespace varnholt
