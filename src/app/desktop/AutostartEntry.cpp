#include "AutostartEntry.h"

#include <QStringList>

namespace varnholt::AutostartEntry {

namespace {

// The lines of the [Desktop Entry] group as key and value, with the index
// of each line in `lines`.
struct Entry {
    QStringList lines;
    qsizetype groupStart = -1;  // the line of the group header
    qsizetype groupEnd = -1;    // one past its last line
};

Entry parse(const QString& contents) {
    Entry entry;
    entry.lines = contents.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < entry.lines.size(); ++i) {
        const QString line = entry.lines[i].trimmed();
        if (!line.startsWith(QLatin1Char('['))) {
            continue;
        }
        if (entry.groupStart >= 0 && entry.groupEnd < 0) {
            entry.groupEnd = i;
        }
        if (line == QLatin1String("[Desktop Entry]") && entry.groupStart < 0) {
            entry.groupStart = i;
        }
    }
    if (entry.groupStart >= 0 && entry.groupEnd < 0) {
        entry.groupEnd = entry.lines.size();
    }
    return entry;
}

QString valueOf(const Entry& entry, const QString& key, qsizetype* at = nullptr) {
    for (qsizetype i = entry.groupStart + 1; entry.groupStart >= 0 && i < entry.groupEnd; ++i) {
        const QString line = entry.lines[i].trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && line.left(equals).trimmed() == key) {
            if (at) {
                *at = i;
            }
            return line.mid(equals + 1).trimmed();
        }
    }
    return {};
}

// The format's string escapes (\s \n \t \r \\), then the Exec rules: a
// quoted first argument loses its quotes and the backslashes before " ` $ \.
QString firstArgument(QString exec) {
    exec.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    exec = exec.trimmed();
    if (!exec.startsWith(QLatin1Char('"'))) {
        return exec.section(QLatin1Char(' '), 0, 0)
            .replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    QString argument;
    for (qsizetype i = 1; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
            argument += exec[++i];
        } else if (c == QLatin1Char('"')) {
            break;
        } else {
            argument += c;
        }
    }
    return argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

}  // namespace

QString unrunnableBecause(const QString& executable) {
    if (executable.isEmpty()) {
        return QStringLiteral("The program's path is not known.");
    }
    for (const QChar c : executable) {
        if (c.category() == QChar::Other_Control || c == QLatin1Char('%')) {
            return QStringLiteral(
                       "The program's path %1 holds a line break, a control character or a %, "
                       "which the desktop cannot start it from. Move the program to a folder "
                       "whose name has none and try again.")
                .arg(QString(executable).replace(QLatin1Char('\n'), QStringLiteral("\\n")));
        }
    }
    return {};
}

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
    if (!unrunnableBecause(executable).isEmpty()) {
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
               "X-GNOME-Autostart-enabled=true\n") +
           QString::fromLatin1(kWrittenKey) + QStringLiteral("=true\n");
}

bool enabled(const QString& contents) {
    const Entry entry = parse(contents);
    return valueOf(entry, QStringLiteral("Hidden")) != QLatin1String("true") &&
           valueOf(entry, QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

QString program(const QString& contents) {
    return firstArgument(valueOf(parse(contents), QStringLiteral("Exec")));
}

bool writtenByApp(const QString& contents) {
    if (valueOf(parse(contents), QString::fromLatin1(kWrittenKey)) == QLatin1String("true")) {
        return true;
    }
    // Earlier versions wrote the same entry without the mark.
    const QString mark = QString::fromLatin1(kWrittenKey) + QStringLiteral("=true\n");
    const QString earlier = text(program(contents)).remove(mark);
    return !earlier.isEmpty() && contents == earlier;
}

QString withEnabled(const QString& contents, bool on) {
    Entry entry = parse(contents);
    if (entry.groupStart < 0) {
        return contents;
    }
    const auto set = [&](const QString& key, const QString& value, bool addIfMissing) {
        qsizetype at = -1;
        valueOf(entry, key, &at);
        if (at >= 0) {
            entry.lines[at] = key + QLatin1Char('=') + value;
        } else if (addIfMissing) {
            entry.lines.insert(entry.groupStart + 1, key + QLatin1Char('=') + value);
            ++entry.groupEnd;
        }
    };
    set(QStringLiteral("Hidden"), on ? QStringLiteral("false") : QStringLiteral("true"), !on);
    set(QStringLiteral("X-GNOME-Autostart-enabled"),
        on ? QStringLiteral("true") : QStringLiteral("false"), false);
    return entry.lines.join(QLatin1Char('\n'));
}

}  // namespace varnholt::AutostartEntry
