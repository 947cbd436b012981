#pragma once

#include <QObject>

namespace varnholt {

// Owns the tray item, the panel and the refresh timer.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);

    // Builds the tray item and the panel, refreshes once and starts the timer.
    void launch();
};

}  // namespace varnholt
