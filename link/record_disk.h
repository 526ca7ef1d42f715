// SPDX-License-Identifier: MIT
// The file operations the record writer needs, one call each, with the
// operating system's error number on failure. RecordFile builds whole-line
// appends on them; the writer thread is the only caller while the program
// runs. Tests derive from it to make the disk fill up, fail a sync, count the
// syncs or hold a write until they release it.
//
// open() takes regular files only: a path that holds a FIFO, a device or a
// directory is refused before anything opens it (and checked again on what
// was opened), so a file swapped for a FIFO is never waited on.
#pragma once

#include <QString>
#include <QtGlobal>

class RecordDisk
{
public:
    // The error of open() for a path that is no regular file.
    static constexpr int kNotPlain = -1;

    RecordDisk() = default;
    RecordDisk(const RecordDisk &) = delete;
    RecordDisk &operator=(const RecordDisk &) = delete;
    virtual ~RecordDisk() = default;

    // Creates the folder and its parents if missing.
    virtual bool makeFolder(const QString &path, int &error);
    // Opens `path` for appending, creating it; `empty` cuts it to nothing.
    // Returns the handle, or -1 with `error` set.
    virtual int open(const QString &path, bool empty, int &error);
    virtual qint64 size(int handle, int &error);
    // The file's byte at `offset`, or -1 when it cannot be read back.
    virtual int byteAt(int handle, qint64 offset);
    // Appends all of `data` or stops at the first failure; returns the bytes
    // that went out, with `error` set when they are fewer than `length`.
    virtual qint64 write(int handle, const char *data, qint64 length, int &error);
    virtual bool truncate(int handle, qint64 length, int &error);
    // Puts what was written on the disk.
    virtual bool sync(int handle, int &error);
    virtual void close(int handle);

    // The system's words for `error` ("No space left on device").
    static QString reason(int error);
};
