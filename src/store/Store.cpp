#include "Store.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "Clock.h"

namespace varnholt::Store {

namespace {

const QString kPausedPaths = QStringLiteral("pausedPaths");
const QString kDefaultOpenFolder = QStringLiteral("defaultOpenFolder");
const QString kCollapsedPrefix = QStringLiteral("collapsed.");
const QString kPanelCollapsed = QStringLiteral("panelCollapsed");
const QString kRecentEvents = QStringLiteral("recentEvents");
const QString kNotifyWhenExposed = QStringLiteral("notifyWhenExposed");

// The settings are opened afresh on every call: nothing of ours outlives it,
// and a test that moves the settings path is followed at once.
//
// What QSettings does with a damaged file, and what we rely on:
// - Lines it cannot parse are skipped (status FormatError) and the rest is
//   read; the next write rewrites the whole file from what was readable plus
//   the change, so a damaged file heals on the first write.
// - A file it cannot open for reading reads as empty, and QSettings refuses to
//   write over it (AccessError) for ever; write() below replaces such a file,
//   since nothing in it could be used anyway.
// - A file or folder it cannot write gives AccessError and nothing else; the
//   change stays visible to later reads in this process (QSettings keeps it
//   pending and writes it with the next sync that succeeds).
QVariant read(const QString& key) {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganization,
                             kApplication);
    return settings.value(key);
}

bool replaceUnreadableFile(const QString& fileName) {
    const QFileInfo info(fileName);
    return info.exists() && info.isFile() && !info.isReadable() && QFile::remove(fileName);
}

// Stores value under key (or removes key when value is absent) and waits until
// it is on disk.
void write(const QString& key, const std::optional<QVariant>& value) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganization,
                           kApplication);
        if (value) {
            settings.setValue(key, *value);
        } else {
            settings.remove(key);
        }
        settings.sync();
        if (settings.status() != QSettings::AccessError ||
            !replaceUnreadableFile(settings.fileName())) {
            return;
        }
    }
}

// The INI format keeps no types: a bool comes back as the text "true", so
// both the in-memory value and its text form are accepted.
bool boolFrom(const QVariant& value) {
    switch (value.metaType().id()) {
        case QMetaType::Bool:
            return value.toBool();
        case QMetaType::QString: {
            const QString text = value.toString().trimmed();
            if (text.compare(u"true", Qt::CaseInsensitive) == 0 ||
                text.compare(u"yes", Qt::CaseInsensitive) == 0) {
                return true;
            }
            bool isNumber = false;
            const qlonglong number = text.toLongLong(&isNumber);
            return isNumber && number != 0;
        }
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return value.toLongLong() != 0;
        default:
            return false;
    }
}

QSet<QString> pausedPathsFrom(const QVariant& value) {
    QStringList paths;
    switch (value.metaType().id()) {
        case QMetaType::QStringList:
            paths = value.toStringList();
            break;
        case QMetaType::QString:
            // A one-element list comes back from the INI file as a plain text.
            paths = {value.toString()};
            break;
        case QMetaType::QVariantList: {
            const QVariantList items = value.toList();
            for (const QVariant& item : items) {
                if (item.metaType().id() != QMetaType::QString) {
                    return {};
                }
                paths.append(item.toString());
            }
            break;
        }
        default:
            // Absent, the empty list (stored as an invalid value), or not a
            // list of texts at all.
            return {};
    }
    return QSet<QString>(paths.cbegin(), paths.cend());
}

