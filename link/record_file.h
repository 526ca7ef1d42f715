// SPDX-License-Identifier: MIT
// One file of the record (the results file or the traffic trace) as the
// writer thread appends to it: each unit (a row, a trace line) is in the file
// whole or not at all. Before a write the size is noted; when a write or the
// sync after it fails, the file is cut back to the last whole unit and synced,
// so the next unit starts on a clean line. A file that was left ending inside
// a line (a crash mid-write, a cut that failed) gets a line end first.
//
// The cause of a failure is "PATH: reason", the reason the system's own ("No
// space left on device") or what stands in the way ("it is a FIFO, not a
// file", "its folder cannot be created because PATH is not a folder").
// Every open goes through RecordDisk, which takes regular files only.
#pragma once

#include "failure.h"

#include <QByteArray>
#include <QList>
#include <QString>

class RecordDisk;

class RecordFile
{
public:
    struct Options
    {
        QByteArray header;     // written first into an empty file, with the first unit
        QByteArray lineEnd;    // how the units end ("\r\n", "\n")
        bool empty = false;    // cut the file to nothing at the first open
        bool keepOpen = false; // stay open between appends (else open for each)
        bool syncEach = false; // sync after every append; a failed sync fails it
        bool makeFolder = false;
    };

    RecordFile(RecordDisk &disk, const QString &path, const Options &options);
    RecordFile(const RecordFile &) = delete;
    RecordFile &operator=(const RecordFile &) = delete;
    ~RecordFile();

    QString path() const { return m_path; }

    // Appends `units` in order and returns how many are in the file whole;
    // when fewer than all, `why` says why, and the file holds no part of the
    // ones that failed.
    int append(const QList<QByteArray> &units, Failure *why);
    // Opens the file now if it is not open; false with `why` when it cannot.
    bool open(Failure *why);
    // Looks at the path without opening or creating anything: false with
    // `why` when it is no plain file or its folder cannot be made.
    bool check(Failure *why) const;
    void close();

private:
    int cutBack(qint64 start, qint64 written, const QList<qint64> &ends);
    Failure cause(int error) const;
    Failure folderCause(int error, const QString &blocking) const;
    static QString fileInFolderPath(const QString &folder);

    RecordDisk &m_disk;
    QString m_path;
    Options m_options;
    int m_handle = -1;
    bool m_emptied = false;
};
