// SPDX-License-Identifier: MIT
// The simulated board on its own, stepped by hand: which frames it takes, the
// lines it sends in each mode, the fields of its result and status lines, its
// failures, its cycle timer and its repeatability, and the set points and
// faults that bench checks are tried against.
#include "command_frame.h"
#include "command_set.h"
#include "simulated_board.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <numeric>

using Mode = SimulatedBoard::Mode;
Q_DECLARE_METATYPE(SimulatedBoard::SetPoint)

namespace {

QByteArray frame(const char *text)
{
    return CommandFrame::build(QString::fromLatin1(text));
}

// Steps until the board is idle with an empty cuff; false after maxSteps.
bool runUntilIdle(SimulatedBoard &board, int maxSteps = 2000)
{
    for (int i = 0; i < maxSteps; ++i) {
        board.step();
        if (board.mode() == Mode::Idle && board.pressure() == 0)
            return true;
    }
    return false;
}

QList<int> pressures(const QStringList &lines)
{
    QList<int> values;
    for (const QString &line : lines)
        values << line.toInt();
    return values;
}

double mean(const QList<int> &values)
{
    return std::accumulate(values.begin(), values.end(), 0.0) / values.size();
}

// The least-squares fall of lines one step apart, mmHg a minute.
double fallPerMinute(const QList<int> &values)
{
    const double n = values.size();
    const double meanX = (n - 1) / 2.0;
    const double meanY = mean(values);
    double sxy = 0;
    double sxx = 0;
    for (int i = 0; i < values.size(); ++i) {
        sxy += (i - meanX) * (values.at(i) - meanY);
        sxx += (i - meanX) * (i - meanX);
    }
    return -sxy / sxx * SimulatedBoard::kTicksPerMinute;
}

double sampleSd(const QList<int> &values)
{
    const double m = mean(values);
    double sum = 0;
    for (const int v : values)
        sum += (v - m) * (v - m);
    return std::sqrt(sum / (values.size() - 1));
}

const QRegularExpression kPressureLine(QStringLiteral("^\\d{3}$"));
const QRegularExpression
    kStatusLine(QStringLiteral("^(\\d{3}) ([IMNL]) ([AN]) (\\d{3}) (\\d{2})$"));

} // namespace

class SimulatedBoardTest : public QObject
{
    Q_OBJECT

private slots:
    void settingCommandsReachTheBoard_data();
    void settingCommandsReachTheBoard();
    void onlySoundKnownFramesAreTaken_data();
    void onlySoundKnownFramesAreTaken();
    void measurementEndsWithAResultLine_data();
    void measurementEndsWithAResultLine();
    void failureRateDecidesTheEndValue_data();
    void failureRateDecidesTheEndValue();
    void statusLineDescribesTheBoard_data();
    void statusLineDescribesTheBoard();
    void manometerStreamsUntilBreak();
    void manometerHoldsEachPressure_data();
    void manometerHoldsEachPressure();
    void manometerHoldsWhatTheOperatorIsAskedFor_data();
    void manometerHoldsWhatTheOperatorIsAskedFor();
    void leakTestHoldsAndDecaysUntilBreak_data();
    void leakTestHoldsAndDecaysUntilBreak();
    void setPointGivesResultsAroundIt_data();
    void setPointGivesResultsAroundIt();
    void deflationStallKeepsTheCuffInflated_data();
    void deflationStallKeepsTheCuffInflated();
    void silentBoardAnswersNothing_data();
    void silentBoardAnswersNothing();
    void settingsKeepTheDraws_data();
    void settingsKeepTheDraws();
    void busyBoardKeepsItsMode_data();
    void busyBoardKeepsItsMode();
    void cycleTimeStartsMeasurements_data();
    void cycleTimeStartsMeasurements();
    void seedMakesRunsRepeatable();
    void clockRunsAtTheTimeScale();
};

void SimulatedBoardTest::settingCommandsReachTheBoard_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("patient");
    QTest::addColumn<int>("pumpUp");
    QTest::addColumn<int>("cycle");

    const char *cycles[] = {"03;;D9", "04;;DA", "05;;DB", "06;;DC", "07;;DD",
                            "08;;DE", "09;;DF", "10;;D7", "11;;D8"};
    const int minutes[] = {0, 1, 2, 3, 4, 5, 10, 15, 30};
    for (int i = 0; i < 9; ++i)
        QTest::addRow("cycle %s", cycles[i]) << cycles[i] << "A" << 160 << minutes[i];
    const char *pumps[] = {"19;;E0", "20;;D8", "21;;D9", "22;;DA", "23;;DB"};
    for (int i = 0; i < 5; ++i)
        QTest::addRow("pump-up %s", pumps[i]) << pumps[i] << "A" << 100 + 20 * i << 0;
    QTest::newRow("neonate") << "25;;DD"
                             << "N" << 160 << 0;
    QTest::newRow("adult") << "24;;DC"
                           << "A" << 160 << 0;
}

