#pragma once

#include <gmock/gmock.h>

#include "app/panel/rows/PanelActions.h"

namespace varnholt::test {

// Records what rows ask of the app, so a row or the panel's view can be
// tested without the app behind it.
class FakePanelActions : public PanelActions {
public:
    MOCK_METHOD(void, stopServer, (const HostedPort& server), (override));
    MOCK_METHOD(void, startPackage, (const QString& path), (override));
    MOCK_METHOD(void, reshare, (const QString& path, ServeOptions options), (override));
    MOCK_METHOD(void, stopPackage, (const QString& title, const QString& path), (override));
    MOCK_METHOD(void, pausePackage, (const QString& title, const QString& path), (override));
    MOCK_METHOD(void, resumePackage, (const QString& path), (override));
    MOCK_METHOD(void, trashPackage, (const QString& title, const QString& path), (override));
    MOCK_METHOD(void, cancelPick, (const QString& pickedPath), (override));
    MOCK_METHOD(void, dismissRecent, (const Store::RecentEvent& event), (override));
};

// Matches a HostedPort by its process and port.
MATCHER_P2(IsServer, pid, port, "") {
    return arg.pid == pid && arg.port == port;
}

}  // namespace varnholt::test
