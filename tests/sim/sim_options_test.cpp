// SPDX-License-Identifier: MIT
// tarnvik-sim's command line: every bench-check option refused out of range
// or without the option it belongs to (exit 2, the option named), and taken
// on its bounds, as the start-up message shows and, for silence, as the
// board's pseudo-terminal shows: a status request answered or not.
#include <QProcess>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 10000;

// Writes a status request to the board's terminal and collects what comes
// back within ms milliseconds.
QByteArray askStatus(const QString &device, int ms)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return "cannot open";
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    const QByteArray request("\x02"
                             "18;;DF\x03");
    QByteArray answer;
    if (::write(fd, request.constData(), size_t(request.size())) == request.size()) {
        QElapsedTimer clock;
        clock.start();
        pollfd p{fd, POLLIN, 0};
        while (clock.elapsed() < ms && !answer.endsWith('\r')) {
            char buffer[64];
            if (::poll(&p, 1, 50) > 0) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0)
                    answer.append(buffer, n);
            }
        }
    }
    ::close(fd);
    return answer;
}

} // namespace

class SimOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void refusesOptionsOutOfRange_data();
    void refusesOptionsOutOfRange();
    void takesOptionsOnTheirBounds_data();
    void takesOptionsOnTheirBounds();
};

void SimOptionsTest::refusesOptionsOutOfRange_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");

    QTest::newRow("leak hold 0") << QStringList{"--leak-hold", "0"} << "--leak-hold";
    QTest::newRow("leak hold 999, the end value")
        << QStringList{"--leak-hold", "999"} << "--leak-hold";
    QTest::newRow("leak hold not whole") << QStringList{"--leak-hold", "250.5"} << "--leak-hold";
    QTest::newRow("overshoot above 100")
        << QStringList{"--leak-overshoot", "100.5"} << "--leak-overshoot";
    QTest::newRow("negative overshoot")
        << QStringList{"--leak-overshoot", "-1"} << "--leak-overshoot";
    QTest::newRow("overshoot seconds under 0.25")
        << QStringList{"--leak-overshoot", "3", "--overshoot-seconds", "0.2"}
        << "--overshoot-seconds";
    QTest::newRow("overshoot seconds without an overshoot")
        << QStringList{"--overshoot-seconds", "3"} << "needs --leak-overshoot";
    QTest::newRow("a hold's seconds under 0.25")
        << QStringList{"--manometer-holds", "250:0.2"} << "--manometer-holds";
    QTest::newRow("a hold with two colons")
        << QStringList{"--manometer-holds", "250:1:2"} << "--manometer-holds";
    QTest::newRow("a hold at 999")
        << QStringList{"--manometer-holds", "200,999:5"} << "--manometer-holds";
    QTest::newRow("hold seconds without holds")
        << QStringList{"--hold-seconds", "3"} << "needs --manometer-holds";
    QTest::newRow("stall under one step")
        << QStringList{"--stall-seconds", "0.2"} << "--stall-seconds";
    QTest::newRow("silent after -1 s") << QStringList{"--silent-after", "-1"} << "--silent-after";
}

void SimOptionsTest::refusesOptionsOutOfRange()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);

    QProcess sim;
    sim.start(QStringLiteral(TARNVIK_SIM), args);
    QVERIFY(sim.waitForFinished(kTimeoutMs));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardOutput().isEmpty());
    const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
}

void SimOptionsTest::takesOptionsOnTheirBounds_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("described");
    QTest::addColumn<bool>("answers");

    QTest::newRow("leak hold 1") << QStringList{"--leak-hold", "1"} << "leak hold 1 mmHg" << true;
    QTest::newRow("leak hold 998, overshoot 100 over 600 s")
        << QStringList{"--leak-hold",         "998", "--leak-overshoot", "100",
                       "--overshoot-seconds", "600"}
        << "leak hold 998 mmHg, leak overshoot 100 mmHg over 600 s" << true;
    QTest::newRow("holds with their own seconds and the default")
        << QStringList{"--manometer-holds", "250:0.25,200", "--hold-seconds", "3"}
        << "manometer holds 250 for 0.25 s, 200 for 3 s" << true;
    QTest::newRow("stall 181 s") << QStringList{"--stall-seconds", "181"}
                                 << "deflation stalls: inflated 181 s" << true;
    QTest::newRow("silent after 0 s: no answer")
        << QStringList{"--silent-after", "0"} << "silent after 0 s" << false;
    QTest::newRow("silent after an hour: answers now")
        << QStringList{"--silent-after", "3600"} << "silent after 3600 s" << true;
}

void SimOptionsTest::takesOptionsOnTheirBounds()
{
    QFETCH(QStringList, args);
    QFETCH(QString, described);
    QFETCH(bool, answers);

    QProcess sim;
    sim.start(QStringLiteral(TARNVIK_SIM), args + QStringList{"--seed", "1"});
    QVERIFY(sim.waitForStarted(kTimeoutMs));
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), kTimeoutMs);
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(device.startsWith(QLatin1String("/dev/pts/")), qPrintable(device));
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += sim.readAllStandardError()).contains('\n'), kTimeoutMs);
    QVERIFY2(QString::fromLocal8Bit(err).contains(described), err.constData());

    const QByteArray answer = askStatus(device, answers ? kTimeoutMs : 1000);
    if (answers)
        QCOMPARE(answer, QByteArray("\x02"
                                    "000 I A 160 00\r"));
    else
        QCOMPARE(answer, QByteArray());
    sim.kill();
    QVERIFY(sim.waitForFinished(kTimeoutMs));
}

QTEST_GUILESS_MAIN(SimOptionsTest)
#include "sim_options_test.moc"
