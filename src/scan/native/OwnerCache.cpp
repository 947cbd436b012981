#include "OwnerCache.h"

#include <dirent.h>

#include <algorithm>

namespace varnholt {

namespace {

class OpenFolder {
public:
    explicit OpenFolder(const std::string& path) : m_dir(::opendir(path.c_str())) {}
    ~OpenFolder() {
        if (m_dir) {
            ::closedir(m_dir);
        }
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    DIR* dir() const { return m_dir; }

private:
    DIR* m_dir;
};

bool sameStart(const std::optional<ProcStatParser::ProcessStat>& a,
               const std::optional<ProcStatParser::ProcessStat>& b) {
    // A hand-built tree may have no stat files; without one there is nothing
    // to tell two processes apart by but the folder.
    return a && b ? a->startTicks == b->startTicks : !a && !b;
}

}  // namespace

OwnerCache::OwnerCache(std::string root) : m_root(std::move(root)) {}

std::shared_ptr<OwnerCache> OwnerCache::ofSystem() {
    static const auto cache = std::make_shared<OwnerCache>("/proc");
    return cache;
}

OwnerCache::Work OwnerCache::lastWork() const {
    std::lock_guard lock(m_mutex);
    return m_work;
}

QList<ProcFs::NamedHolder> OwnerCache::holdersOf(const std::unordered_set<quint32>& listening) {
    std::lock_guard lock(m_mutex);
    m_work = {};
    m_walkedNow.clear();
    const OpenFolder processes(m_root);
    if (!processes.dir()) {
        return {};
    }
    const int rootFd = ::dirfd(processes.dir());

    listProcesses(processes.dir(), ++m_scans);
    confirmHolders(rootFd, listening);
    std::unordered_set<quint32> unexplained = explainNewListeners(rootFd, listening);
    if (!unexplained.empty()) {
        lookFurther(rootFd, std::move(unexplained));
    }
    std::erase_if(m_unowned, [&listening](quint32 inode) { return !listening.contains(inode); });
    m_listening = listening;
    return namedHolders(rootFd, listening);
}

// The listeners no known holder explains; a new listener that is held has
// its holders' ancestors walked.
std::unordered_set<quint32> OwnerCache::explainNewListeners(
    int rootFd, const std::unordered_set<quint32>& listening) {
    std::unordered_set<quint32> unexplained;
    for (const quint32 inode : listening) {
        if (m_listening.contains(inode)) {
            if (!held(inode) && !m_unowned.contains(inode)) {
                unexplained.insert(inode);  // its holders let go, yet it listens on
            }
            continue;
        }
        if (!held(inode)) {
            unexplained.insert(inode);
            continue;
        }
        // A socket that has just begun to listen may have been made by a
        // process walked before it existed, and handed down to the children
        // that explain it now: its maker is among their ancestors.
        const std::vector<qint32> heirs = m_byInode.at(inode);
        for (const qint32 pid : heirs) {
            walkAncestors(rootFd, pid);
        }
    }
    return unexplained;
}

QList<ProcFs::NamedHolder> OwnerCache::namedHolders(int rootFd,
                                                    const std::unordered_set<quint32>& listening) {
    QList<ProcFs::NamedHolder> named;
    // Names are read afresh: a holder may have become another program by exec.
    std::unordered_map<qint32, std::optional<QString>> names;
    for (const quint32 inode : listening) {
        const auto holders = m_byInode.find(inode);
        if (holders == m_byInode.end()) {
            continue;
        }
        for (const qint32 pid : holders->second) {
            auto name = names.find(pid);
            if (name == names.end()) {
                name = names.emplace(pid, ProcFs::commandNameAt(rootFd, pid, m_root)).first;
            }
            if (!name->second) {
                continue;  // ended since its descriptors were read
            }
            for (const Descriptor& socket : m_processes.at(pid).sockets) {
                if (socket.inode == inode) {
                    named.append({{pid, socket.fd, inode}, *name->second});
                }
            }
        }
    }
    std::sort(named.begin(), named.end(),
              [](const ProcFs::NamedHolder& a, const ProcFs::NamedHolder& b) {
                  return a.holder.pid != b.holder.pid ? a.holder.pid < b.holder.pid
                                                      : a.holder.fd < b.holder.fd;
              });
    return named;
}

void OwnerCache::listProcesses(DIR* processes, quint64 scan) {
    const int rootFd = ::dirfd(processes);
    while (const dirent* entry = ::readdir(processes)) {
        const auto pid = ProcFs::pidOf(entry->d_name);
        if (!pid) {
            continue;
        }
        auto [at, isNew] = m_processes.try_emplace(*pid);
        Process& process = at->second;
        process.seen = scan;
        // procfs gives each process's folder a fresh inode, so an unchanged
        // one is the same process and costs nothing more to recognise.
        if (!isNew && process.entry == entry->d_ino) {
            continue;
        }
        auto stat = ProcFs::statAt(rootFd, *pid);
        const bool same = !isNew && sameStart(stat, process.stat);
        process.entry = entry->d_ino;
        process.stat = std::move(stat);
        if (!same) {
            walk(rootFd, *pid, process);  // new, or a pid handed on to another process
        }
    }
    for (auto at = m_processes.begin(); at != m_processes.end();) {
        if (at->second.seen == scan) {
            ++at;
            continue;
        }
        unindex(at->first, at->second);
        at = m_processes.erase(at);
    }
}

void OwnerCache::walk(int rootFd, qint32 pid, Process& process) {
    std::vector<Descriptor> sockets;
    ProcFs::forEachSocketAt(rootFd, pid, [&sockets](int fd, quint32 inode) {
        sockets.push_back({fd, inode});
    });
    unindex(pid, process);
    process.sockets = std::move(sockets);
    for (const Descriptor& socket : process.sockets) {
        std::vector<qint32>& holders = m_byInode[socket.inode];
        if (std::find(holders.begin(), holders.end(), pid) == holders.end()) {
            holders.push_back(pid);
        }
    }
    m_walkedNow.insert(pid);
    ++m_work.processesWalked;
}

void OwnerCache::confirmHolders(int rootFd, const std::unordered_set<quint32>& listening) {
    std::unordered_set<qint32> checked;
    std::vector<qint32> stale;
    for (const quint32 inode : listening) {
        const auto holders = m_byInode.find(inode);
        if (holders == m_byInode.end()) {
            continue;
        }
        for (const qint32 pid : holders->second) {
            if (m_walkedNow.contains(pid) ||
                std::find(stale.begin(), stale.end(), pid) != stale.end()) {
                continue;
            }
            Process& process = m_processes.at(pid);
            bool holds = true;
            // A holder's start time is read each scan: its pid may have been
            // handed on since, and the new process would answer for it.
            if (checked.insert(pid).second) {
                auto now = ProcFs::statAt(rootFd, pid);
                holds = sameStart(now, process.stat);
                process.stat = std::move(now);
            }
            for (const Descriptor& socket : process.sockets) {
                if (holds && socket.inode == inode) {
                    ++m_work.holdersConfirmed;
                    holds = ProcFs::socketInodeAt(rootFd, pid, socket.fd) == inode;
                }
            }
            if (!holds) {
                stale.push_back(pid);
            }
        }
    }
    // Closed, or its number now names another file: what else it holds is
    // unknown until its descriptors are read again.
    for (const qint32 pid : stale) {
        walk(rootFd, pid, m_processes.at(pid));
    }
}

void OwnerCache::walkAncestors(int rootFd, qint32 pid) {
    std::unordered_set<qint32> visited{pid};
    qint32 parent = m_processes.at(pid).stat ? m_processes.at(pid).stat->parent : 0;
    while (parent > 0 && visited.insert(parent).second) {
        const auto at = m_processes.find(parent);
        if (at == m_processes.end()) {
            return;
        }
        if (!m_walkedNow.contains(parent)) {
            walk(rootFd, parent, at->second);
        }
        parent = at->second.stat ? at->second.stat->parent : 0;
    }
}

void OwnerCache::lookFurther(int rootFd, std::unordered_set<quint32> unexplained) {
    m_work.widerWalk = true;
    // Only the process that made such a socket can hold it unseen (anything
    // it forked since was walked after the socket existed), so the walk ends
    // once each has one holder. Youngest first: it is most often a server
    // that was walked while still starting, before it listened.
    std::vector<std::pair<quint64, qint32>> candidates;
    for (const auto& [pid, process] : m_processes) {
        if (!m_walkedNow.contains(pid)) {
            candidates.emplace_back(process.stat ? process.stat->startTicks : 0, pid);
        }
    }
    std::sort(candidates.begin(), candidates.end(), std::greater<>());
    for (const auto& [start, pid] : candidates) {
        Process& process = m_processes.at(pid);
        walk(rootFd, pid, process);
        for (const Descriptor& socket : process.sockets) {
            unexplained.erase(socket.inode);
        }
        if (unexplained.empty()) {
            return;
        }
    }
    // Held by no process we may read: remembered, so that it does not send
    // every later scan looking again.
    m_unowned.insert(unexplained.begin(), unexplained.end());
}

void OwnerCache::unindex(qint32 pid, const Process& process) {
    for (const Descriptor& socket : process.sockets) {
        auto holders = m_byInode.find(socket.inode);
        if (holders != m_byInode.end()) {
            std::erase(holders->second, pid);
            if (holders->second.empty()) {
                m_byInode.erase(holders);
            }
        }
    }
}

bool OwnerCache::held(quint32 inode) const {
    return m_byInode.contains(inode);
}

}  // namespace varnholt
