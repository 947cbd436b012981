// Prints how long the panel takes to apply one refresh's data on the main
// thread: 10 servers, 10 packages, 3 paused, 8 recent events.
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

#include "TempHome.h"
#include "app/AppDelegate.h"
#include "quickhost/QuickHostRegistry.h"

using namespace varnholt;

namespace {

PanelData sample(int generation) {
    PanelData d;
    d.address = QStringLiteral("192.168.1.20");
    d.ssid = QStringLiteral("Home");
    for (int i = 0; i < 10; ++i) {
        d.servers.append({1000 + i, "python3", 8000 + i, i % 2 ? "NET" : "LOCAL",
                          QStringLiteral("site-%1-%2").arg(i).arg(generation)});
        d.quick.append({QStringLiteral("Package %1 %2").arg(i).arg(generation),
                        QStringLiteral("/nowhere/p%1-%2").arg(i).arg(generation)});
    }
    for (int i = 0; i < 3; ++i) {
        d.paused.append({QStringLiteral("Paused %1 %2").arg(i).arg(generation),
                         QStringLiteral("/nowhere/q%1-%2").arg(i).arg(generation)});
    }
    for (int i = 0; i < 8; ++i) {
        d.recent.append({QStringLiteral("event %1 %2").arg(i).arg(generation), "stopped",
                         1.0e9 - i, QStringLiteral("/nowhere/r%1").arg(i)});
    }
    return d;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    test::TempHome home;
    QApplication app(argc, argv);
    QuickHostRegistry registry(home.scratch() + "/quick");
    AppDelegate delegate(registry);
    delegate.buildWindow();
    delegate.window()->show();

    QList<double> rebuilt;
    QList<double> unchanged;
    for (int round = 0; round < 30; ++round) {
        QElapsedTimer timer;
        const PanelData changed = sample(round);
        timer.start();
        delegate.apply(changed);  // every row differs: all rebuilt
        QCoreApplication::processEvents();
        rebuilt << timer.nsecsElapsed() / 1e6;
        timer.restart();
        delegate.apply(changed);  // nothing changed: rows kept
        QCoreApplication::processEvents();
        unchanged << timer.nsecsElapsed() / 1e6;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::printf("panel apply, 10 servers + 10 packages + 3 paused + 8 recent (median of 30):\n");
    std::printf("  all rows rebuilt: %.2f ms\n", median(rebuilt));
    std::printf("  nothing changed:  %.2f ms\n", median(unchanged));
    return 0;
}
