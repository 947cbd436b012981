#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace varnholt::bench {

// A working developer's machine in miniature: Node processes (language
// servers, watchers, bundlers) that each keep many files open and listen on
// nothing. Their files live in a temporary folder; every process is stopped
// by its pid, and waited for, when the object goes away or on an interrupt.
class BusyLoad {
public:
    BusyLoad();
    ~BusyLoad();
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

    // "N:F" into N processes of F open files each; false for anything else.
    static bool parse(const QString& text, int& processes, int& files);

    // Starts them and waits until each holds its files, telling the user what
    // it does; false (with the reason said) when one does not get there.
    bool startAnnounced(int processes, int files);
    void stopAll();

private:
    QTemporaryDir m_root;
    QList<std::shared_ptr<QProcess>> m_processes;
};

}  // namespace varnholt::bench
