#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// The file handling that tests of files and child processes share.
namespace TestFiles {

// Writes the bytes as the whole file, making the folders on the way; false when it cannot.
bool write(const QString &path, const QByteArray &bytes);
// The file's bytes; empty when it cannot be read.
QByteArray read(const QString &path);
// The permission bits (07777) of a file or folder; 0 when there is none.
mode_t mode(const QString &path);
// Sets the permission bits; false when it cannot.
bool setMode(const QString &path, mode_t mode);

} // namespace TestFiles
