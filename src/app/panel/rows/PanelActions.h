#pragma once

#include <QString>

#include "quickhost/ServeOptions.h"
#include "scan/HostedPort.h"
#include "store/RecentEvent.h"

namespace varnholt {

// What the panel's rows ask of the app when their buttons are pressed. Rows
// hold copies of the values they act on, never the app itself, so a row can
// be built and tested on its own and a replaced row still acts correctly
// while its handler runs.
class PanelActions {
public:
    virtual ~PanelActions() = default;

    // A CURRENTLY HOSTED row's Stop: ends the server and remembers it.
    virtual void stopServer(const HostedPort& server) = 0;
    // Start and Restart: serves the package and says why when it cannot.
    virtual void startPackage(const QString& path) = 0;
    // A running QUICK HOST row's sharing choices: serves the package anew,
    // privately or not, with a new link, with or without uploads.
    virtual void reshare(const QString& path, ServeOptions options) = 0;
    // A running QUICK HOST row's Stop.
    virtual void stopPackage(const QString& title, const QString& path) = 0;
    // A QUICK HOST row's Remove: stops it if it runs and moves it to PAUSED.
    virtual void pausePackage(const QString& title, const QString& path) = 0;
    // A PAUSED row's Start: back to QUICK HOST, served.
    virtual void resumePackage(const QString& path) = 0;
    // A PAUSED row's Remove: to the trash.
    virtual void trashPackage(const QString& title, const QString& path) = 0;
    // A preparing pick's Cancel: stops its copy and removes what it made.
    virtual void cancelPick(const QString& pickedPath) = 0;
    // A RECENT row's ✕.
    virtual void dismissRecent(const Store::RecentEvent& event) = 0;
};

}  // namespace varnholt
