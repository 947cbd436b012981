#include "FakeCommands.h"

#include <QFile>

#include "Files.h"

namespace varnholt::test {

FakeCommands::FakeCommands() : m_savedPath(qgetenv("PATH")) {
    qputenv("PATH", m_dir.path().toLocal8Bit());
}

FakeCommands::~FakeCommands() {
    qputenv("PATH", m_savedPath);
}

void FakeCommands::script(const QString& name, const QByteArray& body) {
    const QString path = m_dir.path() + "/" + name;
    writeFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void FakeCommands::printing(const QString& name, const QByteArray& output, int status) {
    writeFile(m_dir.path() + "/" + name + ".out", output);
    script(name, "/bin/cat \"$0.out\"\nexit " + QByteArray::number(status) + "\n");
}

void FakeCommands::hanging(const QString& name) {
    // exec: the kill that ends the call ends the sleep itself.
    script(name, "exec /bin/sleep 600\n");
}

void FakeCommands::recording(const QString& name) {
    script(name, "echo \"$@\" >> \"$0.calls\"\n");
}

QByteArray FakeCommands::calls(const QString& name) const {
    return readFile(m_dir.path() + "/" + name + ".calls");
}

}  // namespace varnholt::test