std::optional<QString> folderFrom(const QVariant& value) {
    if (value.metaType().id() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

QList<RecentEvent> recentFrom(const QVariant& value) {
    if (value.metaType().id() != QMetaType::QByteArray) {
        return {};
    }
    return decodeRecent(value.toByteArray()).value_or(QList<RecentEvent>{});
}

}  // namespace

QSet<QString> pausedPaths() {
    return pausedPathsFrom(read(kPausedPaths));
}

void setPausedPaths(const QSet<QString>& paths) {
    QStringList list(paths.cbegin(), paths.cend());
    // Order carries no meaning; sorting keeps the file stable between writes.
    list.sort();
    write(kPausedPaths, QVariant(list));
}

void insertPausedPath(const QString& path) {
    QSet<QString> paths = pausedPaths();
    paths.insert(path);
    setPausedPaths(paths);
}

void removePausedPath(const QString& path) {
    QSet<QString> paths = pausedPaths();
    paths.remove(path);
    setPausedPaths(paths);
}

std::optional<QString> defaultOpenFolder() {
    return folderFrom(read(kDefaultOpenFolder));
}

void setDefaultOpenFolder(const std::optional<QString>& folder) {
    write(kDefaultOpenFolder, folder ? std::optional<QVariant>(*folder) : std::nullopt);
}

bool collapsed(const QString& id) {
    return boolFrom(read(kCollapsedPrefix + id));
}

void setCollapsed(const QString& id, bool value) {
    write(kCollapsedPrefix + id, value);
}

bool notifyWhenExposed() {
    // On unless the user turned it off: being told is the point of the alert.
    const QVariant value = read(kNotifyWhenExposed);
    return !value.isValid() || boolFrom(value);
}

void setNotifyWhenExposed(bool value) {
    write(kNotifyWhenExposed, value);
}

bool panelCollapsed() {
    return boolFrom(read(kPanelCollapsed));
}

void setPanelCollapsed(bool value) {
    write(kPanelCollapsed, value);
}

QList<RecentEvent> recent() {
    return recentFrom(read(kRecentEvents));
}

void setRecent(const QList<RecentEvent>& events) {
    if (const auto bytes = encodeRecent(events)) {
        write(kRecentEvents, QVariant(*bytes));
    }
}

void logRecent(const QString& title, const QString& action, const std::optional<QString>& path) {
    QList<RecentEvent> events = recent();
    events.prepend(RecentEvent{title, action, Clock::now(), path});
    if (events.size() > kRecentCap) {
        events.resize(kRecentCap);
    }
    setRecent(events);
}

void removeRecent(const RecentEvent& event) {
    QList<RecentEvent> events = recent();
    events.removeAll(event);
    setRecent(events);
}

Snapshot snapshot(const QStringList& sectionIds) {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganization,
                             kApplication);
    Snapshot values;
    values.pausedPaths = pausedPathsFrom(settings.value(kPausedPaths));
    values.defaultOpenFolder = folderFrom(settings.value(kDefaultOpenFolder));
    for (const QString& id : sectionIds) {
        values.collapsed.insert(id, boolFrom(settings.value(kCollapsedPrefix + id)));
    }
    values.panelCollapsed = boolFrom(settings.value(kPanelCollapsed));
    values.recent = recentFrom(settings.value(kRecentEvents));
    return values;
}

std::optional<QByteArray> encodeRecent(const QList<RecentEvent>& events) {
    QJsonArray array;
    for (const RecentEvent& event : events) {
        // JSON has no infinity or NaN; Qt would quietly write null instead,
        // which then reads back as a broken log.
        if (!std::isfinite(event.at)) {
            return std::nullopt;
        }
        QJsonObject object{
            {QStringLiteral("title"), event.title},
            {QStringLiteral("action"), event.action},
            {QStringLiteral("at"), event.at},
        };
        if (event.path) {
            object.insert(QStringLiteral("path"), *event.path);
        }
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<RecentEvent>> decodeRecent(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    const QJsonArray array = document.array();
    QList<RecentEvent> events;
    events.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isObject()) {
            return std::nullopt;
        }
        const QJsonObject object = element.toObject();
        const QJsonValue title = object.value(u"title");
        const QJsonValue action = object.value(u"action");
        const QJsonValue at = object.value(u"at");
        const QJsonValue path = object.value(u"path");
        if (!title.isString() || !action.isString() || !at.isDouble()) {
            return std::nullopt;
        }
        RecentEvent event{title.toString(), action.toString(), at.toDouble(), std::nullopt};
        if (path.isString()) {
            event.path = path.toString();
        } else if (!path.isUndefined() && !path.isNull()) {
            return std::nullopt;
        }
        events.append(std::move(event));
    }
    return events;
}

}  // namespace varnholt::Store
