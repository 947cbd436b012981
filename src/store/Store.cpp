#include "Store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "Clock.h"
#include "SettingsFile.h"

namespace varnholt::Store {

namespace {

const QString kPausedPaths = QStringLiteral("pausedPaths");
const QString kDefaultOpenFolder = QStringLiteral("defaultOpenFolder");
const QString kCollapsedPrefix = QStringLiteral("collapsed.");
const QString kPanelCollapsed = QStringLiteral("panelCollapsed");
const QString kRecentEvents = QStringLiteral("recentEvents");
const QString kNotifyWhenExposed = QStringLiteral("notifyWhenExposed");
const QString kShowEveryListener = QStringLiteral("showEveryListener");
const QString kShareNewHostsPrivately = QStringLiteral("shareNewHostsPrivately");

// Every read goes through the one parsed reading of the file, read again
// whenever the file changed; every write goes to disk before it returns.
// What QSettings does with a damaged file, and what we rely on:
// - Lines it cannot parse are skipped and the rest is read; the next write
//   rewrites the whole file from what was readable plus the change, so a
//   damaged file heals on the first write.
// - A file of our own that it cannot open for reading reads as empty; the
//   next write replaces it, since nothing in it could be used anyway.
QVariant read(const QString& key) {
    return SettingsFile::values().value(key);
}

void write(const QString& key, const std::optional<QVariant>& value) {
    SettingsFile::write(key, value);
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

bool showEveryListener() {
    return boolFrom(read(kShowEveryListener));
}

void setShowEveryListener(bool value) {
    write(kShowEveryListener, value);
}

bool shareNewHostsPrivately() {
    return boolFrom(read(kShareNewHostsPrivately));
}

void setShareNewHostsPrivately(bool value) {
    write(kShareNewHostsPrivately, value);
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
    const QHash<QString, QVariant> stored = SettingsFile::values();
    Snapshot values;
    values.pausedPaths = pausedPathsFrom(stored.value(kPausedPaths));
    values.defaultOpenFolder = folderFrom(stored.value(kDefaultOpenFolder));
    for (const QString& id : sectionIds) {
        values.collapsed.insert(id, boolFrom(stored.value(kCollapsedPrefix + id)));
    }
    values.panelCollapsed = boolFrom(stored.value(kPanelCollapsed));
    values.showEveryListener = boolFrom(stored.value(kShowEveryListener));
    values.recent = recentFrom(stored.value(kRecentEvents));
    return values;
}

QString settingsProblem() {
    return SettingsFile::problem();
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
