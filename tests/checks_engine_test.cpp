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
        return leakTest(hold, rate, seconds, 0, 1, {});
    }
    // The same with a cuff that cools: `overshoot` mmHg above the leak's line
    // at the peak, decaying with the time constant `tau`; the readings at the
    // indexes of `stray` (from the peak on) replaced by other values.
    TraceText &leakTest(int hold, double rate, double seconds, double overshoot, double tau,
                        const QMap<int, int> &stray)
    {
        sent("17;;DE").ramp(0, (hold + overshoot) * 12.0, 5.0);
        for (int i = 0; i < seconds * 4; ++i) {
            const double t = i / 4.0;
            const double p = hold - rate * t / 60.0 + overshoot * std::exp(-t / tau);
            pressure(stray.value(i, static_cast<int>(std::lround(p))));
        }
        return *this;
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

// Limits from "key=value" lines, by the keys of the [checks] table.
CheckLimits limitsOf(const QString &lines)
{
    CheckLimits limits;
    for (const QString &line : lines.split('\n', Qt::SkipEmptyParts)) {
        const QString name = line.section('=', 0, 0);
        for (const CheckLimits::Key &key : CheckLimits::keys()) {
            if (name == QLatin1String(key.name))
                limits.*(key.value) = line.section('=', 1).toDouble();
        }
    }
    return limits;
}

// `inflations` collects the engine's inflationTooLong signals as they come.
CheckReport reportOf(const QString &trace, const std::optional<SetPoint> &setPoint,
                     QStringList *refusals = nullptr, const CheckLimits &limits = CheckLimits(),
                     QStringList *inflations = nullptr)
{
    QByteArray bytes = trace.toUtf8();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ChecksEngine engine(limits);
    engine.setSetPoint(setPoint);
    QObject::connect(&engine, &ChecksEngine::pointRefused,
                     [refusals](double mmHg, const Failure &why) {
                         if (refusals)
                             *refusals << QStringLiteral("%1: %2").arg(mmHg).arg(why.text);
                     });
    QObject::connect(&engine, &ChecksEngine::inflationTooLong,
                     [inflations, &engine](qint64 ms, double seconds, double limitS) {
                         if (inflations)
                             *inflations << QStringLiteral("at %1 after %2 s, limit %3, %4")
                                                .arg(ms)
                                                .arg(seconds)
                                                .arg(limitS)
                                                .arg(engine.mode() == ChecksEngine::Mode::Measuring
                                                         ? "while it runs"
                                                         : "after it");
                     });
    for (const TrafficEntry &entry : TraceReader::read(buffer))
        engine.feed(entry);
    return engine.report();
}

QString n1(double value)
{
    return QString::number(value, 'f', 1);
}

QString because(const QString &reason)
{
    return reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason);
}

QString describe(const CheckReport::LeakTest &t)
{
    QString line = QStringLiteral("leak %1 hold %2 settle %3%4 drop %5 rate %6 window %7 by %8")
                       .arg(verdictName(t.verdict), t.holdMmHg ? n1(*t.holdMmHg) : "-",
                            t.windowStartMs ? n1(t.settleS) : "-", t.settled ? "" : " unsettled",
                            n1(t.dropMmHg), t.rateMmHgPerMin ? n1(*t.rateMmHgPerMin) : "-",
                            n1(t.windowS), t.endedBy.isEmpty() ? "-" : t.endedBy);
    if (!t.outliers.isEmpty())
        line += QStringLiteral(" left out %1 of %2").arg(t.outliers.size()).arg(t.windowReadings);
    return line + because(t.reason);
}

// Each check as one line of text, in the report's order.
QStringList describe(const CheckReport &r)
{
    QStringList lines;
    for (const CheckReport::LeakTest &t : r.leakTests)
        lines << describe(t);
    for (const CheckReport::StaticPoint &p : r.staticPoints)
        lines << QStringLiteral("point %1 ref %2 board %3 error %4%5")
                     .arg(verdictName(p.verdict), n1(p.referenceMmHg), n1(p.boardMmHg),
                          n1(p.errorMmHg), because(p.reason));
    for (const CheckReport::Refusal &f : r.refusals)
        lines << QStringLiteral("refused %1 at %2: %3")
                     .arg(n1(f.referenceMmHg), n1(f.ms / 1000.0), f.reason);
    for (const CheckReport::Stretch &s : r.overPressure)
        lines << QStringLiteral("%1 %2 %3 max %4 limit %5%6%7")
                     .arg(verdictName(s.verdict), stretchKindName(s.kind),
                          patientModeName(s.patient))
                     .arg(s.maxMmHg)
                     .arg(s.limitMmHg)
                     .arg(s.exceededMs ? QStringLiteral(" at %1").arg(*s.exceededMs) : "",
                          because(s.reason));
    const CheckReport::Measurements &m = r.measurements;
    if (m.count + m.ended999 > 0) {
        lines << QStringLiteral("results %1, 999 %2%3")
                     .arg(m.count)
                     .arg(m.ended999)
                     .arg(because(m.reason));
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
    for (const CheckReport::Gap &g : r.gaps)
        lines << QStringLiteral("gap %1 from %2 to %3 on %4")
                     .arg(g.what)
                     .arg(g.fromMs)
                     .arg(g.toMs)
                     .arg(g.port);
    auto name = [](Verdict v) {
        return v == Verdict::None ? QStringLiteral("none") : verdictName(v);
    };
    lines << QStringLiteral("checks leak %1 static %2 pressure %3 series %4")
                 .arg(name(r.leakVerdict), name(r.staticVerdict), name(r.overPressureVerdict),
                      name(m.verdict));
    lines << "overall " + name(r.verdict);
    return lines;
}

} // namespace

