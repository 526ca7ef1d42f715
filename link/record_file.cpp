// SPDX-License-Identifier: MIT
#include "record_file.h"

#include "plain_file_check.h"
#include "record_disk.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

RecordFile::RecordFile(RecordDisk &disk, const QString &path, const Options &options)
    : m_disk(disk)
    , m_path(path)
    , m_options(options)
{}

RecordFile::~RecordFile()
{
    close();
}

void RecordFile::close()
{
    if (m_handle >= 0)
        m_disk.close(m_handle);
    m_handle = -1;
}

// A path that is no regular file is named for what it is ("it is a FIFO,
// not a file") when it still is one; a folder always, so that one that is
// removed as it is tried gives no second notice.
Failure RecordFile::cause(int error) const
{
    QString reason = RecordDisk::reason(error);
    Failure::Kind kind = Failure::kindOfErrno(error);
    if (error == EISDIR || error == RecordDisk::kNotPlain)
        kind = Failure::Kind::Refused;
    if (error == EISDIR) {
        reason = QStringLiteral("it is a folder");
    } else if (error == RecordDisk::kNotPlain) {
        const PlainFileCheck check(m_path);
        if (!check.isPlain())
            reason = check.reason();
    }
    return {kind, QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(m_path), reason)};
}

// Why the file's folder cannot be made: `blocking`, the part of its path that
// was seen to be a file, when there was one, else the system's reason. The
// path is looked at once by the caller: a file that goes between two looks
// would leave a reason that names nothing.
Failure RecordFile::folderCause(int error, const QString &blocking) const
{
    const QString folder = QFileInfo(m_path).absolutePath();
    const QString reason =
        blocking.isEmpty()
            ? QStringLiteral("its folder %1 cannot be created (%2)")
                  .arg(QDir::toNativeSeparators(folder), RecordDisk::reason(error))
            : QStringLiteral("its folder cannot be created because %1 is not a folder")
                  .arg(QDir::toNativeSeparators(blocking));
    return {blocking.isEmpty() ? Failure::kindOfErrno(error) : Failure::Kind::Refused,
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(m_path), reason)};
}

// The nearest part of `folder`'s path that exists and is no folder; empty
// when there is none.
QString RecordFile::fileInFolderPath(const QString &folder)
{
    for (QString part = QDir::cleanPath(folder);;) {
        const QFileInfo info(part);
        if (info.exists() || info.isSymLink())
            return info.isDir() ? QString() : part;
        const QString parent = info.path();
        if (parent == part)
            return QString();
        part = parent;
    }
}

bool RecordFile::check(Failure *why) const
{
    const PlainFileCheck file(m_path);
    if (m_options.makeFolder) {
        const QString blocking = fileInFolderPath(QFileInfo(m_path).absolutePath());
        if (!blocking.isEmpty())
            return fail(why, folderCause(ENOTDIR, blocking));
    }
    if (!file.isPlain())
        return fail(why, Failure::refused(QStringLiteral("%1: %2").arg(
                             QDir::toNativeSeparators(m_path), file.reason())));
    return true;
}

bool RecordFile::open(Failure *why)
{
    if (m_handle >= 0)
        return true;
    int error = 0;
    const QString folder = QFileInfo(m_path).absolutePath();
    if (m_options.makeFolder && !m_disk.makeFolder(folder, error)) {
        // A file in the folder's way is named as it was seen, even when it
        // goes meanwhile; one that went while the folder was made leaves the
        // way clear, and the folder is made again.
        const QString blocking = fileInFolderPath(folder);
        if (!blocking.isEmpty() || !m_disk.makeFolder(folder, error))
            return fail(why, folderCause(error, blocking));
    }
    // The file is emptied once, at its first open; later opens append.
    m_handle = m_disk.open(m_path, m_options.empty && !m_emptied, error);
    if (m_handle < 0)
        return fail(why, cause(error));
    m_emptied = true;
    return true;
}

int RecordFile::append(const QList<QByteArray> &units, Failure *why)
{
    if (units.isEmpty() || !open(why))
        return 0;
    int error = 0;
    const qint64 start = m_disk.size(m_handle, error);
    int whole = 0;
    if (start < 0) {
        fail(why, cause(error));
    } else {
        // What goes out: a line end if the file ends inside a line, the
        // header into an empty file, then the units; `ends` marks where
        // each unit ends.
        QByteArray data = start == 0 ? m_options.header : QByteArray();
        const int last = start > 0 ? m_disk.byteAt(m_handle, start - 1) : -1;
        if (last >= 0 && !m_options.lineEnd.isEmpty() && last != uchar(m_options.lineEnd.back()))
            data = m_options.lineEnd;
        QList<qint64> ends;
        for (const QByteArray &unit : units) {
            data += unit;
            ends.append(data.size());
        }
        const qint64 written = m_disk.write(m_handle, data.constData(), data.size(), error);
        if (written == data.size() && (!m_options.syncEach || m_disk.sync(m_handle, error)))
            whole = int(units.size());
        else
            whole = cutBack(start, written == data.size() ? 0 : written, ends);
        if (whole < units.size())
            fail(why, cause(error));
    }
    if (!m_options.keepOpen || whole < units.size())
        close();
    return whole;
}

// Cuts the file back to the end of the last unit that went out whole (all of
// them fail when the sync failed: `written` is then 0) and syncs the cut.
int RecordFile::cutBack(qint64 start, qint64 written, const QList<qint64> &ends)
{
    int whole = 0;
    while (whole < ends.size() && ends.at(whole) <= written)
        ++whole;
    const qint64 keep = whole > 0 ? ends.at(whole - 1) : 0;
    int ignored = 0;
    if (m_disk.truncate(m_handle, start + keep, ignored))
        m_disk.sync(m_handle, ignored);
    return whole;
}
