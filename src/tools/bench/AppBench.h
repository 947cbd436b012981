#pragma once

#include <QString>

namespace varnholt::bench {

struct AppOptions {
    int listeners = 10;     // servers the bench starts for itself
    int runs = 30;          // timed refreshes of each kind
    int idleSeconds = 60;   // how long the real app is watched while idle
    QString control;        // the varnholt-control binary; empty: the built one
    int busyProcesses = 0;  // --busy N:F: node processes holding busyFiles open files each
    int busyFiles = 0;
};

// The app's own cost: main-thread time of one panel refresh in-process, then
// the real varnholt-control's CPU use and peak memory while idle, all in a
// temporary home with offscreen Qt. Creates its own QApplication, so call it
// with no application object alive. Returns the process exit code.
int runApp(int& argc, char** argv, const AppOptions& options);

}  // namespace varnholt::bench
