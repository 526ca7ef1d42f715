// SPDX-License-Identifier: MIT
// The record's writer: rows and lines whole or absent whatever the disk does,
// the system's cause named, only regular files opened, results rows kept
// while the oldest trace lines give way, and the panel's thread never held.
#include "record_disk.h"
#include "record_file.h"
#include "record_writer.h"
#include "trace_reader.h"
#include "traffic_trace.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// The real disk, with room for only so many more bytes, a sync that fails,
// a log of the calls that change the file, and a gate that holds writes.
class TestDisk : public RecordDisk
{
public:
    qint64 write(int handle, const char *data, qint64 length, int &error) override
    {
        note("write");
        entered.release();
        gate.acquire();
        gate.release();
        qint64 room = length;
        {
            QMutexLocker lock(&mutex);
            if (free >= 0)
                room = qMin(free, length);
            if (free >= 0)
                free -= room;
        }
        const qint64 done = RecordDisk::write(handle, data, room, error);
        if (done == room && room < length)
            error = fullError.load();
        return done;
    }
    bool sync(int handle, int &error) override
    {
        note("sync");
        if (syncFails) {
            error = EIO;
            return false;
        }
        return RecordDisk::sync(handle, error);
    }
    bool truncate(int handle, qint64 length, int &error) override
    {
        note("truncate");
        return RecordDisk::truncate(handle, length, error);
    }
    void setFree(qint64 bytes)
    {
        QMutexLocker lock(&mutex);
        free = bytes;
    }
    QStringList calls()
    {
        QMutexLocker lock(&mutex);
        return log;
    }

    QSemaphore gate{1};    // take it to hold writes, release it to let them go
    QSemaphore entered{0}; // one per write begun
    bool syncFails = false;
    std::atomic<int> fullError{ENOSPC}; // what a write past the free bytes fails with

private:
    void note(const QString &call)
    {
        QMutexLocker lock(&mutex);
        log << call;
    }
    QMutex mutex;
    QStringList log;
    qint64 free = -1; // unlimited
};

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void putFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QByteArray kHeader = "time,value\r\n";

QByteArray gapLine(const QByteArray &, qint64 lost)
{
    return "gap " + QByteArray::number(lost) + "\n";
}

} // namespace

class RecordWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void unitsAreWholeOrAbsent_data();
    void unitsAreWholeOrAbsent();
    void onlyRegularFilesAreOpened_data();
    void onlyRegularFilesAreOpened();
    void everyRowIsSyncedBeforeTheNext();
    void failureIsShownAndMended_data();
    void failureIsShownAndMended();
    void hungDiskDropsOldestTraceLinesKeepsRows();
    void finishIsBoundedAndNamesWhatIsLeft();
};

void RecordWriterTest::unitsAreWholeOrAbsent_data()
{
    QTest::addColumn<QByteArray>("before"); // the file before, "" for none
    QTest::addColumn<bool>("results");      // the results file's options, else the trace's
    QTest::addColumn<QList<QByteArray>>("units");
    QTest::addColumn<qint64>("room");      // bytes the disk takes, -1 for any
    QTest::addColumn<bool>("syncFails");   //
    QTest::addColumn<int>("whole");        // units written
    QTest::addColumn<QByteArray>("after"); // the file after
    QTest::addColumn<QByteArray>("next");  // the file after one more unit, room made

    const QByteArray rows = kHeader + "1,a\r\n";
    QTest::newRow("row crossing the last free block leaves the file as it was")
        << rows << true << QList<QByteArray>{"2,b\r\n"} << qint64(2) << false << 0 << rows
        << rows + "3,c\r\n";
    QTest::newRow("row whose sync fails is taken back")
        << rows << true << QList<QByteArray>{"2,b\r\n"} << qint64(-1) << true << 0 << rows
        << rows + "3,c\r\n";
    QTest::newRow("header and first row go together or not at all")
        << QByteArray() << true << QList<QByteArray>{"1,a\r\n"} << qint64(14) << false << 0
        << QByteArray() << kHeader + "3,c\r\n";
    QTest::newRow("file left inside a row gets a line end first")
        << kHeader + "1,a\r\n2," << true << QList<QByteArray>{"3,c\r\n"} << qint64(-1) << false << 1
        << kHeader + "1,a\r\n2,\r\n3,c\r\n"
        << kHeader + "1,a\r\n2,\r\n3,c\r\n3,c\r\n";
    const QList<QByteArray> lines{"10 A x\n", "20 A y\n", "30 A z\n"};
    QTest::newRow("trace lines kept up to the last whole one, never emptied on reopening")
        << QByteArray() << false << lines << qint64(9) << false << 1 << QByteArray("10 A x\n")
        << QByteArray("10 A x\n3,c\r\n");
    QTest::newRow("trace emptied at its first open, not after a failed write")
        << QByteArray("old\n") << false << lines << qint64(10) << false << 1
        << QByteArray("10 A x\n") << QByteArray("10 A x\n3,c\r\n");
    QTest::newRow("disk full exactly at a line end keeps that line")
        << QByteArray() << false << lines << qint64(14) << false << 2
        << QByteArray("10 A x\n20 A y\n") << QByteArray("10 A x\n20 A y\n3,c\r\n");
}

