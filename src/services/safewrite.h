#pragma once
// Replacing a file whole or not at all: the new contents go to an unnamed
// file beside it, every write and the flush to disk are checked, and only
// then does it take the file's place. On any failure the old file stays as it
// was and nothing is left behind; a program killed while writing leaves
// nothing either.
#include <QByteArray>
#include <QString>

namespace dxu {

// What becomes of a symbolic link at the path.
enum class Links {
    Follow,  // the file it names is replaced, keeping that file's permissions
    Replace, // the link itself is replaced by the file; what it names stays
};

// Empty on success, else what went wrong, as a phrase ("No space left on
// device"). A target that exists and is not a regular file (a device, a FIFO,
// a folder) is refused; a symbolic link is handled as links says.
QString replaceFile(const QString& path, const QByteArray& data, Links links = Links::Follow);

} // namespace dxu
