// SPDX-License-Identifier: MIT
// Two staged files put in place together (the report's JSON and PDF): both
// names change or neither does, whatever each replaced, and no temporary
// file stays. The second rename is made to fail by removing the second
// file's folder after both were written, which no run of the tool can time;
// the tool's own test covers the refusals and a full disk.
#include "staged_file.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class StagedFileTest : public QObject
{
    Q_OBJECT

private slots:
    void pairIsAllOrNothing_data();
    void pairIsAllOrNothing();
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

QTEST_GUILESS_MAIN(StagedFileTest)
#include "staged_file_test.moc"
