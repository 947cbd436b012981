#include "SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSettings>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <functional>

#include "Log.h"

namespace varnholt::SettingsFile {

namespace {

constexpr char kOrganization[] = "Varnholt";
constexpr char kApplication[] = "Varnholt Control";

// What tells one state of the file from the next: a write by anyone changes
// the inode (a new file renamed in), the size or the time.
struct Signature {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    bool operator==(const Signature& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

struct Reading {
    QString path;
    std::optional<Signature> signature;  // none for a file that is not there
    QHash<QString, QVariant> values;
    bool valid = false;
};

QMutex& mutex() {
    static QMutex lock;
    return lock;
}

Reading& lastReading() {
    static Reading reading;
    return reading;
}

// Why the file cannot be used as it is, from the last look at it; and why
// the last write failed, until one works.
struct Problems {
    QString file;
    QString write;
    QString shown() const { return file.isEmpty() ? write : file; }
};

Problems& problems() {
    static Problems state;
    return state;
}

QString ownerName(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found) {
        return QString::fromLocal8Bit(found->pw_name);
    }
    return QStringLiteral("uid %1").arg(uid);
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("a folder");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a named pipe");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("a device");
    }
    return QStringLiteral("not a regular file");
}

std::optional<Signature> signatureOf(const QString& file) {
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0) {
        return std::nullopt;
    }
    return Signature{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

// Logs what changed, so a file that stays unusable is named once.
void update(const std::function<void(Problems&)>& change) {
    Problems& state = problems();
    const QString before = state.shown();
    change(state);
    const QString after = state.shown();
    if (after == before) {
        return;
    }
    if (!after.isEmpty()) {
        qCWarning(lcStore).noquote() << "Settings cannot be kept:" << after;
    } else {
        qCInfo(lcStore) << "Settings can be kept again";
    }
}

Reading readFile(const QString& file) {
    Reading reading;
    reading.path = file;
    reading.valid = true;
    const QString why = unusableBecause(file);
    update([&](Problems& state) { state.file = why; });
    reading.signature = signatureOf(file);
    if (!why.isEmpty() || !reading.signature) {
        return reading;
    }
    const QSettings settings(file, QSettings::IniFormat);
    for (const QString& key : settings.allKeys()) {
        reading.values.insert(key, settings.value(key));
    }
    return reading;
}

bool replaceUnreadableFile(const QString& fileName) {
    const QFileInfo info(fileName);
    return info.exists() && info.isFile() && !info.isReadable() && QFile::remove(fileName);
}

}  // namespace

QString path() {
    // Where QSettings keeps the user's files (its platform rule, or what
    // QSettings::setPath chose), learned from the organisation-wide file so
    // that the app's own is not opened before it has been looked at.
    const QSettings organisation(QSettings::NativeFormat, QSettings::UserScope, kOrganization);
    return QFileInfo(organisation.fileName()).path() + '/' + kOrganization + '/' + kApplication +
           QStringLiteral(".conf");
}

QString unusableBecause(const QString& file) {
    const QByteArray name = QFile::encodeName(file);
    struct stat link {};
    if (::lstat(name.constData(), &link) != 0) {
        return {};  // nothing there yet: the first write makes the file
    }
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        return QStringLiteral("%1 is a link that leads nowhere").arg(file);
    }
    const QString what =
        S_ISLNK(link.st_mode) ? QStringLiteral("%1 is a link to %2") : QStringLiteral("%1 is %2");
    if (!S_ISREG(st.st_mode)) {
        return what.arg(file, kindOf(st.st_mode));
    }
    if (st.st_uid != ::geteuid()) {
        return what.arg(file, QStringLiteral("a file of %1").arg(ownerName(st.st_uid)));
    }
    return {};
}

QHash<QString, QVariant> values() {
    const QMutexLocker lock(&mutex());
    const QString file = path();
    Reading& reading = lastReading();
    if (!reading.valid || reading.path != file || reading.signature != signatureOf(file)) {
        reading = readFile(file);
    }
    return reading.values;
}

bool write(const QString& key, const std::optional<QVariant>& value) {
    const QMutexLocker lock(&mutex());
    const QString file = path();
    lastReading().valid = false;
    const QString why = unusableBecause(file);
    update([&](Problems& state) { state.file = why; });
    if (!why.isEmpty()) {
        return false;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        QSettings settings(file, QSettings::IniFormat);
        if (value) {
            settings.setValue(key, *value);
        } else {
            settings.remove(key);
        }
        settings.sync();
        if (settings.status() != QSettings::AccessError) {
            update([](Problems& state) { state.write.clear(); });
            return true;
        }
        if (!replaceUnreadableFile(settings.fileName())) {
            break;
        }
    }
    update(
        [&](Problems& state) { state.write = QStringLiteral("%1 cannot be written").arg(file); });
    return false;
}

QString problem() {
    const QMutexLocker lock(&mutex());
    return problems().shown();
}

}  // namespace varnholt::SettingsFile
