#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <functional>
#include <memory>

#include "AppTestSupport.h"
#include "ServeRun.h"
#include "TempHome.h"
#include "app/AppDelegate.h"
#include "app/HostPicker.h"
#include "app/panel/ActivatingPanel.h"
#include "app/panel/PanelHeader.h"
#include "app/panel/PanelSection.h"
#include "app/panel/PanelView.h"
#include "app/panel/PanelWindow.h"
#include "quickhost/QuickHostRegistry.h"

namespace varnholt::test {

// A built panel fed with hand-made data (no Wi-Fi radio here), a registry on a
// temporary root, and a fresh home for every test.
class PanelFixture : public ::testing::Test {
protected:
    // Ports well away from the app's own range, so tests never meet it.
    static constexpr qint64 kFirstPort = 47310;
    static constexpr qint64 kLastPort = 47340;

    TempHome home;
    QuickHostRegistry registry{home.scratch() + "/quick", kFirstPort, kLastPort,
                               test::serveProgram()};
    std::unique_ptr<AppDelegate> delegate;
    PanelData data;
    int refreshes = 0;
    // What each refresh shows: `data` unless a test says otherwise.
    std::function<PanelData()> source = [this] {
        ++refreshes;
        return data;
    };
    // The desktop's answers; the real ones while unset.
    std::function<bool()> trayProbe;
    std::function<bool()> compositorProbe;
    ExposureMonitor* exposure = nullptr;

    // Over the fixture's registry, or the given one.
    void build(QuickHostRegistry* over = nullptr) {
        AppHooks hooks;
        hooks.dataSource = [this] { return source(); };
        hooks.alert = [this](const QString& message, const QString& informative) {
            alerts << message + QLatin1Char('|') + informative;
        };
        hooks.trayProbe = trayProbe;
        hooks.compositorProbe = compositorProbe;
        hooks.exposure = exposure;
        delegate = std::make_unique<AppDelegate>(over ? *over : registry, std::move(hooks));
        delegate->buildWindow();
    }
    // The refresh the app does on its own: gather what is there.
    void useRealRefresh() {
        source = [this] { return delegate->gather(); };
    }

    PanelWindow* panel() const { return delegate->panel(); }
    ActivatingPanel* window() const { return delegate->panel()->window(); }
    PanelView* view() const { return delegate->panel()->view(); }
    PanelHeader* header() const { return view()->header(); }

    void TearDown() override {
        for (const QString& path : startedPaths) {
            if (const auto entry = registry.info(path)) {
                endProcess(entry->pid);
            }
        }
        delegate.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static PanelData sampleData() {
        PanelData d;
        d.address = QStringLiteral("192.168.1.20");
        d.ssid = QStringLiteral("Home");
        d.servers = {{4242, "python3", 8000, "NET", "photos"},
                     {4243, "node", 5173, "LOCAL", "my-app"},
                     {4244, "ruby", 9292, "NET", "blog"}};
        d.quick = {{"Alpha", "/nowhere/Alpha"}, {"Beta", "/nowhere/Beta"}};
        d.recent = {{"photos", "stopped", 1.0e9, std::nullopt},
                    {"Gamma", "stopped", 1.0e9 - 60, QStringLiteral("/nowhere/Gamma")}};
        d.paused = {{"Old", "/nowhere/Old"}};
        return d;
    }

    QStringList alerts;
    QStringList startedPaths;
};

}  // namespace varnholt::test
