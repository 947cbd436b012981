#include <QFile>
#include <QFileInfo>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "StoreTestSupport.h"
#include "store/SettingsFile.h"

using namespace varnholt;
using varnholt::test::StoreTest;

namespace {

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// Counts how often a file is opened, the way any reader would see it.
class OpenCounter {
public:
    explicit OpenCounter(const QString& file) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        ::inotify_add_watch(m_fd, encoded(file).constData(), IN_OPEN);
    }
    ~OpenCounter() { ::close(m_fd); }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;
    int take() {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                opens += (event->mask & IN_OPEN) ? 1 : 0;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return opens;
    }

private:
    int m_fd;
};

}  // namespace

// Whatever is at the settings path that is not the user's own regular file
// reads as empty at once, is never written or replaced, and is named.
TEST_F(StoreTest, AnythingButTheUsersOwnFileIsReadAsEmptyAndNeverReplaced) {
    const QString target = m_home.scratch() + "/target";
    const struct {
        const char* name;
        std::function<bool(const QString&)> make;
        const char* why;
        bool needsRoot = false;
    } cases[] = {
        {"named pipe", [](const QString& p) { return ::mkfifo(encoded(p).constData(), 0600) == 0; },
         "a named pipe"},
        {"link to a device", [](const QString& p) { return QFile::link("/dev/null", p); },
         "a link to a device"},
        {"folder", [](const QString& p) { return QDir().mkpath(p); }, "a folder"},
        {"link to a named pipe",
         [&](const QString& p) {
             return ::mkfifo(encoded(target).constData(), 0600) == 0 && QFile::link(target, p);
         },
         "a link to a named pipe"},
        {"dangling link", [](const QString& p) { return QFile::link("/nonexistent/x", p); },
         "leads nowhere"},
        {"another user's file",
         [](const QString& p) {
             QFile file(p);
             return file.open(QIODevice::WriteOnly) &&
                    file.write("[General]\npanelCollapsed=true\n") > 0 &&
                    ::chown(encoded(p).constData(), 65534, 65534) == 0;
         },
         "a file of", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && ::geteuid() != 0) {
            continue;  // only root can give a file away
        }
        const QString file = SettingsFile::path();
        QFile::remove(file);
        QDir(file).removeRecursively();
        QFile::remove(target);
        QDir().mkpath(QFileInfo(file).path());
        ASSERT_TRUE(c.make(file));
        struct stat before {};
        ::lstat(encoded(file).constData(), &before);

        EXPECT_FALSE(Store::panelCollapsed());
        Store::setPanelCollapsed(true);
        Store::insertPausedPath("/p");
        EXPECT_TRUE(Store::pausedPaths().isEmpty());
        EXPECT_TRUE(Store::settingsProblem().contains(c.why))
            << Store::settingsProblem().toStdString();

        struct stat after {};
        ::lstat(encoded(file).constData(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_size, before.st_size);
    }
    QFile::remove(SettingsFile::path());
    Store::setPanelCollapsed(false);
    EXPECT_TRUE(Store::settingsProblem().isEmpty());
}

// A link that ends at the user's own file is written through and stays a link.
TEST_F(StoreTest, ALinkToTheUsersOwnFileIsWrittenThrough) {
    const QString real = m_home.scratch() + "/dotfiles/varnholt.conf";
    QDir().mkpath(QFileInfo(real).path());
    QFile(real).open(QIODevice::WriteOnly);
    const QString file = SettingsFile::path();
    QDir().mkpath(QFileInfo(file).path());
    ASSERT_TRUE(QFile::link(real, file));

    Store::setPanelCollapsed(true);
    EXPECT_TRUE(QFileInfo(file).isSymLink());
    EXPECT_TRUE(QFile(real).open(QIODevice::ReadOnly));
    QFile written(real);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("panelCollapsed=true"));
    EXPECT_TRUE(Store::panelCollapsed());
    EXPECT_TRUE(Store::settingsProblem().isEmpty());
}

// However large the file, an unchanged one is read once; a change by anyone
// is read at the next look.
TEST_F(StoreTest, AnUnchangedFileIsReadOnce) {
    QByteArray bytes = "[General]\npanelCollapsed=true\n";
    for (int i = 0; i < 20000; ++i) {
        bytes += "filler" + QByteArray::number(i) + "=some text that nobody reads\n";
    }
    writeRaw(bytes);
    OpenCounter opens(SettingsFile::path());
    for (int refresh = 0; refresh < 5; ++refresh) {
        EXPECT_TRUE(Store::panelCollapsed());
        (void)Store::pausedPaths();
        (void)Store::collapsed("hosted");
    }
    EXPECT_EQ(opens.take(), 1);

    bytes.replace("panelCollapsed=true", "panelCollapsed=false");
    writeRaw(bytes);
    EXPECT_FALSE(Store::panelCollapsed());
}