void RecordWriterTest::unitsAreWholeOrAbsent()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, results);
    QFETCH(QList<QByteArray>, units);
    QFETCH(qint64, room);
    QFETCH(bool, syncFails);
    QFETCH(int, whole);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, next);
    QTemporaryDir dir;
    const QString path = dir.filePath("record");
    if (!before.isEmpty())
        putFile(path, before);
    TestDisk disk;
    disk.setFree(room);
    disk.syncFails = syncFails;
    RecordFile::Options options;
    options.header = results ? kHeader : QByteArray();
    options.lineEnd = results ? "\r\n" : "\n";
    options.syncEach = results;
    options.keepOpen = !results;
    options.empty = !results; // as the writer sets up the trace
    RecordFile file(disk, path, options);

    Failure why;
    QCOMPARE(file.append(units, &why), whole);
    QCOMPARE(contents(path), after);
    if (whole < units.size()) {
        QCOMPARE(why.text, QDir::toNativeSeparators(path) + ": " +
                               RecordDisk::reason(syncFails ? EIO : ENOSPC));
        QCOMPARE(why.kind, syncFails ? Failure::Kind::Io : Failure::Kind::NoSpace);
    }
    disk.setFree(-1);
    disk.syncFails = false;
    QCOMPARE(file.append({"3,c\r\n"}, &why), 1);
    QCOMPARE(contents(path), next);
}

void RecordWriterTest::onlyRegularFilesAreOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("keepOpen");
    QTest::addColumn<QString>("reason");
    QTest::newRow("directory") << "directory" << false << QStringLiteral("it is a folder");
    QTest::newRow("device") << "device" << false << QStringLiteral("it is a device, not a file");
#ifdef Q_OS_UNIX
    const QString fifo = QStringLiteral("it is a FIFO, not a file");
    QTest::newRow("FIFO nobody reads") << "fifo" << false << fifo;
    QTest::newRow("FIFO swapped in after a row") << "swapped fifo" << false << fifo;
    QTest::newRow("link to a FIFO") << "link to fifo" << true << fifo;
#endif
}

void RecordWriterTest::onlyRegularFilesAreOpened()
{
    QFETCH(QString, kind);
    QFETCH(bool, keepOpen);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = dir.filePath("record");
    RecordDisk disk;
    RecordFile::Options options;
    options.keepOpen = keepOpen;
    options.lineEnd = "\n";
    if (kind == "device") {
        if (!QFile::exists(QStringLiteral("/dev/null")))
            QSKIP("no /dev/null here");
        path = QStringLiteral("/dev/null");
    }
    std::unique_ptr<RecordFile> file = std::make_unique<RecordFile>(disk, path, options);
    Failure why;
    if (kind == "directory")
        QVERIFY(QDir(dir.path()).mkdir("record"));
#ifdef Q_OS_UNIX
    if (kind == "swapped fifo")
        QCOMPARE(file->append({"1 A x\n"}, &why), 1);
    if (kind.endsWith("fifo")) {
        QFile::remove(path);
        const QString fifo = kind == "link to fifo" ? dir.filePath("fifo") : path;
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        if (fifo != path)
            QVERIFY(QFile::link(fifo, path));
    }
#endif
    QCOMPARE(file->append({"2 A y\n"}, &why), 0); // at once, never waiting for a reader
    QCOMPARE(why.text, QDir::toNativeSeparators(path) + ": " + reason);
    QCOMPARE(why.kind, Failure::Kind::Refused);
}