class ChecksEngineTest : public QObject
{
    Q_OBJECT

private slots:
    void tracesGiveKnownVerdicts_data();
    void tracesGiveKnownVerdicts();
    void inflationTimeJudged_data();
    void inflationTimeJudged();
    void leakStateRunsDown();
    void reportsTakenAsTheTraceGoes_data();
    void reportsTakenAsTheTraceGoes();
    void curvesOfFirstAndLatestKept();
};

void ChecksEngineTest::tracesGiveKnownVerdicts_data()
{
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QList<double>>("setPoint"); // sys, dia[, map[, pulse]]; empty: none
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("refusals");
    QTest::addColumn<QString>("limits"); // key=value lines over the defaults

    // The peak is at 6.25 s; the pressure is stable once the last 10 s and
    // the 10 s before agree, 20 s after the peak at the earliest.
    QTest::newRow("leak of 4 mmHg/min passes")
        << TraceText().leakTest(200, 4, 100).sent("X").text() << QList<double>{}
        << QStringList{"leak pass hold 200.0 settle 24.5 drop 4.0 rate 3.9 window 60.0 by Break",
                       "pass leak test adult max 200 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("leak of 8 mmHg/min fails")
        << TraceText().leakTest(200, 8, 100).sent("X").text() << QList<double>{}
        << QStringList{"leak fail hold 200.0 settle 20.0 drop 8.0 rate 8.0 window 60.0 by Break",
                       "pass leak test adult max 200 limit 300",
                       "checks leak fail static none pressure pass series none", "overall fail"}
        << QStringList{} << QString();
    QTest::newRow("Break mid leak test: incomplete with what was measured")
        << TraceText().leakTest(200, 8, 50).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 20.0 drop 4.0 rate 7.8 window 29.8 by "
                       "Break (the window ran 29.8 s of 60 s)",
                       "pass leak test adult max 200 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("trace cut short mid leak test")
        << TraceText().leakTest(200, 4, 40).text() + "47000 COM1 received <STX>1" << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 24.5 drop 1.0 rate 2.9 window 15.3 by - "
                       "(the window ran 15.3 s of 60 s)",
                       "pass leak test adult max 200 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("board silent for the end of the window: incomplete")
        << TraceText().leakTest(200, 4, 40).wait(60).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 24.5 drop 1.0 rate 2.9 window 60.0 by "
                       "Break (no pressure line from 46.0 s to 90.8 s)",
                       "pass leak test adult max 200 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("leak test that never pumps up")
        << TraceText().sent("17;;DE").hold({0}, 80).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold - settle - drop 0.0 rate - window 0.0 by Break (no "
                       "pressure after the Leak Test frame)",
                       "pass leak test adult max 0 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("a second peak restarts the settling")
        << TraceText().leakTest(180, 0, 3).ramp(190, 0, 1).ramp(200, -5, 100).sent("X").text()
        << QList<double>{}
        << QStringList{"leak pass hold 200.0 settle 20.3 drop 5.0 rate 5.0 window 60.0 by Break",
                       "pass leak test adult max 200 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("traffic on another port ends the leak test there")
        << TraceText().leakTest(200, 4, 50).port("COM2").pressure(0).hold({0}, 60).text()
        << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 24.5 drop 1.0 rate 3.5 window 25.3 by "
                       "port change (the window ran 25.3 s of 60 s)",
                       "pass leak test adult max 200 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("a stray 000 late in the window is left out: 3 mmHg/min passes (was 7.2, a fail)")
        << TraceText().leakTest(200, 3, 100, 0, 1, {{240, 0}}).sent("X").text() << QList<double>{}
        << QStringList{"leak pass hold 200.0 settle 20.0 drop 3.0 rate 3.2 window 60.0 by Break "
                       "left out 1 of 240",
                       "pass leak test adult max 200 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("a 000 early in the window is left out: 8 mmHg/min fails (was 5.9, a pass)")
        << TraceText().leakTest(200, 8, 100, 0, 1, {{90, 0}}).sent("X").text() << QList<double>{}
        << QStringList{"leak fail hold 200.0 settle 20.0 drop 8.0 rate 8.0 window 60.0 by Break "
                       "left out 1 of 240",
                       "pass leak test adult max 200 limit 300",
                       "checks leak fail static none pressure pass series none", "overall fail"}
        << QStringList{} << QString();
    QMap<int, int> twelve, thirteen;
    for (int i = 0; i < 13; ++i)
        (i < 12 ? twelve : thirteen)[120 + 12 * i] = 0;
    thirteen.insert(twelve);
    QTest::newRow("12 stray lines of 240 (5 %) are left out: passes")
        << TraceText().leakTest(200, 4, 100, 0, 1, twelve).sent("X").text() << QList<double>{}
        << QStringList{"leak pass hold 200.0 settle 24.5 drop 4.0 rate 3.9 window 60.0 by Break "
                       "left out 12 of 240",
                       "pass leak test adult max 200 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("13 stray lines of 240: unsteady readings, incomplete")
        << TraceText().leakTest(200, 4, 100, 0, 1, thirteen).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 24.5 drop 4.0 rate 3.9 window 60.0 by "
                       "Break left out 13 of 240 (unsteady readings: 13 of 240 left out of the "
                       "fit)",
                       "pass leak test adult max 200 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("one stray line 30 mmHg high is left out: passes, no rise")
        << TraceText().leakTest(200, 4, 100, 0, 1, {{120, 230}}).sent("X").text() << QList<double>{}
        << QStringList{"leak pass hold 200.0 settle 24.5 drop 4.0 rate 3.9 window 60.0 by Break "
                       "left out 1 of 240",
                       "pass leak test adult max 230 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("two stray 000 lines in a row are left out: passes, no rise")
        << TraceText().leakTest(200, 4, 100, 0, 1, {{120, 0}, {121, 0}}).sent("X").text()
        << QList<double>{}
        << QStringList{"leak pass hold 200.0 settle 24.5 drop 4.0 rate 3.9 window 60.0 by Break "
                       "left out 2 of 240",
                       "pass leak test adult max 200 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QMap<int, int> noisy;
    for (int i = 0; i < 400; ++i)
        noisy[i] = 200 + QList<int>{0, 0, -2, 2}.at(i % 4);
    noisy[202] = 206;
    QTest::newRow("half the lines on the line, half 2 off: a line 6 off is left out")
        << TraceText().leakTest(200, 0, 100, 0, 1, noisy).sent("X").text() << QList<double>{}
        << QStringList{"leak pass hold 202.0 settle 20.0 drop 4.0 rate 0.1 window 60.0 by Break "
                       "left out 1 of 240",
                       "pass leak test adult max 206 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("the pump ran in the window: incomplete (was -28.5, a pass)")
        << TraceText().leakTest(200, 4, 50).ramp(197, 900, 2).ramp(227, -4, 48).sent("X").text()
        << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 24.5 drop -27.0 rate -41.1 window 60.0 "
                       "by Break (the pressure rose: did the pump run?)",
                       "pass leak test adult max 227 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("a pressure rising 2 mmHg/min: incomplete, it rose")
        << TraceText().leakTest(200, -2, 100).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 201.0 settle 20.0 drop -2.0 rate -2.2 window 60.0 by "
                       "Break (the pressure rose: did the pump run?)",
                       "pass leak test adult max 203 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    // A step of one whole mmHg a seconds into the window of T is a slope of
    // 6 a (T - a) / T^3: 0.8 mmHg/min at 50 s, 1.5 at 30 s.
    QTest::newRow("one mmHg up 10 s before the window's end: -0.8 mmHg/min passes")
        << TraceText().leakTest(200, 0, 70).ramp(201, 0, 20).sent("X").text() << QList<double>{}
        << QStringList{"leak pass hold 200.0 settle 20.0 drop -1.0 rate -0.8 window 60.0 by Break",
                       "pass leak test adult max 201 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("one mmHg up mid window: -1.5 mmHg/min, incomplete")
        << TraceText().leakTest(200, 0, 50).ramp(201, 0, 40).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 20.0 drop -1.0 rate -1.5 window 60.0 by "
                       "Break (the pressure rose: did the pump run?)",
                       "pass leak test adult max 201 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow(
        "time runs back in the window: incomplete with its time (was 12.1, a fail, no word of it)")
        << TraceText().leakTest(200, 8, 50).wait(-35).ramp(193, -8, 80).sent("X").text()
        << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 20.0 drop 13.0 rate 10.7 window 60.0 by "
                       "Break (time ran backwards at 21.3 s (from 56.0 s))",
                       "pass leak test adult max 200 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("silent for the last 3.5 s of the window: incomplete (was a pass)")
        << TraceText().leakTest(200, 0, 76.75).wait(3.25).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 20.0 drop 0.0 rate 0.0 window 60.0 by "
                       "Break (no pressure line from 82.8 s to 86.3 s)",
                       "pass leak test adult max 200 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("silent for 2 s in the window: no gap")
        << TraceText().leakTest(200, 0, 50).wait(1.75).ramp(200, 0, 50).sent("X").text()
        << QList<double>{}
        << QStringList{"leak pass hold 200.0 settle 20.0 drop 0.0 rate 0.0 window 60.0 by Break",
                       "pass leak test adult max 200 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("silent for 2.25 s in the window: incomplete")
        << TraceText().leakTest(200, 0, 50).wait(2).ramp(200, 0, 50).sent("X").text()
        << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 20.0 drop 0.0 rate 0.0 window 60.0 by "
                       "Break (no pressure line from 56.0 s to 58.3 s)",
                       "pass leak test adult max 200 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("a cooling cuff settles first: 4 mmHg/min passes (was 7.3, a fail)")
        << TraceText().leakTest(200, 4, 120, 8, 10, {}).sent("X").text() << QList<double>{}
        << QStringList{"leak pass hold 208.0 settle 35.8 drop 4.0 rate 4.1 window 60.0 by Break",
                       "pass leak test adult max 208 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("a cuff still cooling after 60 s is not settled: incomplete")
        << TraceText().leakTest(200, 4, 130, 40, 40, {}).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 240.0 settle 60.0 unsettled drop 11.0 rate 10.7 "
                       "window 60.0 by Break (not settled: the pressure was not stable 60 s after "
                       "the peak)",
                       "pass leak test adult max 240 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("Break on the window's end completes it")
        << TraceText().leakTest(200, 0, 80).sent("X").text() << QList<double>{}
        << QStringList{"leak pass hold 200.0 settle 20.0 drop 0.0 rate 0.0 window 60.0 by Break",
                       "pass leak test adult max 200 limit 300",
                       "checks leak pass static none pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("Break 1 ms before the window's end: incomplete")
        << TraceText().leakTest(200, 0, 80).wait(-0.001).sent("X").text() << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 20.0 drop 0.0 rate 0.0 window 59.8 by "
                       "Break (the window ran 59.8 s of 60 s)",
                       "pass leak test adult max 200 limit 300",
                       "checks leak incomplete static none pressure pass series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("trace lines dropped in the window: incomplete with the gap (was a pass)")
        << TraceText()
               .leakTest(200, 4, 50)
               .event("dropped 316 trace lines")
               .ramp(196, -4, 50)
               .sent("X")
               .text()
        << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 24.5 drop 4.0 rate 4.9 window 60.0 by "
                       "Break (316 trace lines dropped, 56.0 s to 56.3 s)",
                       "incomplete leak test adult max 200 limit 300 (316 trace lines dropped, "
                       "56.0 s to 56.3 s)",
                       "gap 316 trace lines dropped from 56000 to 56250 on COM1",
                       "checks leak incomplete static none pressure incomplete series none",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("port lost mid leak test: incomplete with the loss")
        << TraceText().leakTest(200, 4, 50).event("lost: device removed").text() << QList<double>{}
        << QStringList{"leak incomplete hold 200.0 settle 24.5 drop 1.0 rate 3.5 window 25.3 by "
                       "port lost (port lost: device removed, 56.0 s to 56.3 s; the window ran "
                       "25.3 s of 60 s)",
                       "incomplete leak test adult max 200 limit 300 (port lost: device removed, "
                       "56.0 s to 56.3 s)",
                       "gap port lost: device removed from 56000 to 56250 on COM1",
                       "checks leak incomplete static none pressure incomplete series none",
                       "overall incomplete"}
        << QStringList{} << QString();

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
                       "refused 150.0 at 7.5: hold the pressure steady",
                       "pass manometer adult max 204 limit 300",
                       "checks leak none static fail pressure pass series none",
                       "overall fail"}
        << QStringList{"150: hold the pressure steady"} << QString();
    QTest::newRow("a point on the limit passes")
        << TraceText().sent("14;;DB").hold({103}, 3).event("reference 100").text()
        << QList<double>{}
        << QStringList{"point pass ref 100.0 board 103.0 error 3.0",
                       "pass manometer adult max 103 limit 300",
                       "checks leak none static pass pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("a spread on its limit is taken")
        << TraceText().sent("14;;DB").hold({149, 151}, 3).event("reference 150").text()
        << QList<double>{}
        << QStringList{"point pass ref 150.0 board 150.0 error 0.0",
                       "pass manometer adult max 151 limit 300",
                       "checks leak none static pass pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("one reading in the static window is refused")
        << TraceText()
               .sent("14;;DB")
               .hold({150}, 3)
               .wait(1.9)
               .pressure(150)
               .event("reference 150")
               .text()
        << QList<double>{}
        << QStringList{"refused 150.0 at 6.4: too few pressure readings in the last 2 s",
                       "pass manometer adult max 150 limit 300",
                       "checks leak none static none pressure pass series none", "overall pass"}
        << QStringList{"150: too few pressure readings in the last 2 s"} << QString();
    // TrafficRecorder::event hands out a line the port has half delivered
    // before the event; the rest of it follows as bytes of their own.
    QTest::newRow("a line half delivered before an event is no reading")
        << TraceText()
               .sent("14;;DB")
               .hold({150}, 3)
               .received("<STX>15")
               .event("reference 150")
               .received("0<CR>")
               .text()
        << QList<double>{}
        << QStringList{"point pass ref 150.0 board 150.0 error 0.0",
                       "pass manometer adult max 150 limit 300",
                       "checks leak none static pass pressure pass series none", "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("reference outside Manometer mode is refused")
        << TraceText().sent("01;;D7").hold({100}, 3).event("reference 100").text()
        << QList<double>{}
        << QStringList{"refused 100.0 at 4.3: the board is not in Manometer mode",
                       "pass measurement adult max 100 limit 300",
                       "checks leak none static none pressure pass series none", "overall pass"}
        << QStringList{"100: the board is not in Manometer mode"} << QString();
    QTest::newRow("a static point over dropped lines is incomplete, one after them passes")
        << TraceText()
               .sent("14;;DB")
               .hold({150}, 3)
               .event("dropped 12 trace lines")
               .hold({150}, 1)
               .event("reference 150")
               .hold({100}, 3)
               .event("reference 100")
               .text()
        << QList<double>{}
        << QStringList{"point pass ref 100.0 board 100.0 error 0.0",
                       "point incomplete ref 150.0 board 150.0 error 0.0 (12 trace lines dropped, "
                       "4.0 s to 4.3 s)",
                       "incomplete manometer adult max 150 limit 300 (12 trace lines dropped, 4.0 "
                       "s to 4.3 s)",
                       "gap 12 trace lines dropped from 4000 to 4250 on COM1",
                       "checks leak none static incomplete pressure incomplete series none",
                       "overall incomplete"}
        << QStringList{} << QString();

    QTest::newRow("pump past 300 in adult mode fails with its time")
        << TraceText().sent("01;;D7").ramp(250, 600, 6).result(120, 80, 93, 72).text()
        << QList<double>{}
        << QStringList{"fail measurement adult max 308 limit 300 at 6500",
                       "results 1, 999 0",
                       "sys - n 1 mean 120.0 sd - 120.0..120.0 error -",
                       "dia - n 1 mean 80.0 sd - 80.0..80.0 error -",
                       "map - n 1 mean 93.0 sd - 93.0..93.0 error -",
                       "pulse - n 1 mean 72.0 sd - 72.0..72.0 error -",
                       "checks leak none static none pressure fail series none",
                       "overall fail"}
        << QStringList{} << QString();
    QTest::newRow("a limit of 250.6 is kept: 251 fails")
        << TraceText().sent("01;;D7").hold({250, 251}, 1).result(120, 80, 93, 72).text()
        << QList<double>{}
        << QStringList{"fail measurement adult max 251 limit 250.6 at 1500",
                       "results 1, 999 0",
                       "sys - n 1 mean 120.0 sd - 120.0..120.0 error -",
                       "dia - n 1 mean 80.0 sd - 80.0..80.0 error -",
                       "map - n 1 mean 93.0 sd - 93.0..93.0 error -",
                       "pulse - n 1 mean 72.0 sd - 72.0..72.0 error -",
                       "checks leak none static none pressure fail series none",
                       "overall fail"}
        << QStringList{} << "max_pressure_adult_mmHg=250.6";
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
        << QStringList{"leak incomplete hold 160.0 settle - drop 0.0 rate - window 0.0 by Break "
                       "(the pressure had not settled)",
                       "leak incomplete hold 160.0 settle - drop 0.0 rate - window 0.0 by Break "
                       "(the pressure had not settled)",
                       "fail leak test neonate max 160 limit 150 at 1500",
                       "pass leak test adult max 160 limit 300",
                       "checks leak incomplete static none pressure fail series none",
                       "overall fail"}
        << QStringList{} << QString();
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
                       "fail measurement adult max 310 limit 300 at 4500",
                       "checks leak none static none pressure fail series none", "overall fail"}
        << QStringList{} << QString();
    QTest::newRow("port lost mid measurement: its stretch is incomplete")
        << TraceText().sent("01;;D7").hold({150}, 1).event("lost: device removed").text()
        << QList<double>{}
        << QStringList{"incomplete measurement adult max 150 limit 300 (port lost: device removed, "
                       "2.0 s to 2.3 s)",
                       "gap port lost: device removed from 2000 to 2250 on COM1",
                       "checks leak none static none pressure incomplete series none",
                       "overall incomplete"}
        << QStringList{} << QString();

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
                       "checks leak none static none pressure pass series pass",
                       "overall pass"}
        << QStringList{} << QString();
    TraceText scattered;
    for (int sys : {100, 140, 100, 140, 120})
        scattered.result(sys, 86, 90, sys / 2);
    QTest::newRow("results scattered too far fail on SD, one off on mean error")
        << scattered.text() << QList<double>{120, 80}
        << QStringList{"results 5, 999 0",
                       "sys fail n 5 mean 120.0 sd 20.0 100.0..140.0 error 0.0",
                       "dia fail n 5 mean 86.0 sd 0.0 86.0..86.0 error 6.0",
                       "map - n 5 mean 90.0 sd 0.0 90.0..90.0 error -",
                       "pulse - n 5 mean 60.0 sd 10.0 50.0..70.0 error -",
                       "checks leak none static none pressure none series fail",
                       "overall fail"}
        << QStringList{} << QString();
    TraceText low;
    for (int dia : {73, 74, 75, 74, 74})
        low.result(120, dia, 90, 70);
    QTest::newRow("a mean error 6 below the set point fails")
        << low.text() << QList<double>{120, 80}
        << QStringList{"results 5, 999 0",
                       "sys pass n 5 mean 120.0 sd 0.0 120.0..120.0 error 0.0",
                       "dia fail n 5 mean 74.0 sd 0.7 73.0..75.0 error -6.0",
                       "map - n 5 mean 90.0 sd 0.0 90.0..90.0 error -",
                       "pulse - n 5 mean 70.0 sd 0.0 70.0..70.0 error -",
                       "checks leak none static none pressure none series fail",
                       "overall fail"}
        << QStringList{} << QString();
    QTest::newRow(
        "two results are too few: incomplete, 2 of 5 (was a fail on one degree of freedom)")
        << TraceText().result(100, 86, 90, 60).result(140, 86, 90, 80).text()
        << QList<double>{120, 80}
        << QStringList{"results 2, 999 0 (2 of 5 results)",
                       "sys incomplete n 2 mean 120.0 sd 28.3 100.0..140.0 error 0.0",
                       "dia incomplete n 2 mean 86.0 sd 0.0 86.0..86.0 error 6.0",
                       "map - n 2 mean 90.0 sd 0.0 90.0..90.0 error -",
                       "pulse - n 2 mean 70.0 sd 14.1 60.0..80.0 error -",
                       "checks leak none static none pressure none series incomplete",
                       "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("one result cannot give an SD: incomplete")
        << TraceText().result(120, 80, 93, 70).text() << QList<double>{120, 80}
        << QStringList{"results 1, 999 0 (1 of 5 results)",
                       "sys incomplete n 1 mean 120.0 sd - 120.0..120.0 error 0.0",
                       "dia incomplete n 1 mean 80.0 sd - 80.0..80.0 error 0.0",
                       "map - n 1 mean 93.0 sd - 93.0..93.0 error -",
                       "pulse - n 1 mean 70.0 sd - 70.0..70.0 error -",
                       "checks leak none static none pressure none series incomplete",
                       "overall incomplete"}
        << QStringList{} << QString();
    TraceText dropped;
    for (int i = 0; i < 6; ++i) {
        dropped.sent("01;;D7").hold({150}, 1).result(120, 80, 93, 70);
        if (i == 2)
            dropped.event("dropped 316 trace lines");
    }
    QTest::newRow(
        "dropped lines between measurements: series and over-pressure incomplete (was a pass)")
        << dropped.text() << QList<double>{120, 80}
        << QStringList{"pass measurement adult max 150 limit 300",
                       "pass measurement adult max 150 limit 300",
                       "pass measurement adult max 150 limit 300",
                       "pass measurement adult max 150 limit 300",
                       "pass measurement adult max 150 limit 300",
                       "pass measurement adult max 150 limit 300",
                       "results 6, 999 0 (traffic lost: 316 trace lines dropped, 5.3 s to 5.5 s)",
                       "sys incomplete n 6 mean 120.0 sd 0.0 120.0..120.0 error 0.0",
                       "dia incomplete n 6 mean 80.0 sd 0.0 80.0..80.0 error 0.0",
                       "map - n 6 mean 93.0 sd 0.0 93.0..93.0 error -",
                       "pulse - n 6 mean 70.0 sd 0.0 70.0..70.0 error -",
                       "gap 316 trace lines dropped from 5250 to 5500 on COM1",
                       "checks leak none static none pressure incomplete series incomplete",
                       "overall incomplete"}
        << QStringList{} << QString();
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
                       "checks leak none static none pressure none series none",
                       "overall none"}
        << QStringList{} << QString();
    QTest::newRow("checks cleared: only what follows counts")
        << TraceText()
               .sent("01;;D7")
               .hold({320}, 1)
               .result(150, 90, 100, 60)
               .event("dropped 3 trace lines")
               .sent("14;;DB")
               .event("reference 100")
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
                       "checks leak none static none pressure pass series none",
                       "overall pass"}
        << QStringList{"100: too few pressure readings in the last 2 s"} << QString();
}

void ChecksEngineTest::tracesGiveKnownVerdicts()
{
    QFETCH(QString, trace);
    QFETCH(QList<double>, setPoint);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, refusals);
    QFETCH(QString, limits);
    std::optional<SetPoint> point;
    if (!setPoint.isEmpty()) {
        point = SetPoint{setPoint.at(0), setPoint.at(1), {}, {}};
        if (setPoint.size() > 2)
            point->mean = setPoint.at(2);
    }
    QStringList refused;
    const CheckReport report = reportOf(trace, point, &refused, limitsOf(limits));
    QCOMPARE(describe(report), expected);
    QCOMPARE(refused, refusals);
}

void ChecksEngineTest::inflationTimeJudged_data()
{
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("signalled"); // inflationTooLong as it came
    QTest::addColumn<QString>("limits");        // key=value lines over the defaults

    // START at 1.0 s; the readings from 1.25 s, every 0.25 s; the result
    // line after them.
    const auto measurement = [](int mmHg, double seconds) {
        return TraceText().sent("01;;D7").hold({mmHg}, seconds).result(120, 80, 93, 70).text();
    };
    QTest::newRow("181 s above 15 mmHg fails, at once while it runs")
        << measurement(150, 181)
        << QStringList{"fail measurement adult 181.0 s above 15 limit 180 at 181500",
                       "inflation fail", "overall fail"}
        << QStringList{"at 181500 after 180.25 s, limit 180, while it runs"} << QString();
    QTest::newRow("180 s on the limit passes")
        << measurement(150, 180)
        << QStringList{"pass measurement adult 180.0 s above 15 limit 180", "inflation pass",
                       "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("179 s passes")
        << measurement(150, 179)
        << QStringList{"pass measurement adult 179.0 s above 15 limit 180", "inflation pass",
                       "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("a cuff at 15 mmHg exactly does not count")
        << measurement(15, 300)
        << QStringList{"pass measurement adult 0.0 s above 15 limit 180", "inflation pass",
                       "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("time above adds up: 100 s and 81 s at 16 mmHg, 100 s at 15 between, fails")
        << TraceText()
               .sent("01;;D7")
               .hold({16}, 100)
               .hold({15}, 100)
               .hold({16}, 81)
               .result(120, 80, 93, 70)
               .text()
        << QStringList{"fail measurement adult 181.0 s above 15 limit 180 at 281500",
                       "inflation fail", "overall fail"}
        << QStringList{"at 281500 after 180.25 s, limit 180, while it runs"} << QString();
    QTest::newRow("neonate at 6 mmHg for 91 s fails (threshold 5, limit 90)")
        << TraceText().sent("25;;DD").sent("01;;D7").hold({6}, 91).result(120, 80, 93, 70).text()
        << QStringList{"fail measurement neonate 91.0 s above 5 limit 90 at 91750",
                       "inflation fail", "overall fail"}
        << QStringList{"at 91750 after 90.25 s, limit 90, while it runs"} << QString();
    QTest::newRow("a leak test and a manometer held 300 s each are exempt")
        << TraceText()
               .sent("17;;DE")
               .hold({250}, 300)
               .sent("X")
               .hold({0}, 1)
               .sent("14;;DB")
               .hold({250}, 300)
               .sent("X")
               .text()
        << QStringList{"inflation none", "overall pass"} << QStringList{} << QString();
    QTest::newRow("a measurement the board started by itself counts")
        << TraceText().hold({150}, 181).result(120, 80, 93, 70).text()
        << QStringList{"fail measurement adult 181.0 s above 15 limit 180 at 181250",
                       "inflation fail", "overall fail"}
        << QStringList{"at 181250 after 180.25 s, limit 180, while it runs"} << QString();
    QTest::newRow("Break ends it: the vent does not count")
        << TraceText().sent("01;;D7").hold({150}, 179).sent("X").hold({100}, 20).text()
        << QStringList{"pass measurement adult 179.0 s above 15 limit 180", "inflation pass",
                       "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("inflation_adult_s=60 from the settings: 61 s fails")
        << measurement(150, 61)
        << QStringList{"fail measurement adult 61.0 s above 15 limit 60 at 61500", "inflation fail",
                       "overall fail"}
        << QStringList{"at 61500 after 60.25 s, limit 60, while it runs"} << "inflation_adult_s=60";
    QTest::newRow("checks cleared mid measurement: the count starts again at the clearing")
        << TraceText()
               .sent("01;;D7")
               .hold({150}, 100)
               .event("checks cleared")
               .hold({150}, 100)
               .result(120, 80, 93, 70)
               .text()
        << QStringList{"pass measurement adult 100.3 s above 15 limit 180", "inflation pass",
                       "overall pass"}
        << QStringList{} << QString();
    QTest::newRow("port lost mid measurement: incomplete")
        << TraceText().sent("01;;D7").hold({150}, 10).event("lost: device removed").text()
        << QStringList{"incomplete measurement adult 10.0 s above 15 limit 180 (port lost: "
                       "device removed, 11.0 s to 11.3 s)",
                       "inflation incomplete", "overall incomplete"}
        << QStringList{} << QString();
    QTest::newRow("dropped lines between measurements: inflation time incomplete")
        << measurement(150, 1) + TraceText().wait(3).event("dropped 9 trace lines").text() +
               TraceText().wait(4).sent("01;;D7").hold({150}, 1).result(120, 80, 93, 70).text()
        << QStringList{"pass measurement adult 1.0 s above 15 limit 180",
                       "pass measurement adult 1.0 s above 15 limit 180", "inflation incomplete",
                       "overall incomplete"}
        << QStringList{} << QString();
}

void ChecksEngineTest::inflationTimeJudged()
{
    QFETCH(QString, trace);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, signalled);
    QFETCH(QString, limits);
    QStringList inflations;
    const CheckReport report =
        reportOf(trace, std::nullopt, nullptr, limitsOf(limits), &inflations);
    QStringList lines;
    for (const CheckReport::Inflation &i : report.inflation)
        lines << QStringLiteral("%1 %2 %3 %4 s above %5 limit %6%7%8")
                     .arg(verdictName(i.verdict), stretchKindName(i.kind),
                          patientModeName(i.patient), n1(i.seconds))
                     .arg(i.thresholdMmHg)
                     .arg(i.limitS)
                     .arg(i.exceededMs ? QStringLiteral(" at %1").arg(*i.exceededMs) : "",
                          because(i.reason));
    const auto name = [](Verdict v) {
        return v == Verdict::None ? QStringLiteral("none") : verdictName(v);
    };
    lines << "inflation " + name(report.inflationVerdict) << "overall " + name(report.verdict);
    QCOMPARE(lines, expected);
    QCOMPARE(inflations, signalled);
}

// Live, the window shows seconds left, drop so far and the running rate.
// The stretch that runs stands at the end of the engine's lists, brought up
// to date in place, and report() shares the lists. A report taken at any
// entry must list the stretches as the port closing there would leave them,
// and keep what it said while the engine goes on (none listed twice, none
// stale, none changed afterwards).
void ChecksEngineTest::reportsTakenAsTheTraceGoes_data()
{
    QTest::addColumn<QString>("trace");

    QTest::newRow("over-pressure in a measurement, then its result") << TraceText()
                                                                            .sent("01;;D7")
                                                                            .ramp(0, 600, 35)
                                                                            .hold({305, 280}, 5)
                                                                            .result(120, 80, 93, 70)
                                                                            .text();
    QTest::newRow("lines dropped in a leak test, then Break") << TraceText()
                                                                     .leakTest(200, 4, 30)
                                                                     .event("dropped 5 trace lines")
                                                                     .hold({199}, 5)
                                                                     .sent("X")
                                                                     .text();
    QTest::newRow("checks cleared in a measurement") << TraceText()
                                                            .sent("01;;D7")
                                                            .ramp(0, 600, 10)
                                                            .event("checks cleared")
                                                            .hold({100}, 5)
                                                            .result(120, 80, 93, 70)
                                                            .text();
    QTest::newRow("too long inflated in neonate mode, the trace cut on another port")
        << TraceText()
               .sent("25;;DD")
               .sent("01;;D7")
               .hold({100}, 95)
               .result(120, 80, 93, 70)
               .sent("01;;D7")
               .hold({60}, 5)
               .port("COM2")
               .pressure(40)
               .hold({50}, 2)
               .text();
}

void ChecksEngineTest::reportsTakenAsTheTraceGoes()
{
    QFETCH(QString, trace);
    const auto stretches = [](const CheckReport &r) {
        QStringList all = describe(r).filter(QRegularExpression("^\\S+ (measurement|leak|man)"));
        for (const CheckReport::Inflation &i : r.inflation)
            all << QStringLiteral("inflation %1 %2 %3 s from %4 to %5%6")
                       .arg(verdictName(i.verdict), patientModeName(i.patient), n1(i.seconds))
                       .arg(i.startMs)
                       .arg(i.endMs)
                       .arg(i.exceededMs ? QStringLiteral(" at %1").arg(*i.exceededMs) : "");
        return all;
    };
    QByteArray bytes = trace.toUtf8();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const QStringList traceLines = trace.split('\n', Qt::SkipEmptyParts);
    ChecksEngine engine;
    QList<CheckReport> taken;
    QList<QStringList> said;
    for (const TrafficEntry &entry : TraceReader::read(buffer)) {
        engine.feed(entry);
        taken << engine.report();
        said << stretches(taken.constLast());
        const QString closed = QStringLiteral("%1 %2 closed\n").arg(entry.ms).arg(entry.port);
        const QStringList upToHere = traceLines.mid(0, taken.size());
        QCOMPARE(said.constLast(),
                 stretches(reportOf(upToHere.join('\n') + '\n' + closed, std::nullopt)));
    }
    QCOMPARE(taken.size(), traceLines.size());
    for (qsizetype i = 0; i < taken.size(); ++i)
        QCOMPARE(stretches(taken.at(i)), said.at(i));
}

void ChecksEngineTest::leakStateRunsDown()
{
    QByteArray bytes = TraceText().leakTest(200, 6, 36).text().toUtf8();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ChecksEngine engine;
    QList<ChecksEngine::LeakState::Phase> phases;
    double leftWhileSettling = -1;
    for (const TrafficEntry &entry : TraceReader::read(buffer)) {
        engine.feed(entry);
        const ChecksEngine::LeakState state = engine.leakState();
        if (phases.isEmpty() || phases.constLast() != state.phase)
            phases << state.phase;
        if (entry.ms == 16250)
            leftWhileSettling = state.secondsLeft;
    }
    using Phase = ChecksEngine::LeakState::Phase;
    QCOMPARE(phases, (QList<Phase>{Phase::PumpingUp, Phase::Settling, Phase::Measuring}));
    // The peak is at 6.25 s: 10 s later, at least 10 s of settling and the window remain.
    QCOMPARE(leftWhileSettling, 70.0);
    const ChecksEngine::LeakState state = engine.leakState();
    QCOMPARE(state.holdMmHg, std::optional<double>(200));
    QCOMPARE(state.secondsLeft, 44.25); // the window began at 26.25 s, 20 s after the peak
    QCOMPARE(state.dropMmHg, 2.0);
    QVERIFY(state.rateMmHgPerMin && std::abs(*state.rateMmHgPerMin - 6) < 0.5);
}

// A long series keeps every result but the curves of its first and latest
// measurements only.
void ChecksEngineTest::curvesOfFirstAndLatestKept()
{
    constexpr int kCount = 30;
    TraceText trace;
    for (int i = 0; i < kCount; ++i)
        trace.sent("01;;D7").hold({150}, 1).result(120, 80, 93, 70);
    const CheckReport report = reportOf(trace.text(), std::nullopt);
    QCOMPARE(report.measurements.count, kCount);
    QString kept;
    for (const CheckReport::Measurement &m : report.measurements.list) {
        QCOMPARE(m.samples.isEmpty(), !m.hasCurve);
        kept += m.hasCurve ? 'c' : '-';
    }
    QCOMPARE(kept,
             QString(ChecksEngine::kCurvesFirst, 'c') +
                 QString(kCount - ChecksEngine::kCurvesFirst - ChecksEngine::kCurvesLatest, '-') +
                 QString(ChecksEngine::kCurvesLatest, 'c'));
}

QTEST_GUILESS_MAIN(ChecksEngineTest)
#include "checks_engine_test.moc"
