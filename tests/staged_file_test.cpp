// SPDX-License-Identifier: MIT
// Two staged files put in place together (the report's JSON and PDF): both
// names change or neither does, whatever each replaced, and no temporary
// file stays. The second rename is made to fail by removing the second
// file's folder after both were written, which no run of the tool can time;
// the tool's own test covers a full disk. A staged file refuses what it
// cannot write, with the kind a caller acts on; the kinds of the system's
// own failures come from errno.
#include "staged_file.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

class StagedFileTest : public QObject
{
    Q_OBJECT

private slots:
    void pairIsAllOrNothing_data();
    void pairIsAllOrNothing();
    void refusesWhatItCannotWrite_data();
    void refusesWhatItCannotWrite();
    void systemFailuresHaveTheirKind_data();
    void systemFailuresHaveTheirKind();
};

void StagedFileTest::pairIsAllOrNothing_data()
{
    QTest::addColumn<QByteArray>("firstBefore"); // null: no file
    QTest::addColumn<QByteArray>("secondBefore");
    QTest::addColumn<bool>("secondBlocked");

    QTest::newRow("both new: both in place") << QByteArray() << QByteArray() << false;
    QTest::newRow("both replacing: both new, the first's mode kept")
        << QByteArray("previous first") << QByteArray("previous second") << false;
    QTest::newRow("second's rename fails: the previous first put back")
        << QByteArray("previous first") << QByteArray("previous second") << true;
    QTest::newRow("second's rename fails, no first before: the new first removed")
        << QByteArray() << QByteArray() << true;
}

void StagedFileTest::pairIsAllOrNothing()
{
    QFETCH(QByteArray, firstBefore);
    QFETCH(QByteArray, secondBefore);
    QFETCH(bool, secondBlocked);
    QTemporaryDir dir;
    const QString first = dir.filePath("report.json");
    QVERIFY(QDir(dir.path()).mkdir("pdf"));
    const QString second = dir.filePath("pdf/report.pdf");
    for (const auto &[path, text] : {std::pair{first, firstBefore}, {second, secondBefore}}) {
        QFile file(path);
        if (!text.isNull())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }
    if (!firstBefore.isNull())
        QVERIFY(::chmod(QFile::encodeName(first).constData(), 0640) == 0);

    bool committed = false;
    Failure error;
    {
        StagedFile a(first);
        StagedFile b(second);
        QVERIFY(a.create() && b.create());
        QVERIFY(a.write("new first") == 9 && b.write("new second") == 10);
        QVERIFY(a.finish() && b.finish());
        if (secondBlocked)
            QVERIFY(QDir(dir.filePath("pdf")).removeRecursively());
        committed = StagedFile::commitPair(a, b, &error);
    }
    QCOMPARE(committed, !secondBlocked);
    QCOMPARE(error.text.startsWith("cannot write " + second + ": "), secondBlocked);
    // its folder went: the rename finds no such folder
    QCOMPARE(error.kind, secondBlocked ? Failure::Kind::NotFound : Failure::Kind::None);

    QFile firstFile(first);
    const QByteArray firstNow = firstFile.open(QIODevice::ReadOnly) ? firstFile.readAll() : "";
    QCOMPARE(firstNow, committed ? QByteArray("new first") : firstBefore);
    struct stat info = {};
    if (!firstBefore.isNull() && ::stat(QFile::encodeName(first).constData(), &info) == 0)
        QCOMPARE(info.st_mode & 0777, 0640u);
    if (committed) {
        QFile secondFile(second);
        QVERIFY(secondFile.open(QIODevice::ReadOnly));
        QCOMPARE(secondFile.readAll(), QByteArray("new second"));
    }
    // No temporary file and no file kept aside, in either folder.
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    QStringList expected;
    if (!secondBlocked)
        expected << "pdf";
    if (committed || !firstBefore.isNull())
        expected << "report.json";
    QCOMPARE(QDir(dir.path()).entryList(all, QDir::Name), expected);
    if (committed)
        QCOMPARE(QDir(dir.filePath("pdf")).entryList(all), QStringList{"report.pdf"});
}

enum class InTheWay { FolderMissing, Fifo, Folder, FifoWhileWritten };
Q_DECLARE_METATYPE(InTheWay)

