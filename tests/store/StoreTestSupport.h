#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "TempHome.h"
#include "store/Clock.h"
#include "store/Store.h"

namespace varnholt::test {

// Each test gets its own home and settings location, and helpers to look at
// the settings file the way a later launch would: QSettings shares parsed
// files inside one process, so "on disk" reads go through a copy of the file.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid()); }
    void TearDown() override { Clock::resetSource(); }

    static QString settingsFile() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, Store::kOrganization,
                         Store::kApplication)
            .fileName();
    }

    // Replaces the settings file with exactly these bytes. Call it before the
    // test's first read, so that no parsed copy is around yet.
    static void writeRaw(const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(settingsFile()).path());
        QFile file(settingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    static QByteArray readRaw() {
        QFile file(settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A copy of the settings file as it is on disk now, opened by a reader that
    // has never seen it.
    QString diskCopy() {
        const QString copy = m_home.scratch() + QStringLiteral("/disk-%1.conf").arg(m_copies++);
        QFile::remove(copy);
        EXPECT_TRUE(QFile::copy(settingsFile(), copy)) << "no settings file on disk";
        return copy;
    }
    QVariant onDisk(const QString& key) {
        return QSettings(diskCopy(), QSettings::IniFormat).value(key);
    }
    bool onDiskHas(const QString& key) {
        return QSettings(diskCopy(), QSettings::IniFormat).contains(key);
    }
    QSettings::Status onDiskStatus() {
        return QSettings(diskCopy(), QSettings::IniFormat).status();
    }

    // Points the store at a copy of the current file, so the next reads parse
    // it from disk as a new launch would.
    void reloadFromDisk() {
        const QString dir = m_home.scratch() + QStringLiteral("/reload-%1").arg(m_copies++);
        const QString target =
            dir + "/" + QFileInfo(settingsFile()).absoluteFilePath().mid(m_settingsRoot.size() + 1);
        QDir().mkpath(QFileInfo(target).path());
        ASSERT_TRUE(QFile::copy(settingsFile(), target));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
        m_settingsRoot = dir;
        ASSERT_EQ(settingsFile(), target);
    }

    TempHome m_home;
    QString m_settingsRoot = m_home.configDir();
    int m_copies = 0;
};

}  // namespace varnholt::test
