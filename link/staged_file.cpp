// SPDX-License-Identifier: MIT
#include "staged_file.h"

#include "plain_file_check.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace {

// The file system (or the system) cannot exchange two names in one step.
constexpr int kNoExchange = -1;

// A failure of a rename, removal or sync: the system's words for `code`
// (errno here, GetLastError() on Windows) and the kind it stands for.
Failure failureOf(int code)
{
    Failure::Kind kind = Failure::Kind::Io;
#ifdef Q_OS_WIN
    if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL)
        kind = Failure::Kind::NoSpace;
    else if (code == ERROR_ACCESS_DENIED)
        kind = Failure::Kind::PermissionDenied;
    else if (code == ERROR_SHARING_VIOLATION)
        kind = Failure::Kind::InUse;
    else if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        kind = Failure::Kind::NotFound;
#else
    if (Failure::kindOfErrno(code) != Failure::Kind::Other)
        kind = Failure::kindOfErrno(code);
#endif
    return {kind, qt_error_string(code)};
}

// A failure QFile reported: a resource error is the disk that took no more.
Failure failureOf(const QFile &file)
{
    return {Failure::kindOfFile(file), file.errorString()};
}

Failure notPlain(const PlainFileCheck &check)
{
    return Failure::refused(check.reason());
}

#ifdef Q_OS_WIN