void RecordWriterTest::everyRowIsSyncedBeforeTheNext()
{
    QTemporaryDir dir;
    auto disk = std::make_shared<TestDisk>();
    RecordWriter writer(disk, RecordWriter::Limits(), nullptr);
    writer.setResultsFile(dir.filePath("results.csv"), kHeader);
    writer.start();
    for (const QByteArray row : {"1,a\r\n", "2,b\r\n", "3,c\r\n"})
        writer.addRow(row);
    QVERIFY(writer.waitWritten(5000));
    QCOMPARE(disk->calls().join(QLatin1Char(' ')),
             QStringLiteral("write sync write sync write sync"));
    QCOMPARE(contents(dir.filePath("results.csv")), kHeader + "1,a\r\n2,b\r\n3,c\r\n");
}

void RecordWriterTest::failureIsShownAndMended_data()
{
    QTest::addColumn<bool>("trace");
    QTest::addColumn<QByteArray>("mended"); // the file once the disk has room again
    QTest::addColumn<bool>("causeChanges"); // a second line meets the file size limit
    QTest::newRow("results: the row is kept and goes in first")
        << false << kHeader + "1,a\r\n2,b\r\n"
        << false;
    QTest::newRow("trace: the lost line is counted before the next")
        << true << QByteArray("gap 1\n2,b\r\n") << false;
    QTest::newRow("trace: disk full, then the size limit: told again with its cause")
        << true << QByteArray("gap 2\n2,b\r\n") << true;
}

void RecordWriterTest::failureIsShownAndMended()
{
    QFETCH(bool, trace);
    QFETCH(QByteArray, mended);
    QFETCH(bool, causeChanges);
    QTemporaryDir dir;
    const QString path = dir.filePath("record");
    auto disk = std::make_shared<TestDisk>();
    disk->setFree(2);
    RecordWriter writer(disk, RecordWriter::Limits(), nullptr);
    QSignalSpy failed(&writer, &RecordWriter::failed);
    QSignalSpy mendedSpy(&writer, &RecordWriter::mended);
    const auto add = [&](const QByteArray &record) {
        trace ? writer.addTraceLine(record) : writer.addRow(record);
    };
    if (trace)
        writer.setTraceFile(path, gapLine);
    else
        writer.setResultsFile(path, kHeader);
    writer.start();

    add("1,a\r\n");
    QTRY_COMPARE(failed.size(), 1);
    const auto source = trace ? RecordWriter::Source::Trace : RecordWriter::Source::Results;
    QCOMPARE(failed.at(0).at(0).value<RecordWriter::Source>(), source);
    QVERIFY2(failed.at(0).at(1).toString().contains(QDir::toNativeSeparators(path) + ": " +
                                                    RecordDisk::reason(ENOSPC)),
             qPrintable(failed.at(0).at(1).toString()));
    QCOMPARE(contents(path), QByteArray());
    QCOMPARE(writer.rowsWaiting(), trace ? 0 : 1);
    if (causeChanges) {
        disk->fullError = EFBIG;
        add("1,b\r\n");
        QTRY_COMPARE(failed.size(), 2);
        QVERIFY2(failed.at(1).at(1).toString().contains(QDir::toNativeSeparators(path) + ": " +
                                                        RecordDisk::reason(EFBIG)),
                 qPrintable(failed.at(1).at(1).toString()));
    }

    disk->setFree(-1);
    add("2,b\r\n");
    QVERIFY(writer.waitWritten(5000));
    QCOMPARE(contents(path), mended);
    QTRY_COMPARE(mendedSpy.size(), 1);
    QCOMPARE(mendedSpy.at(0).at(0).value<RecordWriter::Source>(), source);
    QCOMPARE(failed.size(), causeChanges ? 2 : 1);
}

