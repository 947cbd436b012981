#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace varnholt::test {

// Stand-ins for outside tools that cannot run here (a container engine):
// shell scripts in a temporary folder that is all of PATH while the object
// lives, so a lookup by name finds them and nothing else.
class FakeCommands {
public:
    FakeCommands();
    ~FakeCommands();
    FakeCommands(const FakeCommands&) = delete;
    FakeCommands& operator=(const FakeCommands&) = delete;

    // A command that prints output and exits with status.
    void printing(const QString& name, const QByteArray& output, int status = 0);
    // A command that never answers (until it is killed).
    void hanging(const QString& name);
    // A command that records its arguments, one call a line, in calls(name).
    void recording(const QString& name);
    QByteArray calls(const QString& name) const;
    QString folder() const { return m_dir.path(); }

private:
    void script(const QString& name, const QByteArray& body);

    QTemporaryDir m_dir;
    QByteArray m_savedPath;
};

}  // namespace varnholt::test