const wchar_t *native(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

int replaceName(const QString &from, const QString &to)
{
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    if (::MoveFileExW(native(source), native(target),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return int(::GetLastError());
}

int exchangeNames(const QString &, const QString &)
{
    return kNoExchange;
}

int removeName(const QString &path)
{
    return QFile::remove(path) ? 0 : int(ERROR_ACCESS_DENIED);
}

// The file's data reaches the disk when it is closed.
int syncFile(QFile &)
{
    return 0;
}

void syncFolder(const QString &) {}

void keepOwnerAndMode(QFile &, const QString &) {}

#else

int replaceName(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
               ? 0
               : errno;
}

int exchangeNames(const QString &first, const QString &second)
{
#ifdef RENAME_EXCHANGE
    if (::renameat2(AT_FDCWD, QFile::encodeName(first).constData(), AT_FDCWD,
                    QFile::encodeName(second).constData(), RENAME_EXCHANGE) == 0)
        return 0;
    return errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ? kNoExchange : errno;
#else
    Q_UNUSED(first);
    Q_UNUSED(second);
    return kNoExchange;
#endif
}

int removeName(const QString &path)
{
    return ::unlink(QFile::encodeName(path).constData()) == 0 ? 0 : errno;
}

int syncFile(QFile &file)
{
    // A file system that cannot sync a regular file has nothing to lose.
    return ::fsync(file.handle()) == 0 || errno == EINVAL ? 0 : errno;
}

// Makes the renames in the file's folder last; a folder that cannot be
// synced leaves them to the system, as any other program's.
void syncFolder(const QString &file)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    const int handle = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
}

// The replacement gets the permissions and, where the writer may give it
// (as root), the owner of the file it replaces.
void keepOwnerAndMode(QFile &file, const QString &replaced)
{
    struct stat old = {};
    if (::stat(QFile::encodeName(replaced).constData(), &old) != 0)
        return;
    if (::fchown(file.handle(), old.st_uid, old.st_gid) != 0) {
        // Not allowed: the file is the writer's, as a new one would be.
    }
    ::fchmod(file.handle(), old.st_mode & 0777);
}

#endif

// A hidden name beside `path` that is not taken yet (most likely).
QString hiddenBeside(const QString &path)
{
    const QFileInfo info(path);
    return info.dir().filePath(
        QStringLiteral(".%1.%2")
            .arg(info.fileName())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

} // namespace

StagedFile::StagedFile(const QString &target)
    : m_target(target)
{}

StagedFile::~StagedFile()
{
    m_file.close();
    if (m_created && !m_placed)
        removeName(m_file.fileName());
}

bool StagedFile::create()
{
    const PlainFileCheck check(m_target);
    if (!check.isPlain())
        return fail(notPlain(check));
    m_final = PlainFileCheck::resolvedPath(m_target);
    const QString folder = QFileInfo(m_final).absolutePath();
    if (!QFileInfo(folder).isDir())
        return fail(
            {Failure::Kind::NotFound, QStringLiteral("its folder %1 does not exist").arg(folder)});
    // NewOnly: never a file that is there already, nor through a link put there.
    for (int attempt = 0; attempt < 4 && !m_created; ++attempt) {
        m_file.setFileName(hiddenBeside(m_final));
        m_created = m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
    }
    if (!m_created)
        return fail(failureOf(m_file));
    keepOwnerAndMode(m_file, m_final);
    return QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool StagedFile::finish()
{
    if (!m_created || m_failure.failed() || !writeOut())
        return fail({Failure::Kind::Io, QStringLiteral("it was not written")});
    if (const int code = syncFile(m_file))
        return fail(failureOf(code));
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return fail(failureOf(m_file));
    QIODevice::close();
    return true;
}

bool StagedFile::fail(const Failure &why)
{
    if (!m_failure.failed()) {
        m_failure = why.within(QStringLiteral("cannot write %1").arg(m_target));
        setErrorString(why.text);
    }
    return false;
}

qint64 StagedFile::readData(char *, qint64)
{
    return -1;
}

qint64 StagedFile::writeData(const char *data, qint64 length)
{
    if (m_failure.failed())
        return -1;
    m_buffer.append(data, length);
    if (m_buffer.size() >= kChunk && !writeOut())
        return -1;
    return length;
}

bool StagedFile::writeOut()
{
    qint64 done = 0;
    while (done < m_buffer.size()) {
        const qint64 n = m_file.write(m_buffer.constData() + done, m_buffer.size() - done);
        if (n <= 0)
            return fail(
                n < 0 ? failureOf(m_file)
                      : Failure(Failure::Kind::NoSpace, QStringLiteral("the disk took nothing")));
        done += n;
    }
    m_buffer.clear();
    return true;
}

// Renames the temporary file into place. `kept` gets the name the replaced
// file has now (none when there was none), `exchanged` whether it swapped
// names with the temporary file.
bool StagedFile::place(QString &kept, bool &exchanged)
{
    const QString temporary = m_file.fileName();
    int code = 0;
    if (!QFileInfo::exists(m_final)) {
        code = replaceName(temporary, m_final);
    } else if ((code = exchangeNames(temporary, m_final)) == 0) {
        kept = temporary;
        exchanged = true;
    } else if (code == kNoExchange) {
        // No exchange on this file system: the previous file steps aside first.
        const QString aside = hiddenBeside(m_final);
        code = replaceName(m_final, aside);
        if (code == 0 && (code = replaceName(temporary, m_final)) != 0)
            replaceName(aside, m_final);
        if (code == 0)
            kept = aside;
    }
    if (code != 0)
        return fail(failureOf(code));
    m_placed = true;
    return true;
}

// Undoes place(): the previous file goes back, or the new one goes when there
// was none. Empty when it went back, else what is left where.
QString StagedFile::putBack(const QString &kept, bool exchanged)
{
    int code = 0;
    if (kept.isEmpty())
        code = removeName(m_final);
    else if (!exchanged)
        code = replaceName(kept, m_final);
    else if ((code = exchangeNames(kept, m_final)) == 0)
        removeName(kept); // the new file by now
    if (code == 0) {
        m_placed = false;
        return QString();
    }
    if (kept.isEmpty())
        return QStringLiteral("; the new %1 could not be removed: %2")
            .arg(m_target, failureOf(code).text);
    return QStringLiteral("; the previous %1 could not be put back and is kept as %2")
        .arg(m_target, kept);
}

bool StagedFile::commit(Failure *error)
{
    if (!m_created || isOpen())
        fail({Failure::Kind::Io, QStringLiteral("it is not finished")});
    // Looked at again: what was put there while the file was written is not replaced either.
    if (const PlainFileCheck now(m_final); !now.isPlain())
        fail(notPlain(now));
    if (!m_failure.failed()) {
        if (const int code = replaceName(m_file.fileName(), m_final); code != 0)
            fail(failureOf(code));
    }
    if (m_failure.failed())
        return ::fail(error, m_failure);
    m_placed = true;
    syncFolder(m_final);
    return true;
}

bool StagedFile::commitPair(StagedFile &first, StagedFile &second, Failure *error)
{
    for (StagedFile *file : {&first, &second}) {
        if (!file->m_created || file->isOpen())
            file->fail({Failure::Kind::Io, QStringLiteral("it is not finished")});
        // Looked at again: what was put there while the file was written is not replaced either.
        if (const PlainFileCheck now(file->m_final); !now.isPlain())
            file->fail(notPlain(now));
        if (file->m_failure.failed())
            return ::fail(error, file->m_failure);
    }
    QString kept; // first's previous file, until the second is in place
    bool exchanged = false;
    if (!first.place(kept, exchanged))
        return ::fail(error, first.failure());
    if (const int code = replaceName(second.temporaryPath(), second.m_final)) {
        second.fail(failureOf(code));
        const Failure failed = second.failure();
        return ::fail(error, {failed.kind, failed.text + first.putBack(kept, exchanged)});
    }
    second.m_placed = true;
    if (!kept.isEmpty())
        removeName(kept);
    syncFolder(first.m_final);
    syncFolder(second.m_final);
    return true;
}

bool StagedFile::commit(StagedFile &file, Failure *error)
{
    if (!file.m_created || file.isOpen())
        file.fail({Failure::Kind::Io, QStringLiteral("it is not finished")});
    if (const PlainFileCheck now(file.m_final); !now.isPlain())
        file.fail(notPlain(now));
    if (!file.m_failure.failed()) {
        if (const int code = replaceName(file.temporaryPath(), file.m_final)) {
            file.fail(failureOf(code));
        } else {
            file.m_placed = true;
            syncFolder(file.m_final);
            return true;
        }
    }
    return ::fail(error, file.m_failure);
}