// Every setting shows in the status line that answers "18;;DF".
void SimulatedBoardTest::settingCommandsReachTheBoard()
{
    QFETCH(QString, text);
    QFETCH(QString, patient);
    QFETCH(int, pumpUp);
    QFETCH(int, cycle);

    SimulatedBoard board;
    if (text == QLatin1String("24;;DC"))
        board.receive(frame("25;;DD"), 4);
    board.receive(CommandFrame::build(text) + frame("18;;DF"), 4);

    QCOMPARE(board.commands().last(), (SimulatedBoard::Command{QStringLiteral("18;;DF"), 4}));
    QVERIFY(board.commandTexts().contains(text));
    QCOMPARE(board.ignoredFrames().size(), 0);
    QCOMPARE(board.sentLines(), QStringList{QStringLiteral("000 I %1 %2 %3")
                                                .arg(patient)
                                                .arg(pumpUp, 3, 10, QLatin1Char('0'))
                                                .arg(cycle, 2, 10, QLatin1Char('0'))});
}

void SimulatedBoardTest::onlySoundKnownFramesAreTaken_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QStringList>("ignored");

    const QByteArray stx("\x02");
    const QByteArray etx("\x03");
    QTest::newRow("whole command set") << QList<QByteArray>{[] {
        QByteArray all;
        for (const char *text : CommandSet::kAll)
            all += frame(text);
        return all;
    }()} <<
        [] {
            QStringList all;
            for (const char *text : CommandSet::kAll)
                all << QString::fromLatin1(text);
            return all;
        }() << QStringList{};
    QTest::newRow("wrong checksum")
        << QList<QByteArray>{frame("01;;D8")} << QStringList{} << QStringList{"01;;D8"};
    QTest::newRow("lower-case checksum")
        << QList<QByteArray>{frame("17;;de")} << QStringList{} << QStringList{"17;;de"};
    QTest::newRow("sound but unknown code")
        << QList<QByteArray>{frame("02;;D8") + frame("99;;E8") + frame("12;;D9")} << QStringList{}
        << QStringList{"02;;D8", "99;;E8", "12;;D9"};
    QTest::newRow("empty, lower-case x, XX")
        << QList<QByteArray>{stx + etx + frame("x") + frame("XX")} << QStringList{}
        << QStringList{"", "x", "XX"};
    QTest::newRow("noise around frames")
        << QList<QByteArray>{"\r\nnoise" + frame("14;;DB") + "\x03\xff junk" + frame("X") + "\r"}
        << QStringList{"14;;DB", "X"} << QStringList{};
    QTest::newRow("frame cut short by the next STX")
        << QList<QByteArray>{stx + "01;;" + frame("18;;DF")} << QStringList{"18;;DF"}
        << QStringList{};
    QTest::newRow("overlong frame dropped as noise")
        << QList<QByteArray>{stx + QByteArray(40, '1') + etx + frame("18;;DF")}
        << QStringList{"18;;DF"} << QStringList{};
    QTest::newRow("frame split at every byte")
        << QList<QByteArray>{stx, "2", "5", ";", ";", "D", "D", etx} << QStringList{"25;;DD"}
        << QStringList{};
    QTest::newRow("ETX without STX")
        << QList<QByteArray>{"01;;D7" + etx} << QStringList{} << QStringList{};
}

void SimulatedBoardTest::onlySoundKnownFramesAreTaken()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, taken);
    QFETCH(QStringList, ignored);

    SimulatedBoard board;
    QSignalSpy received(&board, &SimulatedBoard::commandReceived);
    for (const QByteArray &chunk : chunks)
        board.receive(chunk, 2);

    QCOMPARE(board.commandTexts(), taken);
    QCOMPARE(received.size(), taken.size());
    QStringList ignoredTexts;
    for (const SimulatedBoard::Command &command : board.ignoredFrames()) {
        QCOMPARE(command.port, 2);
        ignoredTexts << command.text;
    }
    QCOMPARE(ignoredTexts, ignored);
}

void SimulatedBoardTest::measurementEndsWithAResultLine_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<int>("lowestPeak");
    QTest::addColumn<int>("highestPeak");
    QTest::addColumn<int>("pulseFloor");
    QTest::addColumn<int>("overPressure"); // 0: no fault

    QTest::newRow("adult at 160") << QByteArray() << 160 << 280 << 55 << 0;
    QTest::newRow("adult at 100, pumps on") << frame("19;;E0") << 140 << 280 << 55 << 0;
    QTest::newRow("neonate at 160") << frame("25;;DD") << 120 << 150 << 110 << 0;
    QTest::newRow("neonate at 100") << frame("25;;DD") + frame("19;;E0") << 60 << 150 << 110 << 0;
    QTest::newRow("adult over-pressure to 320") << QByteArray() << 320 << 320 << 55 << 320;
    QTest::newRow("neonate over-pressure to 170") << frame("25;;DD") << 170 << 170 << 110 << 170;
    QTest::newRow("over-pressure to 998, never 999") << QByteArray() << 998 << 998 << 55 << 998;
    QTest::newRow("over-pressure peak below the pump-up changes nothing")
        << QByteArray() << 160 << 280 << 55 << 150;
}

