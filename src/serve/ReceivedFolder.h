#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <memory>

namespace varnholt {
struct ReceivedFile;
}

namespace varnholt::serve {

// The package's top-level "Received" folder, where visitors' uploads land.
// Opened beneath the package without following links, so an upload can
// never be written anywhere else; files appear under their final names only
// when complete, and never over an existing one.
class ReceivedFolder {
public:
    static constexpr char kName[] = "Received";

    // Opens the folder beneath the package's handle, creating it when
    // missing; null (and logged) when it is a link or not a folder.
    static std::unique_ptr<ReceivedFolder> open(int packageFd);
    ~ReceivedFolder();
    ReceivedFolder(const ReceivedFolder&) = delete;
    ReceivedFolder& operator=(const ReceivedFolder&) = delete;

    struct Temporary {
        QByteArray name;  // hidden (".upload-XXXXXX"), so never served or listed
        int fd = -1;      // for writing; -1 (errno set) when none could be made
    };
    // A new, empty file only this request writes to, with the given mode.
    Temporary createTemporary(mode_t mode);

    // Gives the complete temporary the first free of wanted's numbered
    // names; that name, or empty (errno set) when it cannot.
    QByteArray publish(const QByteArray& temporary, const QByteArray& wanted);
    void remove(const QByteArray& temporary);

    // Appends the file's line to the package's record of received files,
    // in one write so lines of uploads ending together never mix.
    static bool record(int packageFd, const ReceivedFile& file);

private:
    explicit ReceivedFolder(int fd) : m_fd(fd) {}
    int m_fd;
};

}  // namespace varnholt::serve
