// SPDX-License-Identifier: MIT
// The record never holds back the board: a bench core with the real window
// on it (the real serial port class, a simulated board behind a
// pseudo-terminal) whose disk stops answering for seconds still sends START
// and Break the moment they are clicked, and every result row is in the file
// once the disk answers again.
#include "bench_core.h"
#include "main_window.h"
#include "port_map.h"
#include "port_table.h"
#include "pty_rig.h"
#include "qt_serial_port.h"
#include "record_disk.h"
#include "simulated_boards.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Mode = SimulatedBoard::Mode;

namespace {

// The real disk, whose writes wait while the test holds the gate.
class HangingDisk : public RecordDisk
{
public:
    qint64 write(int handle, const char *data, qint64 length, int &error) override
    {
        entered.release();
        gate.acquire();
        gate.release();
        return RecordDisk::write(handle, data, length, error);
    }
    QSemaphore gate{1};
    QSemaphore entered{0};
};

// One tick of the panel's interpretation.
constexpr qint64 kTickMs = 150;

} // namespace

class RecordOverPtyTest : public QObject
{
    Q_OBJECT

private slots:
    void hungDiskHoldsBackNeitherStartNorBreak();
};

void RecordOverPtyTest::hungDiskHoldsBackNeitherStartNorBreak()
{
    QTemporaryDir dir;
    const QString resultsPath = dir.filePath("results.csv");
    SimulatedBoards boards({1});
    QVERIFY(boards.isValid());
    boards.setTimeScale(20.0);
    SimulatedBoard &board = boards.board(1);
    auto disk = std::make_shared<HangingDisk>();
    BenchCore core(disk);
    Failure why;
    QVERIFY2(core.openTrace(dir.filePath("trace.txt"), &why), qPrintable(why.text));
    core.start(std::make_unique<QtSerialPort>(PortTable(boards.devicePaths())), PortMap(),
               resultsPath);
    MainWindow window(core);
    QSignalSpy ends(&window.panel(), &BoardPanel::measurementEnded);
    QSignalSpy notices(&core.panel().state(), &BoardState::failureChanged);
    QElapsedTimer clock;
    clock.start();
    QHash<QString, qint64> arrived; // command text -> when the board had it
    connect(&board, &SimulatedBoard::commandReceived, this,
            [&](const QString &text) { arrived.insert(text, clock.elapsed()); });
    window.show();
    boards.start();
    QVERIFY(PtyRig::waitFor([&] { return board.commands().size() >= 4; }, 15000, 2));

    disk->gate.acquire(); // the disk stops answering
    QVERIFY(PtyRig::waitFor([&] { return disk->entered.tryAcquire(); }, 15000, 2));
    const qint64 hungAt = clock.elapsed();
    const auto click = [&](const char *button, const char *command) {
        arrived.remove(QLatin1String(command));
        const qint64 at = clock.elapsed();
        QTest::mouseClick(window.findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
        QVERIFY(PtyRig::waitFor([&] { return arrived.contains(QLatin1String(command)); }, 5000, 1));
        QVERIFY2(arrived.value(QLatin1String(command)) - at < kTickMs,
                 qPrintable(QStringLiteral("%1 took %2 ms")
                                .arg(QLatin1String(command))
                                .arg(arrived.value(QLatin1String(command)) - at)));
    };
    click("StartStop", "01;;D7");
    QVERIFY(PtyRig::waitFor([&] { return ends.size() == 1; }, 20000, 2));
    PtyRig::run(1200); // long enough to count as a disk that does not keep up
    click("StartStop", "01;;D7");
    QVERIFY(PtyRig::waitFor([&] { return board.mode() == Mode::Measuring; }, 5000, 2));
    click("Break", "X");
    QVERIFY(PtyRig::waitFor([&] { return board.mode() != Mode::Measuring; }, 5000, 2));
    click("StartStop", "01;;D7");
    QVERIFY(PtyRig::waitFor([&] { return ends.size() == 2; }, 20000, 2));
    PtyRig::run(int(qMax<qint64>(0, 3000 - (clock.elapsed() - hungAt))));
    QVERIFY(clock.elapsed() - hungAt >= 3000);
    QCOMPARE(core.record().rowsWritten(), 0);
    QVERIFY(!notices.isEmpty());
    QVERIFY2(notices.last().at(0).toString().contains("The disk does not keep up"),
             qPrintable(notices.last().at(0).toString()));
    QCOMPARE(core.panel().state().failureNotice(), notices.last().at(0).toString());

    disk->gate.release();
    QVERIFY(core.record().waitWritten(10000));
    QFile file(resultsPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    QCOMPARE(rows.size(), 1 + 2 + 1); // the header, the two ends, nothing after the last CRLF
    QCOMPARE(core.record().rowsWritten(), 2);
    QTRY_COMPARE(core.panel().state().failureNotice(), QString());
    boards.stop();
}

QTEST_MAIN(RecordOverPtyTest)
#include "record_over_pty_test.moc"
