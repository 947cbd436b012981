#pragma once

#include <QString>

// File names that are not valid UTF-8 reach us with each bad byte replaced
// by U+FFFD, so the text no longer names the file. Such a name is refused
// with a message rather than skipped or failed without a word.
namespace varnholt::NameCheck {

// True when path holds a replacement character and nothing exists under it
// as written: the name was not valid UTF-8 on disk.
bool isUndecodable(const QString& path);

// What to tell the user about such a path.
QString undecodableMessage(const QString& path);

}  // namespace varnholt::NameCheck