void SimulatedBoardTest::measurementEndsWithAResultLine()
{
    QFETCH(QByteArray, setup);
    QFETCH(int, lowestPeak);
    QFETCH(int, highestPeak);
    QFETCH(int, pulseFloor);
    QFETCH(int, overPressure);

    for (quint32 seed = 1; seed <= 20; ++seed) {
        SimulatedBoard board;
        board.setSeed(seed);
        board.setFailureRate(0.0);
        if (overPressure > 0)
            board.setOverPressurePeak(overPressure);
        board.receive(setup + frame("01;;D7"));
        QCOMPARE(board.mode(), Mode::Measuring);
        QVERIFY(runUntilIdle(board));

        const QStringList lines = board.sentLines();
        const QString result = lines.last();
        const QStringList pressureLines = lines.mid(0, lines.size() - 1);
        // One pressure line per step, from the first step to the last.
        QCOMPARE(qint64(pressureLines.size()), board.elapsedSteps());
        for (const QString &line : pressureLines)
            QVERIFY2(kPressureLine.match(line).hasMatch(), qPrintable(line));
        const QList<int> values = pressures(pressureLines);
        const auto peak = std::max_element(values.begin(), values.end());
        QVERIFY2(*peak >= lowestPeak && *peak <= highestPeak, qPrintable(QString::number(*peak)));
        QVERIFY(std::is_sorted(values.begin(), peak + 1));
        QVERIFY(std::is_sorted(peak, values.end(), std::greater<int>()));
        QCOMPARE(values.last(), 0);

        // The fields sit where the program takes them (payload positions 1,
        // 16..18, 19..21, 22..24, 27..29).
        const std::optional<SimulatedBoard::Result> r = board.lastResult();
        QVERIFY(r.has_value());
        QCOMPARE(result.size(), 29);
        QCOMPARE(result.at(0), QLatin1Char('S'));
        QCOMPARE(result.mid(8, 3).toInt(), *peak);
        QCOMPARE(result.mid(15, 3).toInt(), r->systolic);
        QCOMPARE(result.mid(18, 3).toInt(), r->diastolic);
        QCOMPARE(result.mid(21, 3).toInt(), r->mean);
        QCOMPARE(result.mid(26, 3).toInt(), r->pulse);
        QVERIFY(r->systolic < *peak);
        QVERIFY(r->diastolic < r->mean && r->mean < r->systolic);
        QVERIFY(r->pulse >= pulseFloor);
        QVERIFY(!board.lastMeasurementFailed());

        // Done: the result stays the last line.
        board.advance(50);
        QCOMPARE(board.sentLines().size(), lines.size());
    }
}

void SimulatedBoardTest::failureRateDecidesTheEndValue_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("minFailed");
    QTest::addColumn<int>("maxFailed");

    QTest::newRow("never") << 0.0 << 0 << 0;
    QTest::newRow("always") << 1.0 << 40 << 40;
    QTest::newRow("half") << 0.5 << 8 << 32;
}

// A failed measurement sends "999" as its last line, goes quiet with an empty
// cuff, and the status line that the program then asks for is not "999".
void SimulatedBoardTest::failureRateDecidesTheEndValue()
{
    QFETCH(double, rate);
    QFETCH(int, minFailed);
    QFETCH(int, maxFailed);

    SimulatedBoard board;
    board.setSeed(99);
    board.setFailureRate(rate);
    int failed = 0;
    for (int i = 0; i < 40; ++i) {
        board.clearRecord();
        board.receive(frame("01;;D7"));
        QVERIFY(runUntilIdle(board));
        const QStringList lines = board.sentLines();
        QCOMPARE(lines.count(QStringLiteral("999")), board.lastMeasurementFailed() ? 1 : 0);
        if (!board.lastMeasurementFailed()) {
            QVERIFY(lines.last().startsWith(QLatin1Char('S')));
            continue;
        }
        ++failed;
        QCOMPARE(lines.last(), QStringLiteral("999"));
        board.advance(20);
        QCOMPARE(board.sentLines().size(), lines.size());
        board.receive(frame("18;;DF"));
        QCOMPARE(board.sentLines().last(), QStringLiteral("000 I A 160 00"));
    }
    QVERIFY2(failed >= minFailed && failed <= maxFailed, qPrintable(QString::number(failed)));
}

void SimulatedBoardTest::statusLineDescribesTheBoard_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QString>("mode");

    QTest::newRow("idle") << QByteArray() << 0 << "I";
    QTest::newRow("measuring") << frame("01;;D7") << 30 << "M";
    QTest::newRow("manometer") << frame("14;;DB") << 70 << "N";
    QTest::newRow("leak test") << frame("17;;DE") << 40 << "L";
}

void SimulatedBoardTest::statusLineDescribesTheBoard()
{
    QFETCH(QByteArray, command);
    QFETCH(int, steps);
    QFETCH(QString, mode);

    SimulatedBoard board;
    board.setFailureRate(0.0);
    board.receive(command);
    board.advance(steps);
    const int pressure = board.pressure();
    board.receive(frame("18;;DF"));

    const QRegularExpressionMatch match = kStatusLine.match(board.sentLines().last());
    QVERIFY2(match.hasMatch(), qPrintable(board.sentLines().last()));
    QCOMPARE(match.captured(1).toInt(), pressure);
    QCOMPARE(match.captured(2), mode);
    QVERIFY(steps == 0 || pressure > 0);
}

