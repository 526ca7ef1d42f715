// SPDX-License-Identifier: MIT
// The checks engine on synthetic traces with known answers: leak rates, static
// points with known errors and a refused one, over-pressure in both patient
// modes, result series with known mean and SD, and traces that end or switch
// ports in the middle of a check.
#include "checks_engine.h"
#include "trace_reader.h"

#include <QBuffer>
#include <QtTest>

#include <cmath>

namespace {

// Builds a trace as the program writes it, one line every `step` ms.
class TraceText
{
public:
    explicit TraceText(const QString &port = "COM1")
        : m_port(port)
    {}
    TraceText &port(const QString &port)
    {
        m_port = port;
        return *this;
    }
    TraceText &sent(const QString &frame) { return line("sent <STX>" + frame + "<ETX>"); }
    TraceText &pressure(int mmHg)
    {
        return line(QStringLiteral("received <STX>%1<CR>").arg(mmHg, 3, 10, QLatin1Char('0')));
    }
    TraceText &received(const QString &text) { return line("received " + text); }
    TraceText &event(const QString &text) { return line(text); }
    TraceText &wait(double seconds)
    {
        m_ms += qRound64(seconds * 1000);
        return *this;
    }
    // Readings from `from` along a straight line for `seconds`.
    TraceText &ramp(double from, double perMinute, double seconds)
    {
        for (double t = 0; t < seconds; t += 0.25)
            pressure(static_cast<int>(std::lround(from + perMinute * t / 60.0)));
        return *this;
    }
    TraceText &hold(QList<int> pattern, double seconds)
    {
        for (int i = 0; i < seconds * 4; ++i)
            pressure(pattern.at(i % pattern.size()));
        return *this;
    }
    TraceText &result(int sys, int dia, int mean, int pulse)
    {
        return received(QStringLiteral("<STX>S0001 A 160    %1%2%3  %4<CR>")
                            .arg(sys, 3, 10, QLatin1Char('0'))
                            .arg(dia, 3, 10, QLatin1Char('0'))
                            .arg(mean, 3, 10, QLatin1Char('0'))
                            .arg(pulse, 3, 10, QLatin1Char('0')));
    }
    // A leak test: pump-up to `hold` in 5 s, then a leak of `rate` for `seconds`.
    TraceText &leakTest(int hold, double rate, double seconds)
    {
        sent("17;;DE").ramp(0, hold * 12.0, 5.0);
        return ramp(hold, -rate, seconds);
    }
    QString text() const { return m_text; }

private:
    TraceText &line(const QString &what)
    {
        m_text += QStringLiteral("%1 %2 %3\n").arg(m_ms).arg(m_port, what);
        m_ms += 250;
        return *this;
    }
    QString m_port;
    QString m_text;
    qint64 m_ms = 1000;
};

CheckReport reportOf(const QString &trace, const std::optional<SetPoint> &setPoint,
                     QStringList *refusals = nullptr)
{
    QByteArray bytes = trace.toUtf8();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ChecksEngine engine;
    engine.setSetPoint(setPoint);
    QObject::connect(&engine, &ChecksEngine::pointRefused,
                     [refusals](double mmHg, const QString &reason) {
                         if (refusals)
                             *refusals << QStringLiteral("%1: %2").arg(mmHg).arg(reason);
                     });
    for (const TrafficEntry &entry : TraceReader::read(buffer))
        engine.feed(entry);
    return engine.report();
}

QString n1(double value)
{
    return QString::number(value, 'f', 1);
}

// Each check as one line of text, in the report's order.
QStringList describe(const CheckReport &r)
{
    QStringList lines;
    for (const CheckReport::LeakTest &t : r.leakTests)
        lines << QStringLiteral("leak %1 hold %2 drop %3 rate %4 window %5 by %6")
                     .arg(verdictName(t.verdict), t.holdMmHg ? n1(*t.holdMmHg) : "-",
                          n1(t.dropMmHg),
                          t.rateMmHgPerMin ? QString::number(qRound(*t.rateMmHgPerMin)) : "-",
                          n1(t.windowS), t.endedBy.isEmpty() ? "-" : t.endedBy);
    for (const CheckReport::StaticPoint &p : r.staticPoints)
        lines << QStringLiteral("point %1 ref %2 board %3 error %4")
                     .arg(verdictName(p.verdict), n1(p.referenceMmHg), n1(p.boardMmHg),
                          n1(p.errorMmHg));
    for (const CheckReport::Stretch &s : r.overPressure)
        lines << QStringLiteral("%1 %2 %3 max %4 limit %5%6")
                     .arg(verdictName(s.verdict), s.kind, s.patient)
                     .arg(s.maxMmHg)
                     .arg(s.limitMmHg)
                     .arg(s.exceededMs ? QStringLiteral(" at %1").arg(*s.exceededMs) : "");
    const CheckReport::Measurements &m = r.measurements;
    if (m.count + m.ended999 > 0) {
        lines << QStringLiteral("results %1, 999 %2").arg(m.count).arg(m.ended999);
        for (auto [name, s] : {std::pair{"sys", &m.systolic},
                               {"dia", &m.diastolic},
                               {"map", &m.mean},
                               {"pulse", &m.pulse}})
            lines << QStringLiteral("%1 %2 n %3 mean %4 sd %5 %6..%7 error %8")
                         .arg(name,
                              verdictName(s->verdict).isEmpty() ? "-" : verdictName(s->verdict))
                         .arg(s->n)
                         .arg(n1(s->mean), s->sd ? n1(*s->sd) : "-", n1(s->min), n1(s->max),
                              s->meanError ? n1(*s->meanError) : "-");
    }
    lines << "overall " + (r.verdict == Verdict::None ? "none" : verdictName(r.verdict));
    return lines;
}

} // namespace

