// SPDX-License-Identifier: MIT
// A file written under a temporary name beside the file it is to replace,
// and renamed into place only when it is whole. create() refuses a target
// that exists and is no regular file (a FIFO, a device, a folder: it only
// looks, with PlainFileCheck, and never opens it) and writes beside the file
// a symbolic link leads to, so the link stays and only its file is replaced.
// Every write is checked; finish() writes out the rest, puts the file on the
// disk (fsync) and closes it. Any failure is kept, with its kind and the
// system's words ("No space left on device"), for failure(). Nothing is renamed before
// commit() or commitPair(), and a StagedFile that was not put in place removes its
// temporary file when it goes. ReportFiles writes the report's PDF and JSON
// through two of these.
#pragma once

#include "failure.h"

#include <QFile>
#include <QIODevice>
#include <QString>

class StagedFile : public QIODevice
{
public:
    explicit StagedFile(const QString &target);
    ~StagedFile() override;

    // Creates the temporary file and opens this device for writing.
    bool create();
    // Writes out what is buffered, syncs and closes the temporary file.
    bool finish();
    // "cannot write TARGET: why", once something failed.
    Failure failure() const { return m_failure; }
    // The temporary file while it exists under its own name.
    QString temporaryPath() const { return m_file.fileName(); }

    // Puts one finished file in place: renamed over the file it replaces
    // (or into a new name), its folder synced. False, with why in `error`,
    // when the target became something other than a regular file meanwhile
    // or the rename failed; the previous file is whole then.
    bool commit(Failure *error);

    // Puts two finished files in place: both names change, or neither does.
    // `first` is renamed into place keeping the file it replaces (exchanged
    // with its temporary file where the file system can, else moved aside),
    // then `second` is; should that fail, `first`'s previous file (or none)
    // is put back. Between the two renames a crash can leave the new
    // `first` beside the previous `second`, with `first`'s previous file
    // under a hidden temporary name beside it.
    static bool commitPair(StagedFile &first, StagedFile &second, Failure *error);
    // Puts one finished file in place (the plan runner's trace beside its
    // report, under a name nothing had).
    static bool commit(StagedFile &file, Failure *error);

protected:
    qint64 readData(char *data, qint64 length) override;
    qint64 writeData(const char *data, qint64 length) override;

private:
    static constexpr qint64 kChunk = 64 * 1024;

    bool fail(const Failure &why);
    bool writeOut();
    bool place(QString &kept, bool &exchanged);
    QString putBack(const QString &kept, bool exchanged);

    QString m_target; // as given
    QString m_final;  // what is replaced: the target with its links resolved
    QFile m_file;     // the temporary file
    QByteArray m_buffer;
    Failure m_failure;
    bool m_created = false;
    bool m_placed = false;
};