void SimulatedBoardTest::manometerStreamsUntilBreak()
{
    SimulatedBoard board;
    board.receive(frame("14;;DB"));
    board.advance(180); // up to the top, down to 0, up again and down to 100
    QCOMPARE(board.mode(), Mode::Manometer);
    const QList<int> values = pressures(board.sentLines());
    QCOMPARE(values.size(), 180);
    QCOMPARE(values.count(0), 1);
    QCOMPARE(values.last(), 100);
    QCOMPARE(*std::max_element(values.begin(), values.end()), SimulatedBoard::kManometerTop);
    QVERIFY(values.last() < SimulatedBoard::kManometerTop); // on its way down again

    board.clearRecord();
    board.receive(frame("X"));
    QCOMPARE(board.mode(), Mode::Idle);
    QVERIFY(runUntilIdle(board));
    QCOMPARE(board.sentLines().last(), QStringLiteral("000"));
    const qsizetype sent = board.sentLines().size();
    board.advance(20);
    QCOMPARE(board.sentLines().size(), sent);
}

void SimulatedBoardTest::manometerHoldsEachPressure_data()
{
    QTest::addColumn<QList<double>>("holds");
    QTest::addColumn<double>("gain");
    QTest::addColumn<double>("offset");
    QTest::addColumn<QList<int>>("readings");   // the board's line at each hold
    QTest::addColumn<QList<double>>("seconds"); // each hold's; empty: 2 s each

    const QList<double> three{50, 150, 250};
    const QList<double> same;
    QTest::newRow("three holds, no gauge error")
        << three << 1.0 << 0.0 << QList<int>{50, 150, 250} << same;
    QTest::newRow("gain 1.02") << three << 1.02 << 0.0 << QList<int>{51, 153, 255} << same;
    QTest::newRow("offset -4") << three << 1.0 << -4.0 << QList<int>{46, 146, 246} << same;
    QTest::newRow("gain and offset") << three << 0.98 << 2.0 << QList<int>{51, 149, 247} << same;
    QTest::newRow("fractional hold, rounded reading")
        << QList<double>{72.5} << 1.0 << 0.4 << QList<int>{73} << same;
    QTest::newRow("descending and repeated holds")
        << QList<double>{200, 100, 100} << 1.0 << 0.0 << QList<int>{200, 100, 100} << same;
    QTest::newRow("hold at 0 with a negative offset reads 000")
        << QList<double>{0, 30} << 1.0 << -3.0 << QList<int>{0, 27} << same;
    QTest::newRow("hold past the plain ramp's top")
        << QList<double>{320} << 1.0 << 0.0 << QList<int>{320} << same;
    QTest::newRow("each hold its own time, one step the least")
        << QList<double>{250, 200, 150} << 1.0 << 0.0 << QList<int>{250, 200, 150}
        << QList<double>{5.0, 0.25, 1.5};
    QTest::newRow("a time under one step holds one step")
        << QList<double>{100, 50} << 1.0 << 0.0 << QList<int>{100, 50} << QList<double>{0.1, 0.5};
}

// Each hold is reached at the ramp speed and held for the set time, the
// board reading it with its gauge error while the applied pressure is the
// hold's; after the last the cuff goes down to 0 and the holds start over.
void SimulatedBoardTest::manometerHoldsEachPressure()
{
    QFETCH(QList<double>, holds);
    QFETCH(double, gain);
    QFETCH(double, offset);
    QFETCH(QList<int>, readings);
    QFETCH(QList<double>, seconds);

    SimulatedBoard board;
    QList<int> steps;
    if (seconds.isEmpty()) {
        board.setManometerHolds(holds, 2.0); // 8 steps each
        steps = QList<int>(holds.size(), 8);
    } else {
        QList<SimulatedBoard::ManometerHold> own;
        for (int i = 0; i < holds.size(); ++i) {
            own << SimulatedBoard::ManometerHold{holds.at(i), seconds.at(i)};
            steps << std::max(1, qRound(seconds.at(i) * 4));
        }
        board.setManometerHolds(own);
    }
    board.setGaugeError(gain, offset);
    QSignalSpy reached(&board, &SimulatedBoard::holdReached);
    board.receive(frame("14;;DB"));
    QList<QList<int>> steady(holds.size());
    double applied = board.appliedPressure();
    for (int i = 0; i < 2000 && reached.size() <= holds.size(); ++i) {
        board.step();
        QVERIFY(std::abs(board.appliedPressure() - applied) <= SimulatedBoard::kManometerStep);
        applied = board.appliedPressure();
        const int line = board.sentLines().last().toInt();
        QCOMPARE(line, board.pressure());
        if (board.isHoldSteady() && reached.size() <= holds.size()) {
            QCOMPARE(applied, holds.at(board.holdIndex()));
            steady[board.holdIndex()] << line;
        }
    }
    QCOMPARE(reached.size(), holds.size() + 1);
    for (int i = 0; i < holds.size(); ++i) {
        QCOMPARE(reached.at(i).at(0).toInt(), i);
        QCOMPARE(reached.at(i).at(1).toDouble(), holds.at(i));
        QCOMPARE(steady.at(i), QList<int>(steps.at(i), readings.at(i)));
    }
    QCOMPARE(reached.last().at(0).toInt(), 0); // over again
    for (const QString &line : board.sentLines())
        QVERIFY2(kPressureLine.match(line).hasMatch(), qPrintable(line));

    board.receive(frame("X"));
    QCOMPARE(board.holdIndex(), -1);
    QVERIFY(!board.isHoldSteady());
    QVERIFY(runUntilIdle(board));
}