class ChecksEngineTest : public QObject
{
    Q_OBJECT

private slots:
    void tracesGiveKnownVerdicts_data();
    void tracesGiveKnownVerdicts();
    void leakStateRunsDown();
};

void ChecksEngineTest::tracesGiveKnownVerdicts_data()
{
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QList<double>>("setPoint"); // sys, dia[, map[, pulse]]; empty: none
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("refusals");

    // The window runs from the first reading 5 s after the peak (at 6 s) for 60 s.
    QTest::newRow("leak of 4 mmHg/min passes")
        << TraceText().leakTest(200, 4, 70).sent("X").text() << QList<double>{}
        << QStringList{"leak pass hold 200.0 drop 4.0 rate 4 window 60.0 by Break",
                       "pass leak test adult max 200 limit 300", "overall pass"}
        << QStringList{};
    QTest::newRow("leak of 8 mmHg/min fails")
        << TraceText().leakTest(200, 8, 70).sent("X").text() << QList<double>{}
        << QStringList{"leak fail hold 200.0 drop 8.0 rate 8 window 60.0 by Break",
                       "pass leak test adult max 200 limit 300", "overall fail"}
        << QStringList{};
    QTest::newRow("Break mid leak test: incomplete with what was measured")
        << TraceText().leakTest(200, 8, 35).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 drop 4.0 rate 8 window 29.8 by Break",
                       "pass leak test adult max 200 limit 300", "overall incomplete"}
        << QStringList{};
    QTest::newRow("trace cut short mid leak test")
        << TraceText().leakTest(200, 4, 20).text() + "21000 COM1 received <STX>1" << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 drop 1.0 rate 4 window 14.8 by -",
                       "pass leak test adult max 200 limit 300", "overall incomplete"}
        << QStringList{};
    QTest::newRow("board silent for the end of the window: incomplete")
        << TraceText().leakTest(200, 4, 20).wait(60).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 drop 1.0 rate 4 window 14.8 by Break",
                       "pass leak test adult max 200 limit 300", "overall incomplete"}
        << QStringList{};
    QTest::newRow("leak test that never pumps up")
        << TraceText().sent("17;;DE").hold({0}, 80).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold - drop 0.0 rate - window 0.0 by Break",
                       "pass leak test adult max 0 limit 300", "overall incomplete"}
        << QStringList{};
    QTest::newRow("a second peak restarts the settling")
        << TraceText().leakTest(180, 0, 3).ramp(190, 0, 1).ramp(200, -6, 70).sent("X").text()
        << QList<double>{}
        << QStringList{"leak pass hold 200.0 drop 6.0 rate 6 window 60.0 by Break",
                       "pass leak test adult max 200 limit 300", "overall pass"}
        << QStringList{};
    QTest::newRow("traffic on another port ends the leak test there")
        << TraceText().leakTest(200, 4, 30).port("COM2").pressure(0).hold({0}, 60).text()
        << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 drop 2.0 rate 4 window 24.8 by port change",
                       "pass leak test adult max 200 limit 300", "overall incomplete"}
        << QStringList{};

    QTest::newRow("static points with known errors, one refused, sorted by reference")
        << TraceText()
               .sent("14;;DB")
               .hold({204}, 3)
               .event("reference 200")
               .hold({149, 152}, 3)
               .event("reference 150")
               .hold({100, 101}, 3)
               .event("reference 99.5")
               .sent("X")
               .text()
        << QList<double>{}
        << QStringList{"point pass ref 99.5 board 100.5 error 1.0",
                       "point fail ref 200.0 board 204.0 error 4.0",
                       "pass manometer adult max 204 limit 300", "overall fail"}
        << QStringList{"150: hold the pressure steady"};
    QTest::newRow("a point on the limit passes")
        << TraceText().sent("14;;DB").hold({103}, 3).event("reference 100").text()
        << QList<double>{}
        << QStringList{"point pass ref 100.0 board 103.0 error 3.0",
                       "pass manometer adult max 103 limit 300", "overall pass"}
        << QStringList{};
    QTest::newRow("reference outside Manometer mode is refused")
        << TraceText().sent("01;;D7").hold({100}, 3).event("reference 100").text()
        << QList<double>{}
        << QStringList{"pass measurement adult max 100 limit 300", "overall pass"}
        << QStringList{"100: the board is not in Manometer mode"};

    QTest::newRow("pump past 300 in adult mode fails with its time")
        << TraceText().sent("01;;D7").ramp(250, 600, 6).result(120, 80, 93, 72).text()
        << QList<double>{}
        << QStringList{"fail measurement adult max 308 limit 300 at 6500",
                       "results 1, 999 0",
                       "sys - n 1 mean 120.0 sd - 120.0..120.0 error -",
                       "dia - n 1 mean 80.0 sd - 80.0..80.0 error -",
                       "map - n 1 mean 93.0 sd - 93.0..93.0 error -",
                       "pulse - n 1 mean 72.0 sd - 72.0..72.0 error -",
                       "overall fail"}
        << QStringList{};
    QTest::newRow("neonate limit is 150, adult again after 24;;DC")
        << TraceText()
               .sent("25;;DD")
               .sent("17;;DE")
               .hold({160}, 1)
               .sent("X")
               .hold({0}, 1)
               .sent("24;;DC")
               .sent("17;;DE")
               .hold({160}, 1)
               .sent("X")
               .text()
        << QList<double>{}
        << QStringList{"leak incomplete hold 160.0 drop 0.0 rate - window 0.0 by Break",
                       "leak incomplete hold 160.0 drop 0.0 rate - window 0.0 by Break",
                       "fail leak test neonate max 160 limit 150 at 1500",
                       "pass leak test adult max 160 limit 300", "overall fail"}
        << QStringList{};
    QTest::newRow("a cycle start after a Break's vent is a measurement")
        << TraceText()
               .sent("01;;D7")
               .hold({120}, 1)
               .sent("X")
               .hold({60, 30}, 1)
               .hold({0}, 1)
               .hold({310}, 1)
               .text()
        << QList<double>{}
        << QStringList{"pass measurement adult max 120 limit 300",
                       "fail measurement adult max 310 limit 300 at 4500", "overall fail"}
        << QStringList{};

    TraceText five;
    for (auto [sys, dia] : {std::pair{118, 78}, {120, 80}, {122, 82}, {119, 79}, {121, 81}})
        five.sent("01;;D7").hold({150}, 1).result(sys, dia, 93, 70);
    five.sent("01;;D7").pressure(80).received("<STX>999<CR>");
    QTest::newRow("five results around 120/80 against the set point")
        << five.text() << QList<double>{120, 80, 93}
        << QStringList{"pass measurement adult max 150 limit 300",
                       "pass measurement adult max 150 limit 300",
                       "pass measurement adult max 150 limit 300",
                       "pass measurement adult max 150 limit 300",
                       "pass measurement adult max 150 limit 300",
                       "pass measurement adult max 80 limit 300",
                       "results 5, 999 1",
                       "sys pass n 5 mean 120.0 sd 1.6 118.0..122.0 error 0.0",
                       "dia pass n 5 mean 80.0 sd 1.6 78.0..82.0 error 0.0",
                       "map pass n 5 mean 93.0 sd 0.0 93.0..93.0 error 0.0",
                       "pulse - n 5 mean 70.0 sd 0.0 70.0..70.0 error -",
                       "overall pass"}
        << QStringList{};
    QTest::newRow("results scattered too far fail on SD, one off on mean error")
        << TraceText().result(100, 86, 90, 60).result(140, 86, 90, 80).text()
        << QList<double>{120, 80}
        << QStringList{"results 2, 999 0",
                       "sys fail n 2 mean 120.0 sd 28.3 100.0..140.0 error 0.0",
                       "dia fail n 2 mean 86.0 sd 0.0 86.0..86.0 error 6.0",
                       "map - n 2 mean 90.0 sd 0.0 90.0..90.0 error -",
                       "pulse - n 2 mean 70.0 sd 14.1 60.0..80.0 error -",
                       "overall fail"}
        << QStringList{};
    QTest::newRow("one result cannot give an SD: incomplete")
        << TraceText().result(120, 80, 93, 70).text() << QList<double>{120, 80}
        << QStringList{"results 1, 999 0",
                       "sys incomplete n 1 mean 120.0 sd - 120.0..120.0 error 0.0",
                       "dia incomplete n 1 mean 80.0 sd - 80.0..80.0 error 0.0",
                       "map - n 1 mean 93.0 sd - 93.0..93.0 error -",
                       "pulse - n 1 mean 70.0 sd - 70.0..70.0 error -",
                       "overall incomplete"}
        << QStringList{};
    QTest::newRow("garbage, noise and unended lines change nothing")
        << TraceText()
                   .received("<xFF><x01>")
                   .received("<STX>S0001<CR>")
                   .received("<STX>3x0<CR>")
                   .received("<STX>350")
                   .event("lost: nonsense")
                   .event("reference 12.34")
                   .text() +
               "not a trace line\n"
        << QList<double>{}
        << QStringList{"results 1, 999 0",
                       "sys - n 0 mean 0.0 sd - 0.0..0.0 error -",
                       "dia - n 0 mean 0.0 sd - 0.0..0.0 error -",
                       "map - n 0 mean 0.0 sd - 0.0..0.0 error -",
                       "pulse - n 0 mean 0.0 sd - 0.0..0.0 error -",
                       "overall none"}
        << QStringList{};
    QTest::newRow("checks cleared: only what follows counts")
        << TraceText()
               .sent("01;;D7")
               .hold({320}, 1)
               .result(150, 90, 100, 60)
               .event("checks cleared")
               .sent("01;;D7")
               .hold({150}, 1)
               .result(120, 80, 93, 70)
               .text()
        << QList<double>{}
        << QStringList{"pass measurement adult max 150 limit 300",
                       "results 1, 999 0",
                       "sys - n 1 mean 120.0 sd - 120.0..120.0 error -",
                       "dia - n 1 mean 80.0 sd - 80.0..80.0 error -",
                       "map - n 1 mean 93.0 sd - 93.0..93.0 error -",
                       "pulse - n 1 mean 70.0 sd - 70.0..70.0 error -",
                       "overall pass"}
        << QStringList{};
}