void StagedFileTest::refusesWhatItCannotWrite_data()
{
    QTest::addColumn<InTheWay>("inTheWay");
    QTest::addColumn<Failure::Kind>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("its folder missing: not found")
        << InTheWay::FolderMissing << Failure::Kind::NotFound
        << "its folder %1/gone does not exist";
    QTest::newRow("a FIFO in its place: refused, never opened")
        << InTheWay::Fifo << Failure::Kind::Refused << "it is a FIFO, not a file";
    QTest::newRow("a folder in its place: refused")
        << InTheWay::Folder << Failure::Kind::Refused << "it is a folder";
    QTest::newRow("a FIFO put in its place while written: refused at the rename, the FIFO kept")
        << InTheWay::FifoWhileWritten << Failure::Kind::Refused << "it is a FIFO, not a file";
}

void StagedFileTest::refusesWhatItCannotWrite()
{
    QFETCH(InTheWay, inTheWay);
    QFETCH(Failure::Kind, kind);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString target =
        dir.filePath(inTheWay == InTheWay::FolderMissing ? "gone/report.pdf" : "report.pdf");
    const QByteArray native = QFile::encodeName(target);
    if (inTheWay == InTheWay::Fifo)
        QVERIFY(::mkfifo(native.constData(), 0600) == 0);
    if (inTheWay == InTheWay::Folder)
        QVERIFY(QDir(dir.path()).mkdir("report.pdf"));

    Failure failure;
    {
        StagedFile file(target);
        bool done = file.create();
        if (inTheWay == InTheWay::FifoWhileWritten) {
            QVERIFY(done && file.write("new") == 3 && file.finish());
            QVERIFY(::mkfifo(native.constData(), 0600) == 0);
            done = file.commit(&failure);
            QCOMPARE(failure.kind, kind);
        }
        QVERIFY(!done);
        failure = file.failure();
    }
    QCOMPARE(failure.kind, kind);
    QCOMPARE(failure.text, "cannot write " + target + ": " + text.replace("%1", dir.path()));
    struct stat info = {};
    QVERIFY(::lstat(native.constData(), &info) == 0 || inTheWay == InTheWay::FolderMissing);
    if (inTheWay == InTheWay::Fifo || inTheWay == InTheWay::FifoWhileWritten)
        QVERIFY(S_ISFIFO(info.st_mode));
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QCOMPARE(QDir(dir.path()).entryList(all).size(), inTheWay == InTheWay::FolderMissing ? 0 : 1);
}

// The kind a caller acts on for each of the system's failures, and its words
// after the context.
void StagedFileTest::systemFailuresHaveTheirKind_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<Failure::Kind>("kind");

    QTest::newRow("ENOSPC: no space") << ENOSPC << Failure::Kind::NoSpace;
    QTest::newRow("EFBIG (the file size limit): no space") << EFBIG << Failure::Kind::NoSpace;
    QTest::newRow("EDQUOT (the quota): no space") << EDQUOT << Failure::Kind::NoSpace;
    QTest::newRow("EACCES: permission denied") << EACCES << Failure::Kind::PermissionDenied;
    QTest::newRow("EPERM: permission denied") << EPERM << Failure::Kind::PermissionDenied;
    QTest::newRow("EROFS (a read-only disk): permission denied")
        << EROFS << Failure::Kind::PermissionDenied;
    QTest::newRow("ENOENT: not found") << ENOENT << Failure::Kind::NotFound;
    QTest::newRow("ENXIO (a device unplugged): not found") << ENXIO << Failure::Kind::NotFound;
    QTest::newRow("EBUSY: in use") << EBUSY << Failure::Kind::InUse;
    QTest::newRow("EIO: I/O") << EIO << Failure::Kind::Io;
    QTest::newRow("EINVAL: other") << EINVAL << Failure::Kind::Other;
    QTest::newRow("no errno at all: a failure still, other") << 0 << Failure::Kind::Other;
}

void StagedFileTest::systemFailuresHaveTheirKind()
{
    QFETCH(int, error);
    QFETCH(Failure::Kind, kind);
    const QString words = QString::fromLocal8Bit(std::strerror(error));
    const Failure failure = Failure::fromErrno(error, "cannot write a.pdf");
    QCOMPARE(failure.kind, kind);
    QCOMPARE(failure.text, "cannot write a.pdf: " + words);
    QCOMPARE(Failure::fromErrno(error).text, words);
    QCOMPARE(Failure::kindOfErrno(error), error == 0 ? Failure::Kind::None : kind);
}

QTEST_GUILESS_MAIN(StagedFileTest)
#include "staged_file_test.moc"