void SimulatedBoardTest::manometerHoldsWhatTheOperatorIsAskedFor_data()
{
    QTest::addColumn<QList<double>>("requests");
    QTest::addColumn<double>("gain");
    QTest::addColumn<double>("offset");
    QTest::addColumn<bool>("askedFirst");    // the first request before the Manometer command
    QTest::addColumn<QList<double>>("list"); // a hold list behind the requests

    const QList<double> none;
    QTest::newRow("a plan's static points, 250 down to 0")
        << QList<double>{250, 200, 150, 100, 50, 0} << 1.0 << 0.0 << false << none;
    QTest::newRow("gauge error in the line, not in the reference")
        << QList<double>{250, 50} << 1.02 << -1.0 << false << none;
    QTest::newRow("asked before the Manometer command arrives")
        << QList<double>{150, 100} << 1.0 << 0.0 << true << none;
    QTest::newRow("a request takes the place of the hold list")
        << QList<double>{120} << 1.0 << 0.0 << false << QList<double>{50};
    QTest::newRow("fractional request, typed to 0.1 mmHg")
        << QList<double>{72.5} << 1.0 << 0.0 << false << none;
    QTest::newRow("998 with a high gauge reads 998, never 999")
        << QList<double>{998} << 1.0 << 5.0 << false << none;
}

// Each request is reached at the ramp speed and held until the next; asking
// for the same pressure again does not start its hold over; releasing the
// request gives the line back to the list or the ramp.
void SimulatedBoardTest::manometerHoldsWhatTheOperatorIsAskedFor()
{
    QFETCH(QList<double>, requests);
    QFETCH(double, gain);
    QFETCH(double, offset);
    QFETCH(bool, askedFirst);
    QFETCH(QList<double>, list);

    SimulatedBoard board;
    board.setGaugeError(gain, offset);
    board.setManometerHolds(list, 1.0);
    QSignalSpy reached(&board, &SimulatedBoard::holdReached);
    if (askedFirst)
        board.holdAt(requests.first());
    board.receive(frame("14;;DB"));
    for (int i = 0; i < requests.size(); ++i) {
        const double asked = requests.at(i);
        const double from = board.appliedPressure();
        board.holdAt(asked);
        int taken = 0;
        for (; taken < 1000 && !board.isHoldSteady(); ++taken)
            board.step();
        const double ramp = std::ceil(std::abs(asked - from) / SimulatedBoard::kManometerStep);
        QCOMPARE(taken, std::max(1, int(ramp)));
        QCOMPARE(board.appliedPressure(), asked);
        QCOMPARE(board.referenceReading(), asked);
        QCOMPARE(board.holdIndex(), -1);
        QCOMPARE(reached.size(), i + 1);
        QCOMPARE(reached.last(), (QVariantList{-1, asked}));
        board.holdAt(asked);
        board.advance(11);
        QCOMPARE(board.heldSteps(), 12);
        const int line = qRound(std::min(gain * asked + offset, 998.0));
        QCOMPARE(pressures(board.sentLines().mid(board.sentLines().size() - 12)),
                 QList<int>(12, line));
    }
    board.releaseHold();
    QVERIFY(!board.requestedHold());
    QCOMPARE(board.heldSteps(), 0);
    QCOMPARE(board.holdIndex(), list.isEmpty() ? -1 : 0);
}

void SimulatedBoardTest::leakTestHoldsAndDecaysUntilBreak_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<double>("rate");      // below 0: drawn
    QTest::addColumn<int>("setHold");      // 0: by patient
    QTest::addColumn<double>("overshoot"); // mmHg of cooling after the peak
    QTest::addColumn<int>("hold");         // the peak
    QTest::addColumn<int>("minDrop");      // over two minutes of holding
    QTest::addColumn<int>("maxDrop");

    const QByteArray none;
    const QByteArray neonate = frame("25;;DD");
    QTest::newRow("drawn rate") << none << -1.0 << 0 << 0.0 << 200 << 4 << 20;
    QTest::newRow("set 4 mmHg/min") << none << 4.0 << 0 << 0.0 << 200 << 8 << 8;
    QTest::newRow("set 8 mmHg/min") << none << 8.0 << 0 << 0.0 << 200 << 16 << 16;
    QTest::newRow("fractional 2.5 mmHg/min") << none << 2.5 << 0 << 0.0 << 200 << 5 << 5;
    QTest::newRow("set 0 holds the pressure") << none << 0.0 << 0 << 0.0 << 200 << 0 << 0;
    QTest::newRow("neonate set 6 mmHg/min") << neonate << 6.0 << 0 << 0.0 << 120 << 12 << 12;
    QTest::newRow("hold set at 250, peak exactly there")
        << none << 6.0 << 250 << 0.0 << 250 << 12 << 12;
    QTest::newRow("hold set at 255, not a step of the pump")
        << none << 6.0 << 255 << 0.0 << 255 << 12 << 12;
    QTest::newRow("neonate takes a set hold") << neonate << 6.0 << 250 << 0.0 << 250 << 12 << 12;
    QTest::newRow("hold set at 998, never 999") << none << 6.0 << 998 << 0.0 << 998 << 12 << 12;
    QTest::newRow("cooling 4 mmHg after the peak") << none << 6.0 << 250 << 4.0 << 250 << 16 << 16;
    QTest::newRow("cooling, no leak: settles 3 below")
        << none << 0.0 << 240 << 3.0 << 240 << 3 << 3;
}

