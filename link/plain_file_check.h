// SPDX-License-Identifier: MIT
// Whether a path names a plain file the program may read or write: a regular
// file, or nothing yet (a file to be created). Anything else is named with
// the reason, for a message: a folder, a FIFO, a device, a socket, a link
// that loops or leads nowhere. The check only looks at the path (stat and
// lstat) and never opens it, so a FIFO nobody writes to cannot hold the
// program up. The port settings file (PortMap) and the trace and results
// files of the command line are checked before they are opened;
// openForReading() does both for a file that is read (tarnvik-report's
// trace), and StagedFile checks the files it is to replace.
#pragma once

#include "failure.h"

#include <QString>

class QFile;

class PlainFileCheck
{
public:
    enum class Kind {
        Regular,      // a regular file, or a link to one
        Missing,      // nothing there yet
        Folder,       // a directory
        Fifo,         // a named pipe
        Device,       // a character or block device
        Socket,       // a local socket
        LinkLoop,     // a symbolic link that leads back to itself
        DanglingLink, // a symbolic link to nothing
        Unknown       // the path cannot be examined; reason() has the system's word
    };

    explicit PlainFileCheck(const QString &path);

    Kind kind() const { return m_kind; }
    // A regular file or nothing yet: the path may be opened.
    bool isPlain() const { return m_kind == Kind::Regular || m_kind == Kind::Missing; }
    // Why the path may not be opened, as the end of "... cannot be used: <reason>";
    // empty when isPlain().
    QString reason() const;

    // Whether two paths name the same file: the same file on disk (device and
    // inode) when both exist, else the same absolute path after links.
    static bool sameFile(const QString &first, const QString &second);
    // The absolute path with every link resolved; for a file that does not
    // exist yet, its folder's resolved path and its name.
    static QString resolvedPath(const QString &path);
    // Opens a regular file for reading into `file`. Anything else is refused
    // with the reason, before it is opened; what was opened is checked again
    // (opened without waiting), so a file swapped for a FIFO meanwhile does
    // not hold the program up either.
    static bool openForReading(QFile &file, const QString &path, Failure *reason);

private:
    Kind m_kind = Kind::Unknown;
    QString m_systemReason;
};
