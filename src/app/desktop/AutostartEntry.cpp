#include "AutostartEntry.h"

#include <QStringList>

namespace varnholt::AutostartEntry {

QString execValue(const QString& executable) {
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (const QChar c : executable) {
        quote = quote || reserved.contains(c);
    }
    QString value = executable;
    if (quote) {
        QString escaped;
        for (const QChar c : executable) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\')) {
                escaped += QLatin1Char('\\');
            }
            escaped += c;
        }
        value = QLatin1Char('"') + escaped + QLatin1Char('"');
    }
    // The value is itself a string of the file format: its backslashes are
    // escaped once more, and a literal % is written %%.
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return value;
}

QString text(const QString& executable) {
    if (executable.isEmpty() || executable.contains(QLatin1Char('\n')) ||
        executable.contains(QLatin1Char('\r'))) {
        return {};
    }
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Varnholt Control\n"
               "Comment=See what this machine serves to the local network\n"
               "Exec=") +
           execValue(executable) +
           QStringLiteral(
               "\n"
               "Icon=varnholt-control\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n");
}

bool enabled(const QString& contents) {
    bool inMainGroup = false;
    for (const QString& raw : contents.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup) {
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Hidden") && value == QLatin1String("true")) {
            return false;
        }
        if (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false")) {
            return false;
        }
    }
    return true;
}

}  // namespace varnholt::AutostartEntry