// The peak is the hold pressure; the cooling is gone within about 10 s; the
// rate read back from the lines of 60 s after that is the set rate.
void SimulatedBoardTest::leakTestHoldsAndDecaysUntilBreak()
{
    QFETCH(QByteArray, setup);
    QFETCH(double, rate);
    QFETCH(int, setHold);
    QFETCH(double, overshoot);
    QFETCH(int, hold);
    QFETCH(int, minDrop);
    QFETCH(int, maxDrop);

    SimulatedBoard board;
    if (rate >= 0.0)
        board.setLeakRate(rate);
    if (setHold > 0)
        board.setLeakHold(setHold);
    board.setLeakOvershoot(overshoot);
    board.receive(setup + frame("17;;DE"));
    board.advance((hold + 9) / SimulatedBoard::kInflatePerTick); // 10 mmHg a step
    QCOMPARE(board.pressure(), hold);
    board.clearRecord();
    board.advance(2 * SimulatedBoard::kTicksPerMinute);
    const QList<int> values = pressures(board.sentLines());
    QCOMPARE(values.size(), 2 * SimulatedBoard::kTicksPerMinute);
    QVERIFY(std::is_sorted(values.begin(), values.end(), std::greater<int>()));
    QVERIFY(values.first() <= hold);
    const int drop = hold - values.last();
    QVERIFY2(drop >= minDrop && drop <= maxDrop, qPrintable(QString::number(drop)));

    const double setRate = board.leakTestRate();
    const int tenSeconds = 10 * 1000 / SimulatedBoard::kTickMs;
    const double cooled = hold - overshoot - setRate / 6.0;
    QVERIFY2(std::abs(values.at(tenSeconds - 1) - cooled) <= 1.0,
             qPrintable(QString::number(values.at(tenSeconds - 1))));
    const QList<int> window = values.mid(2 * tenSeconds, SimulatedBoard::kTicksPerMinute);
    QVERIFY2(std::abs(fallPerMinute(window) - setRate) <= 0.15,
             qPrintable(QString::number(fallPerMinute(window))));

    board.receive(frame("X"));
    QVERIFY(runUntilIdle(board, 30));
    QCOMPARE(board.sentLines().last(), QStringLiteral("000"));
}

void SimulatedBoardTest::setPointGivesResultsAroundIt_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<SimulatedBoard::SetPoint>("setPoint");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("tolerance"); // of the mean and of the SD

    QTest::newRow("no spread, exactly 120/80/72")
        << QByteArray() << SimulatedBoard::SetPoint{120, 80, 72, 0.0} << 5 << 0.0;
    QTest::newRow("spread 4 over 200")
        << QByteArray() << SimulatedBoard::SetPoint{120, 80, 72, 4.0} << 200 << 0.7;
    QTest::newRow("neonate, spread 2 over 100")
        << frame("25;;DD") << SimulatedBoard::SetPoint{70, 40, 140, 2.0} << 100 << 0.5;
    QTest::newRow("diastolic under 10 still ends")
        << QByteArray() << SimulatedBoard::SetPoint{40, 5, 60, 0.0} << 3 << 0.0;
}

void SimulatedBoardTest::setPointGivesResultsAroundIt()
{
    QFETCH(QByteArray, setup);
    QFETCH(SimulatedBoard::SetPoint, setPoint);
    QFETCH(int, count);
    QFETCH(double, tolerance);

    SimulatedBoard board;
    board.setFailureRate(0.0);
    board.setSetPoint(setPoint);
    board.receive(setup);
    QList<int> systolic, diastolic, pulse;
    for (int i = 0; i < count; ++i) {
        board.clearRecord();
        board.receive(frame("01;;D7"));
        QVERIFY(runUntilIdle(board));
        const QString result = board.sentLines().last();
        QCOMPARE(result.size(), 29);
        systolic << result.mid(15, 3).toInt();
        diastolic << result.mid(18, 3).toInt();
        pulse << result.mid(26, 3).toInt();
        QCOMPARE(result.mid(21, 3).toInt(),
                 diastolic.last() + qRound((systolic.last() - diastolic.last()) / 3.0));
    }
    const QList<QPair<QList<int>, int>> series{
        {systolic, setPoint.systolic}, {diastolic, setPoint.diastolic}, {pulse, setPoint.pulse}};
    for (const auto &[values, target] : series) {
        QVERIFY2(std::abs(mean(values) - target) <= tolerance,
                 qPrintable(QString::number(mean(values))));
        QVERIFY2(std::abs(sampleSd(values) - setPoint.spread) <= tolerance,
                 qPrintable(QString::number(sampleSd(values))));
    }
}

void SimulatedBoardTest::deflationStallKeepsTheCuffInflated_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<double>("stall");      // seconds; below 0: none
    QTest::addColumn<bool>("lowDiastolic"); // set point 40/5: below 15 while deflating
    QTest::addColumn<int>("inflatedAbove");
    QTest::addColumn<int>("steps"); // lines above; -1: as a plain board's

    const QByteArray adult;
    const QByteArray neonate = frame("25;;DD");
    QTest::newRow("adult 179 s above 15") << adult << 179.0 << false << 15 << 716;
    QTest::newRow("adult 180 s, on the limit") << adult << 180.0 << false << 15 << 720;
    QTest::newRow("adult 181 s above 15") << adult << 181.0 << false << 15 << 724;
    QTest::newRow("179.1 s rounds to whole steps") << adult << 179.1 << false << 15 << 716;
    QTest::newRow("neonate 89 s above 5") << neonate << 89.0 << false << 5 << 356;
    QTest::newRow("neonate 91 s above 5") << neonate << 91.0 << false << 5 << 364;
    QTest::newRow("stalls while deflating, diastolic 5") << adult << 179.0 << true << 15 << 716;
    QTest::newRow("no stall: the measurement's own time") << adult << -1.0 << false << 15 << -1;
    QTest::newRow("a stall shorter than the measurement changes nothing")
        << adult << 5.0 << false << 15 << -1;
}