void ChecksEngineTest::tracesGiveKnownVerdicts()
{
    QFETCH(QString, trace);
    QFETCH(QList<double>, setPoint);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, refusals);
    std::optional<SetPoint> point;
    if (!setPoint.isEmpty()) {
        point = SetPoint{setPoint.at(0), setPoint.at(1), {}, {}};
        if (setPoint.size() > 2)
            point->mean = setPoint.at(2);
    }
    QStringList refused;
    const CheckReport report = reportOf(trace, point, &refused);
    QCOMPARE(describe(report), expected);
    QCOMPARE(refused, refusals);
}

// Live, the window shows seconds left, drop so far and the running rate.
void ChecksEngineTest::leakStateRunsDown()
{
    QByteArray bytes = TraceText().leakTest(200, 6, 36).text().toUtf8();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ChecksEngine engine;
    QList<ChecksEngine::LeakState::Phase> phases;
    for (const TrafficEntry &entry : TraceReader::read(buffer)) {
        engine.feed(entry);
        const ChecksEngine::LeakState state = engine.leakState();
        if (phases.isEmpty() || phases.constLast() != state.phase)
            phases << state.phase;
    }
    using Phase = ChecksEngine::LeakState::Phase;
    QCOMPARE(phases, (QList<Phase>{Phase::PumpingUp, Phase::Settling, Phase::Measuring}));
    const ChecksEngine::LeakState state = engine.leakState();
    QCOMPARE(state.holdMmHg, std::optional<double>(200));
    QCOMPARE(state.secondsLeft, 29.25); // the window began at 11.25 s, 5 s after the peak
    QCOMPARE(state.dropMmHg, 4.0);
    QVERIFY(state.rateMmHgPerMin && std::abs(*state.rateMmHgPerMin - 6) < 0.5);
}

QTEST_GUILESS_MAIN(ChecksEngineTest)
#include "checks_engine_test.moc"
