#pragma once

#include <QByteArray>
#include <QList>

#include <sys/stat.h>

#include <memory>

namespace varnholt::serve {

// A package folder as visitors see it, read in place: a packaged site (a
// "site" folder holding index.html) appears at the root, root entries
// winning over site entries of the same name; names that are never served
// are left out; links count only while they stay inside the package.
class PackageTree {
public:
    // Absent when folder is no folder that can be opened.
    static std::unique_ptr<PackageTree> open(const QByteArray& folder);
    ~PackageTree();
    PackageTree(const PackageTree&) = delete;
    PackageTree& operator=(const PackageTree&) = delete;

    struct Target {
        enum class Kind { Missing, File, Folder };
        Kind kind = Kind::Missing;
        int fd = -1;  // open for reading; the caller's to close
        struct stat st {};
    };
    // What the names lead to, opened; Missing for anything never served.
    Target find(const QList<QByteArray>& names) const;

    struct Entry {
        QByteArray name;
        bool folder = false;
        qint64 size = 0;
        qint64 modified = 0;  // seconds since 1970
        dev_t device = 0;
        ino_t inode = 0;
    };
    // The servable files and folders of the folder the names lead to, in
    // no particular order.
    QList<Entry> list(const QList<QByteArray>& names) const;

    // The package folder's own name.
    const QByteArray& name() const { return m_name; }
    // A handle on the package folder itself (not for reading), to open and
    // create what lies right beneath it; stays the tree's.
    int rootFd() const { return m_rootFd; }

private:
    PackageTree(int rootFd, QByteArray name);
    // The site folder when a path is looked up beneath it, as a handle the
    // caller closes; -1 for the root.
    int baseFor(const QList<QByteArray>& names) const;
    int openSite() const;
    bool staysServable(int handle) const;
    void listInto(int handle, const QList<QByteArray>& names, QList<Entry>& into,
                  QList<QByteArray>* seen) const;

    int m_rootFd;
    QByteArray m_name;
};

}  // namespace varnholt::serve