// The time from the first line above the inflated pressure to the first at
// or below it after that is the stall's, in board steps; the measurement
// still ends with its own result.
void SimulatedBoardTest::deflationStallKeepsTheCuffInflated()
{
    QFETCH(QByteArray, setup);
    QFETCH(double, stall);
    QFETCH(bool, lowDiastolic);
    QFETCH(int, inflatedAbove);
    QFETCH(int, steps);

    const auto run = [&](SimulatedBoard &board) {
        board.setFailureRate(0.0);
        board.setSeed(3);
        if (lowDiastolic)
            board.setSetPoint(SimulatedBoard::SetPoint{40, 5, 60, 0.0});
        board.receive(setup + frame("01;;D7"));
        return runUntilIdle(board, 5000);
    };
    SimulatedBoard plain;
    SimulatedBoard board;
    if (stall >= 0.0)
        board.setDeflationStall(stall);
    QVERIFY(run(plain));
    QVERIFY(run(board));
    QVERIFY(!board.lastMeasurementFailed());
    QCOMPARE(board.sentLines().last(), plain.sentLines().last());

    const QList<int> values = pressures(board.sentLines().mid(0, board.sentLines().size() - 1));
    const auto above = [&](int line) {
        return line > inflatedAbove;
    };
    const auto first = std::find_if(values.begin(), values.end(), above);
    const auto back = std::find_if_not(first, values.end(), above);
    QVERIFY(back != values.end());
    if (steps < 0) {
        QCOMPARE(board.sentLines(), plain.sentLines());
        steps = int(plain.inflatedSeconds() * 4);
        QVERIFY(steps > 0 && steps < 60 * 4);
    }
    QCOMPARE(int(back - first), steps);
    QCOMPARE(board.inflatedSeconds(), steps / 4.0);
}

void SimulatedBoardTest::silentBoardAnswersNothing_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<int>("before");   // steps before silence is asked for
    QTest::addColumn<double>("after"); // fallSilentAfter; below 0: setSilent(true)
    QTest::addColumn<int>("linesAfter");

    QTest::newRow("silent from the start") << QByteArray() << 0 << -1.0 << 0;
    QTest::newRow("silent mid leak test, stands and goes on") << frame("17;;DE") << 30 << -1.0 << 0;
    QTest::newRow("after 2 s of manometer lines") << frame("14;;DB") << 10 << 2.0 << 8;
    QTest::newRow("after 0 s, at once") << frame("14;;DB") << 10 << 0.0 << 0;
    QTest::newRow("a cycle start that falls due is skipped") << frame("04;;DA") << 0 << -1.0 << 0;
    QTest::newRow("mid measurement") << frame("01;;D7") << 20 << 1.0 << 4;
}

// A silent board takes no frame and sends no line; its mode and pressure
// stand, its step count goes on; answering again it goes on from there.
void SimulatedBoardTest::silentBoardAnswersNothing()
{
    QFETCH(QByteArray, setup);
    QFETCH(int, before);
    QFETCH(double, after);
    QFETCH(int, linesAfter);

    SimulatedBoard board;
    board.setFailureRate(0.0);
    board.receive(setup);
    board.advance(before);
    QSignalSpy sent(&board, &SimulatedBoard::lineSent);
    if (after < 0.0)
        board.setSilent(true);
    else
        board.fallSilentAfter(after);
    board.advance(linesAfter);
    QCOMPARE(sent.size(), linesAfter);
    QVERIFY(board.isSilent());

    const Mode mode = board.mode();
    const int pressure = board.pressure();
    const int started = board.measurementsStarted();
    const qsizetype taken = board.commands().size();
    const qint64 steps = board.elapsedSteps();
    board.receive(frame("18;;DF") + frame("X") + frame("01;;D7"));
    board.advance(2 * SimulatedBoard::kTicksPerMinute);
    QCOMPARE(sent.size(), linesAfter);
    QCOMPARE(board.commands().size(), taken);
    QCOMPARE(board.ignoredFrames().size(), 3);
    QCOMPARE(board.mode(), mode);
    QCOMPARE(board.pressure(), pressure);
    QCOMPARE(board.measurementsStarted(), started);
    QCOMPARE(board.elapsedSteps(), steps + 2 * SimulatedBoard::kTicksPerMinute);

    board.setSilent(false);
    board.receive(frame("18;;DF"));
    QCOMPARE(sent.size(), linesAfter + 1);
    const QRegularExpressionMatch match = kStatusLine.match(board.sentLines().last());
    QVERIFY2(match.hasMatch(), qPrintable(board.sentLines().last()));
    QCOMPARE(match.captured(1).toInt(), pressure);
}

