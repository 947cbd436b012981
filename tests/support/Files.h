#pragma once

#include <QByteArray>
#include <QString>

namespace varnholt::test {

// Writes the bytes, making the folders on the way; a file that cannot be
// written fails the running test.
void writeFile(const QString& path, const QByteArray& bytes);

// The file's bytes, or an empty array when it cannot be read.
QByteArray readFile(const QString& path);

}  // namespace varnholt::test
