// varnholt-scan: what this machine serves right now, without the panel.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>

#include "scan/DisplayText.h"
#include "scan/HostScanner.h"

namespace {

using varnholt::displaySafe;
using varnholt::HostedPort;

// The table goes to a terminal: names are shown display-safe there, so that a
// folder name cannot break a line or send the terminal an escape sequence.
// The JSON keeps them exact; its encoder escapes what needs it.
QString networkLine(const QString& ssid, const QString& address) {
    return ssid.isEmpty() ? QStringLiteral("Wi-Fi: ") + displaySafe(address)
                          : displaySafe(ssid) + QStringLiteral(" · ") + displaySafe(address);
}

QByteArray asJson(const QString& ssid, const QString& address, const QList<HostedPort>& servers) {
    QJsonArray list;
    for (const HostedPort& server : servers) {
        list.append(QJsonObject{
            {"pid", server.pid},
            {"command", server.command},
            {"port", server.port},
            {"scope", server.scope},
            {"friendlyName", server.friendlyName},
        });
    }
    const QJsonObject root{{"ssid", ssid}, {"address", address}, {"servers", list}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString asTable(const QList<HostedPort>& servers) {
    QList<QStringList> rows;
    for (const HostedPort& s : servers) {
        rows.append({QString::number(s.port), displaySafe(s.scope), displaySafe(s.friendlyName),
                     QString::number(s.pid), displaySafe(s.command)});
    }
    QList<qsizetype> widths(5, 0);
    for (const QStringList& row : rows) {
        for (int i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    QString out;
    for (const QStringList& row : rows) {
        QString line = row[0].rightJustified(widths[0]);  // numbers align right
        line += QStringLiteral("  ") + row[1].leftJustified(widths[1]);
        line += QStringLiteral("  ") + row[2].leftJustified(widths[2]);
        line += QStringLiteral("  ") + row[3].rightJustified(widths[3]);
        line += QStringLiteral("  ") + row[4];
        out += line + QLatin1Char('\n');
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnholt-scan"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNHOLT_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the servers this machine is serving right now, as the Varnholt "
                       "Control panel shows them:\nthe Wi-Fi name and LAN address, then one line "
                       "per server with its port, scope\n(NET: reachable from the network, "
                       "LOCAL: this machine only), name, process id and command."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON object instead of the table."));
    parser.addOption(json);
    const QCommandLineOption every(
        QStringLiteral("every"),
        QStringLiteral("List every TCP listener, as Show Every Listening Program does."));
    parser.addOption(every);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.parse(QCoreApplication::arguments())) {
        err << "varnholt-scan: " << parser.errorText() << "\nTry 'varnholt-scan --help'.\n";
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        out << parser.helpText();
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        out << "varnholt-scan " << VARNHOLT_VERSION << '\n';
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "varnholt-scan: unexpected argument '" << parser.positionalArguments().first()
            << "'\nTry 'varnholt-scan --help'.\n";
        return 2;
    }

    const QString ssid = varnholt::HostScanner::ssid();
    const QString address = varnholt::HostScanner::wifiIP();
    const QList<HostedPort> servers = varnholt::HostScanner::scan({parser.isSet(every)});

    if (parser.isSet(json)) {
        out << asJson(ssid, address, servers);
    } else {
        out << networkLine(ssid, address) << '\n' << asTable(servers);
    }
    return 0;
}