void SimulatedBoardTest::settingsKeepTheDraws_data()
{
    QTest::addColumn<double>("leakRate");  // below 0: drawn
    QTest::addColumn<double>("spread");    // below 0: no set point
    QTest::addColumn<int>("overPressure"); // 0: no fault

    QTest::newRow("leak rate set") << 4.0 << -1.0 << 0;
    QTest::newRow("set point with spread, drawn pulse") << -1.0 << 5.0 << 0;
    QTest::newRow("over-pressure") << -1.0 << -1.0 << 320;
}

// A leak test, then measurements: a setting changes what it sets and no
// other draw, so the failures and the drawn pulses stay those of the seed.
void SimulatedBoardTest::settingsKeepTheDraws()
{
    QFETCH(double, leakRate);
    QFETCH(double, spread);
    QFETCH(int, overPressure);

    const auto run = [](SimulatedBoard &board) {
        board.setSeed(4);
        board.setFailureRate(0.4);
        board.receive(frame("17;;DE"));
        board.advance(100);
        board.receive(frame("X"));
        QList<QPair<bool, int>> outcomes;
        for (int i = 0; i < 12; ++i) {
            board.receive(frame("01;;D7"));
            runUntilIdle(board);
            outcomes << qMakePair(board.lastMeasurementFailed(),
                                  board.lastMeasurementFailed() ? 0 : board.lastResult()->pulse);
        }
        return outcomes;
    };
    SimulatedBoard plain;
    SimulatedBoard set;
    if (leakRate >= 0.0)
        set.setLeakRate(leakRate);
    if (spread >= 0.0)
        set.setSetPoint(SimulatedBoard::SetPoint{120, 80, 0, spread});
    if (overPressure > 0)
        set.setOverPressurePeak(overPressure);
    const auto expected = run(plain);
    QCOMPARE(run(set), expected);
    QVERIFY(expected.count(qMakePair(true, 0)) > 0);
}

void SimulatedBoardTest::busyBoardKeepsItsMode_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<int>("mode");

    QTest::newRow("measuring") << frame("01;;D7") << int(Mode::Measuring);
    QTest::newRow("manometer") << frame("14;;DB") << int(Mode::Manometer);
    QTest::newRow("leak test") << frame("17;;DE") << int(Mode::LeakTest);
}

// A second mode command while busy is taken (recorded) but changes nothing.
void SimulatedBoardTest::busyBoardKeepsItsMode()
{
    QFETCH(QByteArray, first);
    QFETCH(int, mode);

    SimulatedBoard board;
    board.setFailureRate(0.0);
    board.receive(first);
    board.advance(3);
    board.receive(frame("01;;D7") + frame("14;;DB") + frame("17;;DE"));
    QCOMPARE(int(board.mode()), mode);
    QCOMPARE(board.measurementsStarted(), mode == int(Mode::Measuring) ? 1 : 0);
    QCOMPARE(board.commands().size(), 4);
}

void SimulatedBoardTest::cycleTimeStartsMeasurements_data()
{
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("started");

    QTest::newRow("manual") << frame("03;;D9") << 10 << 0;
    QTest::newRow("1 min for 10 min") << frame("04;;DA") << 10 << 10;
    QTest::newRow("2 min for 10 min") << frame("05;;DB") << 10 << 5;
    QTest::newRow("5 min for 10 min") << frame("08;;DE") << 10 << 2;
    QTest::newRow("30 min for 10 min") << frame("11;;D8") << 10 << 0;
    QTest::newRow("1 min, then manual") << frame("04;;DA") + frame("03;;D9") << 10 << 0;
    QTest::newRow("1 min while in manometer") << frame("04;;DA") + frame("14;;DB") << 10 << 0;
}

void SimulatedBoardTest::cycleTimeStartsMeasurements()
{
    QFETCH(QByteArray, commands);
    QFETCH(int, minutes);
    QFETCH(int, started);

    SimulatedBoard board;
    board.setFailureRate(0.0);
    board.receive(commands);
    board.advance(minutes * SimulatedBoard::kTicksPerMinute);
    QCOMPARE(board.measurementsStarted(), started);
}

void SimulatedBoardTest::seedMakesRunsRepeatable()
{
    const auto run = [](quint32 seed) {
        SimulatedBoard board;
        board.setSeed(seed);
        board.setFailureRate(0.3);
        board.receive(frame("04;;DA") + frame("17;;DE"));
        board.advance(300);
        board.receive(frame("X") + frame("25;;DD"));
        board.advance(8 * SimulatedBoard::kTicksPerMinute);
        return board.sentLines();
    };
    const QStringList first = run(7);
    QCOMPARE(run(7), first);
    QVERIFY(run(8) != first);
}

void SimulatedBoardTest::clockRunsAtTheTimeScale()
{
    SimulatedBoard board;
    board.setTimeScale(100.0);
    board.setFailureRate(0.0);
    QSignalSpy finished(&board, &SimulatedBoard::measurementFinished);
    board.receive(frame("01;;D7"));
    QElapsedTimer clock;
    clock.start();
    board.start();
    QVERIFY(finished.wait(10000));
    board.stop();
    // About 75 steps of 2.5 ms; 18 s of board time in real time.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(finished.first().first().toBool(), false);
}

QTEST_GUILESS_MAIN(SimulatedBoardTest)
#include "simulated_board_test.moc"
