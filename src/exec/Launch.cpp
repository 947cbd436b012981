#include "Launch.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "Spawn.h"

namespace varnholt::spawn {

namespace {

constexpr char kNullDevice[] = "/dev/null";

// posix_spawn's C structures, released on every path out.
class SpawnSetup {
public:
    SpawnSetup() {
        m_actionsOk = ::posix_spawn_file_actions_init(&m_actions) == 0;
        m_attrOk = ::posix_spawnattr_init(&m_attr) == 0;
    }
    ~SpawnSetup() {
        if (m_actionsOk) {
            ::posix_spawn_file_actions_destroy(&m_actions);
        }
        if (m_attrOk) {
            ::posix_spawnattr_destroy(&m_attr);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool ok() const { return m_actionsOk && m_attrOk; }
    posix_spawn_file_actions_t* actions() { return &m_actions; }
    posix_spawnattr_t* attr() { return &m_attr; }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attr;
    bool m_actionsOk = false;
    bool m_attrOk = false;
};

// Text that cannot pass through a C string unchanged (an embedded NUL would
// silently cut a path short) is refused rather than truncated.
bool toNative(const QString& text, bool isPath, QByteArray* out) {
    if (text.contains(QChar(u'\0'))) {
        return false;
    }
    *out = isPath ? QFile::encodeName(text) : text.toUtf8();
    return true;
}

// Our environment with the given "NAME=value" entries in place of the
// variables of those names; false when an entry cannot pass to the child.
bool mergedEnvironment(const QStringList& overrides, std::vector<QByteArray>* out) {
    std::vector<QByteArray> added;
    QList<QByteArray> names;
    for (const QString& entry : overrides) {
        QByteArray native;
        if (entry.indexOf(QLatin1Char('=')) <= 0 || !toNative(entry, true, &native)) {
            return false;
        }
        names << native.left(native.indexOf('=') + 1);
        added.push_back(std::move(native));
    }
    for (char** variable = spawn::environment(); variable && *variable; ++variable) {
        const QByteArray entry(*variable);
        const bool replaced =
            std::any_of(names.cbegin(), names.cend(),
                        [&](const QByteArray& name) { return entry.startsWith(name); });
        if (!replaced) {
            out->push_back(entry);
        }
    }
    out->insert(out->end(), added.begin(), added.end());
    return true;
}

// The program and its arguments as the C strings exec takes; false when one
// cannot pass unchanged.
bool nativeArguments(const QString& executable, const QStringList& arguments,
                     std::vector<QByteArray>* args) {
    QByteArray program;
    if (executable.isEmpty() || !toNative(executable, true, &program)) {
        return false;
    }
    args->reserve(static_cast<size_t>(arguments.size()) + 1);
    args->push_back(program);
    for (const QString& argument : arguments) {
        QByteArray native;
        if (!toNative(argument, false, &native)) {
            return false;
        }
        args->push_back(std::move(native));
    }
    return true;
}

// Standard output and error go to the given descriptors (the null device for
// -1), nothing else of ours is inherited, and the child starts in `directory`
// (when not null), in a session or process group of its own.
bool prepareChild(SpawnSetup& setup, int stdoutFd, int stderrFd, const QByteArray* directory,
                  bool ownSession) {
    posix_spawn_file_actions_t* actions = setup.actions();
    bool ok = true;
    const auto redirect = [&](int fd, int target) {
        ok = ok && (fd >= 0 ? ::posix_spawn_file_actions_adddup2(actions, fd, target) == 0
                            : ::posix_spawn_file_actions_addopen(actions, target, kNullDevice,
                                                                 O_WRONLY, 0) == 0);
    };
    redirect(stdoutFd, STDOUT_FILENO);
    redirect(stderrFd, STDERR_FILENO);

    // A child must not hold the app's sockets, pipes or files: a server we
    // start would otherwise keep them open long after we closed them.
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    ok = ok && keepOnlyStandardDescriptors(actions, &flags);

    // A missing working folder makes the launch itself fail, so nothing runs
    // in the wrong place.
    if (directory) {
        ok = ok && ::posix_spawn_file_actions_addchdir_np(actions, directory->constData()) == 0;
    }

    if (ownSession) {
        flags |= POSIX_SPAWN_SETSID;
    } else {
        // Its own process group, so that a probe that runs out of time is
        // killed together with whatever it started (a login shell's children,
        // say) instead of leaving them behind.
        flags |= POSIX_SPAWN_SETPGROUP;
        ok = ok && ::posix_spawnattr_setpgroup(setup.attr(), 0) == 0;
    }
    // Signals the app blocks or ignores are none of the child's business.
    sigset_t noSignals;
    sigset_t allSignals;
    sigemptyset(&noSignals);
    sigfillset(&allSignals);
    ok = ok && ::posix_spawnattr_setsigmask(setup.attr(), &noSignals) == 0;
    ok = ok && ::posix_spawnattr_setsigdefault(setup.attr(), &allSignals) == 0;
    return ok && ::posix_spawnattr_setflags(setup.attr(), flags) == 0;
}

}  // namespace

pid_t launch(const QString& executable, const QStringList& arguments,
             const std::optional<QString>& cwd, int stdoutFd, int stderrFd, bool ownSession,
             const QStringList& environment) {
    std::vector<QByteArray> args;
    if (!nativeArguments(executable, arguments, &args)) {
        return -1;
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (QByteArray& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    QByteArray directory;
    if (cwd && !toNative(*cwd, true, &directory)) {
        return -1;
    }
    SpawnSetup setup;
    if (!setup.ok() ||
        !prepareChild(setup, stdoutFd, stderrFd, cwd ? &directory : nullptr, ownSession)) {
        return -1;
    }

    char** envp = spawn::environment();
    std::vector<QByteArray> merged;
    std::vector<char*> mergedPointers;
    if (!environment.isEmpty()) {
        if (!mergedEnvironment(environment, &merged)) {
            return -1;
        }
        for (QByteArray& entry : merged) {
            mergedPointers.push_back(entry.data());
        }
        mergedPointers.push_back(nullptr);
        envp = mergedPointers.data();
    }

    pid_t pid = -1;
    if (::posix_spawn(&pid, args.front().constData(), setup.actions(), setup.attr(), argv.data(),
                      envp) != 0) {
        return -1;
    }
    return pid;
}

}  // namespace varnholt::spawn
