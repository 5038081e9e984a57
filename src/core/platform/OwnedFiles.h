#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace drovane {

// Opening the program's own files without ever following a symbolic link: a link
// planted where a data file or the log belongs must not turn a save or a log line into
// a write to some other file, nor let a read show another file's bytes.

enum class OwnedRead { Missing, Read, Refused };

// Reads `path` whole. Missing when nothing is there; Refused with the reason in plain
// words when it is a symbolic link, not a regular file, another user's file (unless the
// reader is root), or cannot be opened or read.
OwnedRead readRegularFile(const QString& path, QByteArray* bytes, QString* reason);

// Opens `path` to append to it, creating it owner-only (0600). Refuses a symbolic link
// (dangling or not), anything but a regular file, and a file of another user; returns
// false with the reason in plain words then.
bool openOwnedForAppend(QFile& file, const QString& path, QString* reason);

// What lies at `path` that a save must not replace (a link, a folder, a device...), in
// plain words; empty when nothing or a regular file is there.
QString notReplaceable(const QString& path);

// The reason of a failed system call, for messages.
QString systemError(int errorNumber);

} // namespace drovane