void RecordWriterTest::hungDiskDropsOldestTraceLinesKeepsRows()
{
    QTemporaryDir dir;
    auto disk = std::make_shared<TestDisk>();
    RecordWriter::Limits limits;
    limits.traceLines = 5;
    RecordWriter writer(disk, limits, nullptr);
    QSignalSpy failed(&writer, &RecordWriter::failed);
    QSignalSpy mended(&writer, &RecordWriter::mended);
    writer.setTraceFile(dir.filePath("trace.txt"), &TrafficTrace::lostLine);
    writer.setResultsFile(dir.filePath("results.csv"), kHeader);
    writer.start();
    const auto traceLine = [](int ms) {
        return QByteArray::number(ms) + " COM1 received <STX>085<CR>\n";
    };

    disk->gate.acquire(); // the disk hangs
    writer.addTraceLine(traceLine(0));
    QVERIFY(disk->entered.tryAcquire(1, 5000));
    QElapsedTimer clock;
    clock.start();
    QByteArray rows;
    for (int i = 1; i <= 20; ++i) {
        writer.addTraceLine(traceLine(i));
        if (i % 5 == 0) {
            rows += QByteArray::number(i) + ",r\r\n";
            writer.addRow(QByteArray::number(i) + ",r\r\n");
        }
    }
    QVERIFY2(clock.elapsed() < 100, "handing over waited for the disk");
    QCOMPARE(writer.rowsWaiting(), 4);
    QTRY_VERIFY(!failed.isEmpty());
    QCOMPARE(failed.at(0).at(0).value<RecordWriter::Source>(), RecordWriter::Source::Backlog);
    QVERIFY(failed.last().at(1).toString().contains("4 result(s) kept in memory"));

    disk->gate.release();
    QVERIFY(writer.waitWritten(5000));
    QFile trace(dir.filePath("trace.txt"));
    QVERIFY(trace.open(QIODevice::ReadOnly));
    QStringList read; // as the curve tool reads the trace back
    for (const TrafficEntry &entry : TraceReader::read(trace))
        read << QStringLiteral("%1 %2 %3").arg(entry.ms).arg(entry.port, entry.kind);
    QCOMPARE(read, (QStringList{"0 COM1 received", "16 COM1 dropped 15 trace lines",
                                "16 COM1 received", "17 COM1 received", "18 COM1 received",
                                "19 COM1 received", "20 COM1 received"}));
    QCOMPARE(contents(dir.filePath("results.csv")), kHeader + rows);
    QCOMPARE(writer.traceLinesLost(), 15);
    QTRY_COMPARE(mended.size(), 1);
    QCOMPARE(mended.at(0).at(0).value<RecordWriter::Source>(), RecordWriter::Source::Backlog);
}

void RecordWriterTest::finishIsBoundedAndNamesWhatIsLeft()
{
    QTemporaryDir dir;
    auto disk = std::make_shared<TestDisk>();
    QStringList left;
    {
        RecordWriter writer(disk, RecordWriter::Limits(), nullptr);
        writer.setResultsFile(dir.filePath("results.csv"), kHeader);
        writer.start();
        disk->gate.acquire();
        writer.addRow("1,a\r\n");
        QVERIFY(disk->entered.tryAcquire(1, 5000));
        writer.addRow("2,b\r\n");
        QElapsedTimer clock;
        clock.start();
        left = writer.finish(300);
        QVERIFY(clock.elapsed() < 2000);
    }
    QCOMPARE(left, (QStringList{"the disk did not finish the record within 300 ms",
                                "2 result(s) not written to " +
                                    QDir::toNativeSeparators(dir.filePath("results.csv")) + ":",
                                "1,a", "2,b"}));
    disk->gate.release(); // the abandoned thread ends its write and returns
}

QTEST_GUILESS_MAIN(RecordWriterTest)
#include "record_writer_test.moc"
