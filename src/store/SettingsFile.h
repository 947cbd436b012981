#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

#include <optional>

// The file behind the settings, and the one parsed reading of it that every
// read shares until the file changes. Only a regular file of the user's own
// (or a link that ends at one) is ever opened: anything else at that path (a
// device, a named pipe, a folder, another user's file) reads as empty and is
// never written or replaced, and problem() says why.
namespace varnholt::SettingsFile {

// Where QSettings keeps the app's user settings.
QString path();

// Every stored value, from the last reading; read again only when the file's
// identity, size or time differ from that reading's.
QHash<QString, QVariant> values();

// Stores value under key (or removes key when value is absent) and waits
// until it is on disk. False when the settings cannot be kept.
bool write(const QString& key, const std::optional<QVariant>& value);

// Why the settings cannot be kept, fit for an alert; empty while they can.
QString problem();

// What is at path, as far as keeping settings there goes: the empty text when
// a file may be read and written there (or there is none yet), else why not.
// Looks with stat alone, so nothing that could block is ever opened.
QString unusableBecause(const QString& path);

}  // namespace varnholt::SettingsFile
