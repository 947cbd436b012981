#pragma once

#include <QList>

#include <dirent.h>
#include <sys/types.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ProcFs.h"

namespace varnholt {

// Which processes hold each listening socket, kept from one scan to the next.
// Reading every descriptor of every process costs as much as there are open
// files on the machine (tens of thousands with a few language servers and
// watchers running); what a scan needs changes far more rarely. So a scan
// lists the pids, confirms each known holder with one readlink, walks the
// descriptors of new processes only, and looks further only for a listening
// socket that nothing it knows explains. The answer is always the one a full
// walk of root/[pid]/fd would give, in the same order.
//
// What the cache cannot see without a full walk: a process seen before that
// is handed an already listening socket over a Unix socket (SCM_RIGHTS) or
// pidfd_getfd. Servers do not get their listeners that way from strangers.
class OwnerCache {
public:
    explicit OwnerCache(std::string root = "/proc");

    // The one cache of the real /proc that every scan of this process shares,
    // so that what one scan learned serves the next.
    static std::shared_ptr<OwnerCache> ofSystem();

    // Every descriptor that refers to one of the listening inodes, with its
    // process's short command name read now, by pid and then descriptor; a
    // holder whose name cannot be read (it just ended) is left out.
    QList<ProcFs::NamedHolder> holdersOf(const std::unordered_set<quint32>& listening);

    // What the last holdersOf did, for tests and the benchmark.
    struct Work {
        int processesWalked = 0;   // descriptor folders read
        int holdersConfirmed = 0;  // single readlinks of known holders
        bool widerWalk = false;    // a listener nobody explained sent it looking
    };
    Work lastWork() const;

private:
    struct Descriptor {
        int fd = 0;
        quint32 inode = 0;
    };
    struct Process {
        ino_t entry = 0;  // its /proc entry's inode: a new one means a new process
        std::optional<ProcStatParser::ProcessStat> stat;
        std::vector<Descriptor> sockets;  // every socket it held when walked
        quint64 seen = 0;                 // the last scan that listed it
    };

    void listProcesses(DIR* processes, quint64 scan);
    void walk(int rootFd, qint32 pid, Process& process);
    void confirmHolders(int rootFd, const std::unordered_set<quint32>& listening);
    void walkAncestors(int rootFd, qint32 pid);
    void lookFurther(int rootFd, std::unordered_set<quint32> unexplained);
    std::unordered_set<quint32> explainNewListeners(int rootFd,
                                                    const std::unordered_set<quint32>& listening);
    QList<ProcFs::NamedHolder> namedHolders(int rootFd,
                                            const std::unordered_set<quint32>& listening);
    void unindex(qint32 pid, const Process& process);
    bool held(quint32 inode) const;

    const std::string m_root;
    mutable std::mutex m_mutex;
    quint64 m_scans = 0;
    std::unordered_map<qint32, Process> m_processes;
    // Inode of every socket seen in a walk -> the processes that held it.
    std::unordered_map<quint32, std::vector<qint32>> m_byInode;
    // The listening inodes of the previous scan, and those of them that no
    // process we may read holds (another user's, or an undumpable one).
    std::unordered_set<quint32> m_listening;
    std::unordered_set<quint32> m_unowned;
    // Processes whose descriptors were read during the running scan.
    std::unordered_set<qint32> m_walkedNow;
    Work m_work;
};

}  // namespace varnholt
