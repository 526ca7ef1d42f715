// SPDX-License-Identifier: MIT
// The report's JSON form (its keys, numbers unrounded, null where there is
// nothing, "incomplete" where nothing could be judged, strings as given) and
// the [checks] limits read from a settings file.
#include "check_limits.h"
#include "json_writer.h"
#include "report_json.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using Change = std::function<void(CheckReport &)>;
Q_DECLARE_METATYPE(Change)

namespace {

// A report with values that one-decimal rounding would change.
CheckReport sample()
{
    CheckReport r;
    r.session.program = "tarnvik 1.0.1";
    r.session.board = "SN-1";
    r.session.started = QDateTime::fromString("2026-12-07T14:05:09+01:00", Qt::ISODate);
    CheckReport::LeakTest leak;
    leak.holdMmHg = 200;
    leak.dropMmHg = 5.96;
    leak.rateMmHgPerMin = 5.95;
    leak.windowS = 60;
    leak.complete = true;
    leak.verdict = Verdict::Pass;
    r.leakTests << leak << CheckReport::LeakTest();
    CheckReport::StaticPoint point;
    point.referenceMmHg = 100;
    point.boardMmHg = 99.96;
    point.errorMmHg = -0.04;
    point.verdict = Verdict::Pass;
    r.staticPoints << point;
    point.errorMmHg = -0.0;
    r.staticPoints << point;
    CheckReport::Stretch stretch;
    stretch.patient = PatientMode::Neonate;
    stretch.maxMmHg = 151;
    stretch.limitMmHg = 150;
    stretch.exceededMs = 12345;
    stretch.verdict = Verdict::Fail;
    r.overPressure << stretch;
    r.measurements.count = 2;
    r.measurements.ended999 = 1;
    r.measurements.systolic = {2, 120.25, 1.41421356, 119, 121.5, 120.0, 0.25, Verdict::Pass};
    r.measurements.pulse = {1, 70, std::nullopt, 70, 70, std::nullopt, std::nullopt, Verdict::None};
    r.verdict = Verdict::Fail;
    return r;
}

// A run under a plan: a leak step passed, a static step with its second
// point not recorded, a series step not run; one measurement too long inflated.
void underPlan(CheckReport &r)
{
    r.plan = CheckReport::Plan{"Standard NIBP bench check",
                               "1.0",
                               QString(64, 'a'),
                               "adult",
                               {"leak_mmHg_per_min", "static_mmHg"}};
    CheckReport::PlanStep leak;
    leak.step = "leak";
    leak.ending = "done";
    leak.startMs = 1000;
    leak.endMs = 95500;
    leak.verdict = Verdict::Pass;
    leak.holdMinMmHg = 240;
    leak.holdMaxMmHg = 260;
    leak.leakTest = r.leakTests.first();
    CheckReport::PlanStep points;
    points.step = "static";
    points.ending = "done";
    points.startMs = 96000;
    points.endMs = 180000;
    points.reason = "no reading for 150 mmHg";
    points.points = {{250, r.staticPoints.first(), Verdict::Pass},
                     {150, std::nullopt, Verdict::Incomplete}};
    CheckReport::PlanStep series;
    series.step = "series";
    series.ending = series.reason = "not run";
    series.setPoint = SetPoint{120, 80, 93, std::nullopt};
    series.count = 5;
    series.pauseS = 3;
    r.steps = {leak, points, series};
    CheckReport::Inflation inflation;
    inflation.startMs = 200000;
    inflation.endMs = 381500;
    inflation.thresholdMmHg = 15;
    inflation.seconds = 181;
    inflation.limitS = 180;
    inflation.exceededMs = 380250;
    inflation.verdict = r.inflationVerdict = Verdict::Fail;
    r.inflation = {inflation};
}

QJsonValue at(const QJsonObject &root, const QString &path)
{
    QJsonValue value = root;
    for (const QString &step : path.split('/')) {
        bool index = false;
        const int i = step.toInt(&index);
        value = index ? value.toArray().at(i) : value.toObject().value(step);
    }
    return value;
}

} // namespace

class ChecksReportTest : public QObject
{
    Q_OBJECT

private slots:
    void jsonHasTheKeysAndFullValues_data();
    void jsonHasTheKeysAndFullValues();
    void jsonTextIsTheOneQtWrites_data();
    void jsonTextIsTheOneQtWrites();
    void jsonValuesWrittenAsQtDoes_data();
    void jsonValuesWrittenAsQtDoes();
    void limitsComeFromTheSettingsFile_data();
    void limitsComeFromTheSettingsFile();

private:
    // The rows of the fields that explain a verdict: reasons, refusals, gaps.
    static void rowsOfTheNewFields(const Change &none);
    // The plan, its steps and the inflation times.
    static void planRows(const Change &none);
    // The keys a script reads, each present.
    static void keyRows(const Change &none);
};

void ChecksReportTest::jsonHasTheKeysAndFullValues_data()
{
    QTest::addColumn<Change>("change"); // made to sample() first
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("expected");

    const Change none = [](CheckReport &) {
    };
    QTest::newRow("started with its offset")
        << none << "started" << QJsonValue("2026-12-07T14:05:09+01:00");
    QTest::newRow("operator not given is null")
        << none << "operator" << QJsonValue(QJsonValue::Null);
    QTest::newRow("limit as a number")
        << none << "limits/max_pressure_neonate_mmHg" << QJsonValue(150);
    QTest::newRow("limit 0.04 kept as given, was 0")
        << Change([](CheckReport &r) { r.limits.staticSpreadMmHg = 0.04; })
        << "limits/static_spread_mmHg" << QJsonValue(0.04);
    QTest::newRow("rate 5.95 kept, was rounded to 6")
        << none << "leak_tests/0/rate_mmHg_per_min" << QJsonValue(5.95);
    QTest::newRow("drop 5.96 kept, was rounded to 6")
        << none << "leak_tests/0/drop_mmHg" << QJsonValue(5.96);
    QTest::newRow("no hold, no rate: null")
        << none << "leak_tests/1/rate_mmHg_per_min" << QJsonValue(QJsonValue::Null);
    QTest::newRow("rate not finite: null")
        << Change([](CheckReport &r) { r.leakTests[0].rateMmHgPerMin = std::nan(""); })
        << "leak_tests/0/rate_mmHg_per_min" << QJsonValue(QJsonValue::Null);
    QTest::newRow("unfinished leak test is incomplete")
        << none << "leak_tests/1/verdict" << QJsonValue("incomplete");
    QTest::newRow("error -0.04 kept, was rounded to 0")
        << none << "static_points/0/error_mmHg" << QJsonValue(-0.04);
    QTest::newRow("error -0 is 0") << none << "static_points/1/error_mmHg" << QJsonValue(0.0);
    QTest::newRow("board 99.96 kept, was rounded to 100")
        << none << "static_points/0/board_mmHg" << QJsonValue(99.96);
    QTest::newRow("over-pressure kind")
        << none << "over_pressure/0/kind" << QJsonValue("measurement");
    QTest::newRow("over-pressure fail") << none << "over_pressure/0/verdict" << QJsonValue("fail");
    QTest::newRow("exceeded in seconds since the trace began")
        << none << "over_pressure/0/exceeded_at_s" << QJsonValue(12.345);
    QTest::newRow("999 count") << none << "measurements/ended_999" << QJsonValue(1);
    QTest::newRow("SD kept whole, was one decimal")
        << none << "measurements/systolic/sd" << QJsonValue(1.41421356);
    QTest::newRow("mean 120.25 kept, was 120.3")
        << none << "measurements/systolic/mean" << QJsonValue(120.25);
    QTest::newRow("pulse without reference has no verdict")
        << none << "measurements/pulse/verdict" << QJsonValue(QJsonValue::Null);
    QTest::newRow("one value has no SD")
        << none << "measurements/pulse/sd" << QJsonValue(QJsonValue::Null);
    QTest::newRow("overall") << none << "verdict" << QJsonValue("fail");
    QTest::newRow("nothing to judge reads incomplete, never null")
        << Change([](CheckReport &r) { r.verdict = Verdict::None; }) << "verdict"
        << QJsonValue("incomplete");
    QTest::newRow("board keeps a bidirectional override as given")
        << Change([](CheckReport &r) { r.session.board = QString("SN-\u202Eevil"); }) << "board"
        << QJsonValue(QString("SN-\u202Eevil"));
    rowsOfTheNewFields(none);
    planRows(none);
    keyRows(none);
}

void ChecksReportTest::keyRows(const Change &none)
{
    const QStringList required{
        "program",       "board",        "operator",       "reference_instrument",
        "started",       "limits",       "leak_tests",     "static_points",
        "over_pressure", "measurements", "verdict",        "refusals",
        "gaps",          "inflation",    "check_verdicts", "plan",
        "steps"};
    for (const QString &key : required)
        QTest::addRow("key %s present", qPrintable(key)) << none << key << QJsonValue("(present)");
    for (const CheckLimits::Key &key : CheckLimits::keys())
        QTest::addRow("limit %s present", key.name)
            << none << QStringLiteral("limits/%1").arg(key.name) << QJsonValue("(present)");
    for (const char *key : {"n", "mean", "sd", "min", "max", "reference", "mean_error", "verdict"})
        QTest::addRow("diastolic %s present", key)
            << none << QStringLiteral("measurements/diastolic/%1").arg(key)
            << QJsonValue("(present)");
}

void ChecksReportTest::planRows(const Change &none)
{
    const Change planned = underPlan;
    QTest::newRow("free check: plan null") << none << "plan" << QJsonValue(QJsonValue::Null);
    QTest::newRow("free check: no steps") << none << "steps" << QJsonValue(QJsonArray());
    QTest::newRow("free check: no inflation times")
        << none << "inflation" << QJsonValue(QJsonArray());
    QTest::newRow("plan version") << planned << "plan/version" << QJsonValue("1.0");
    QTest::newRow("plan SHA-256 whole") << planned << "plan/sha256" << QJsonValue(QString(64, 'a'));
    QTest::newRow("plan's fixed limits")
        << planned << "plan/fixed_limits/1" << QJsonValue("static_mmHg");
    QTest::newRow("plan name keeps a bidirectional override as given")
        << Change([](CheckReport &r) {
               underPlan(r);
               r.plan->name = QString("Plan \u202Eevil");
           })
        << "plan/name" << QJsonValue(QString("Plan \u202Eevil"));
    QTest::newRow("leak step's verdict") << planned << "steps/0/verdict" << QJsonValue("pass");
    QTest::newRow("leak step's hold range")
        << planned << "steps/0/hold_min_mmHg" << QJsonValue(240);
    QTest::newRow("leak step's leak test rate")
        << planned << "steps/0/leak_test/rate_mmHg_per_min" << QJsonValue(5.95);
    QTest::newRow("leak step's start") << planned << "steps/0/start_s" << QJsonValue(1);
    QTest::newRow("static step's reason")
        << planned << "steps/1/reason" << QJsonValue("no reading for 150 mmHg");
    QTest::newRow("planned point in the plan's order")
        << planned << "steps/1/points/1/planned_mmHg" << QJsonValue(150);
    QTest::newRow("planned point's reading and error")
        << planned << "steps/1/points/0/recorded/error_mmHg" << QJsonValue(-0.04);
    QTest::newRow("planned point not recorded: null")
        << planned << "steps/1/points/1/recorded" << QJsonValue(QJsonValue::Null);
    QTest::newRow("planned point not recorded: incomplete")
        << planned << "steps/1/points/1/verdict" << QJsonValue("incomplete");
    QTest::newRow("series step's count asked") << planned << "steps/2/count" << QJsonValue(5);
    QTest::newRow("series step's set point")
        << planned << "steps/2/set_point/mean" << QJsonValue(93);
    QTest::newRow("step not run: no start")
        << planned << "steps/2/start_s" << QJsonValue(QJsonValue::Null);
    QTest::newRow("step not run: no results")
        << planned << "steps/2/results" << QJsonValue(QJsonValue::Null);
    QTest::newRow("inflation 181 s") << planned << "inflation/0/seconds" << QJsonValue(181);
    QTest::newRow("inflation limit") << planned << "inflation/0/limit_s" << QJsonValue(180);
    QTest::newRow("inflation exceeded at")
        << planned << "inflation/0/exceeded_at_s" << QJsonValue(380.25);
    QTest::newRow("inflation fail") << planned << "inflation/0/verdict" << QJsonValue("fail");
    QTest::newRow("inflation's verdict beside the other checks'")
        << planned << "check_verdicts/inflation" << QJsonValue("fail");
    QTest::newRow("over-pressure's verdict beside it")
        << Change([](CheckReport &r) { r.overPressureVerdict = Verdict::Fail; })
        << "check_verdicts/over_pressure" << QJsonValue("fail");
    QTest::newRow("a check not done has no verdict")
        << none << "check_verdicts/inflation" << QJsonValue(QJsonValue::Null);
}

void ChecksReportTest::rowsOfTheNewFields(const Change &none)
{
    const Change incomplete = [](CheckReport &r) {
        r.leakTests[0].verdict = Verdict::Incomplete;
        r.leakTests[0].reason = "a gap in the traffic overlaps the window";
        r.leakTests[0].windowStartMs = 20500;
        r.leakTests[0].settled = false;
        r.leakTests[0].outliers = {{30250, 150}};
        r.overPressure[0].reason = "port lost";
        r.measurements.reason = "3 of 5 results";
        r.refusals << CheckReport::Refusal{61250, "COM1", 120.5, "hold the pressure steady"};
        r.gaps << CheckReport::Gap{5000, 9250, "COM1", "316 trace lines dropped"};
    };
    QTest::newRow("leak reason") << incomplete << "leak_tests/0/reason"
                                 << QJsonValue("a gap in the traffic overlaps the window");
    QTest::newRow("leak reason null when judged")
        << none << "leak_tests/0/reason" << QJsonValue(QJsonValue::Null);
    QTest::newRow("leak window start")
        << incomplete << "leak_tests/0/window_start_s" << QJsonValue(20.5);
    QTest::newRow("leak not settled") << incomplete << "leak_tests/0/settled" << QJsonValue(false);
    QTest::newRow("leak outlier's time")
        << incomplete << "leak_tests/0/outliers/0/at_s" << QJsonValue(30.25);
    QTest::newRow("stretch reason")
        << incomplete << "over_pressure/0/reason" << QJsonValue("port lost");
    QTest::newRow("measurements reason")
        << incomplete << "measurements/reason" << QJsonValue("3 of 5 results");
    QTest::newRow("refusal time") << incomplete << "refusals/0/at_s" << QJsonValue(61.25);
    QTest::newRow("refusal reference")
        << incomplete << "refusals/0/reference_mmHg" << QJsonValue(120.5);
    QTest::newRow("refusal reason")
        << incomplete << "refusals/0/reason" << QJsonValue("hold the pressure steady");
    QTest::newRow("gap end") << incomplete << "gaps/0/to_s" << QJsonValue(9.25);
    QTest::newRow("gap what") << incomplete << "gaps/0/what"
                              << QJsonValue("316 trace lines dropped");
    QTest::newRow("every measurement listed: a 999 has no values") << Change([](CheckReport &r) {
        CheckReport::Measurement m;
        m.ended999 = true;
        r.measurements.list = {CheckReport::Measurement(), m};
    }) << "measurements/list/1/systolic" << QJsonValue(QJsonValue::Null);
}

void ChecksReportTest::jsonHasTheKeysAndFullValues()
{
    QFETCH(Change, change);
    QFETCH(QString, path);
    QFETCH(QJsonValue, expected);
    CheckReport report = sample();
    change(report);
    const QJsonObject json = ReportJson::object(report);
    const QJsonValue value = at(json, path);
    if (expected == QJsonValue("(present)"))
        QVERIFY2(!value.isUndefined(), qPrintable(path));
    else
        QCOMPARE(value, expected);
}

// The streamed text is the one QJsonDocument writes indented: keys sorted,
// empty lists on two lines, numbers in their shortest form.
void ChecksReportTest::jsonTextIsTheOneQtWrites_data()
{
    QTest::addColumn<Change>("change"); // made to sample() first

    QTest::newRow("the sample") << Change([](CheckReport &) {});
    QTest::newRow("nothing in it: empty lists, nulls")
        << Change([](CheckReport &r) { r = CheckReport(); });
    QTest::newRow("every list filled, numbers of every form") << Change([](CheckReport &r) {
        CheckReport::Measurement m;
        m.ms = 1234567;
        m.port = "COM1";
        m.systolic = 121;
        m.pulse = -1;
        r.measurements.list = {m, CheckReport::Measurement()};
        r.leakTests[0].outliers = {{30250, 150}, {30500, -3}};
        r.leakTests[0].windowStartMs = 1e15;
        r.leakTests[0].dropMmHg = 1e-7;
        r.leakTests[0].settleS = 9007199254740992.0;  // 2^53: still an integer
        r.leakTests[0].windowS = 18014398509481984.0; // 2^54: no integer
        r.staticPoints[0].spreadMmHg = -1.5e300;
        r.refusals << CheckReport::Refusal{61250, "COM1", 120.5, "hold the pressure steady"};
        r.gaps << CheckReport::Gap{5000, 9250, "COM1", "316 trace lines dropped"};
        r.gaps << CheckReport::Gap{-1, 0, "", "port lost: \"x\"\n"};
        r.session.device = "/dev/ttyUSB0";
    });
    QTest::newRow("a plan with a step of each kind, inflation times") << Change([](CheckReport &r) {
        underPlan(r);
        r.steps[2].ending = "cancelled";
        r.steps[2].startMs = 200000;
        r.steps[2].endMs = 300000;
        r.steps[2].series = r.measurements;
        r.inflation << r.inflation.first();
        r.inflation.last().reason = "port lost";
    });
}

void ChecksReportTest::jsonTextIsTheOneQtWrites()
{
    QFETCH(Change, change);
    CheckReport report = sample();
    change(report);
    const QByteArray text = ReportJson::text(report);
    QJsonParseError error;
    const QJsonDocument read = QJsonDocument::fromJson(text, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(QString::fromUtf8(text), QString::fromUtf8(read.toJson(QJsonDocument::Indented)));
}

// Each value as QJsonDocument writes it: strings escaped and in UTF-8,
// numbers whole up to 2^53 as integers, others in their shortest form.
void ChecksReportTest::jsonValuesWrittenAsQtDoes_data()
{
    QTest::addColumn<QJsonValue>("value");

    QString controls;
    for (char16_t c = 0; c < 0x20; ++c)
        controls += QChar(c);
    QTest::newRow("every control character") << QJsonValue(controls + QChar(0x7f));
    QTest::newRow("quote, backslash, slash") << QJsonValue("a\"b\\c/d");
    QTest::newRow("two and three bytes of UTF-8, U+2028, U+FFFF")
        << QJsonValue(QString::fromUtf8("Grüße µ € \u2028 \u202E") + QChar(0xffff));
    QTest::newRow("a character beyond U+FFFF") << QJsonValue(QString::fromUtf8("cuff \U0001F600"));
    QTest::newRow("a lone high surrogate before a letter")
        << QJsonValue(QString(QChar(0xd83d)) + "x");
    QTest::newRow("a lone high surrogate at the end") << QJsonValue("x" + QString(QChar(0xdbff)));
    QTest::newRow("a lone low surrogate") << QJsonValue(QString(QChar(0xdc00)) + QChar(0xd800));
    QTest::newRow("0.1") << QJsonValue(0.1);
    QTest::newRow("-0 is 0") << QJsonValue(-0.0);
    QTest::newRow("-5.95") << QJsonValue(-5.95);
    QTest::newRow("1e-7") << QJsonValue(1e-7);
    QTest::newRow("2^53") << QJsonValue(9007199254740992.0);
    QTest::newRow("-2^53") << QJsonValue(-9007199254740992.0);
    QTest::newRow("2^54") << QJsonValue(18014398509481984.0);
    QTest::newRow("1e21, whole but past any integer") << QJsonValue(1e21);
    QTest::newRow("-1.5e300") << QJsonValue(-1.5e300);
    QTest::newRow("NaN is null") << QJsonValue(std::nan(""));
    QTest::newRow("infinity is null") << QJsonValue(-HUGE_VAL);
}

void ChecksReportTest::jsonValuesWrittenAsQtDoes()
{
    QFETCH(QJsonValue, value);
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    JsonWriter writer(buffer);
    writer.beginArray();
    value.isString() ? writer.value(value.toString()) : writer.value(value.toDouble());
    writer.end();
    QVERIFY(writer.finish());
    QCOMPARE(text, QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Indented));
}

void ChecksReportTest::limitsComeFromTheSettingsFile_data()
{
    QTest::addColumn<QString>("content"); // "" writes no file, "<fifo>" makes a FIFO
    QTest::addColumn<QString>("limits");  // the values that differ from the defaults
    QTest::addColumn<QStringList>("problems");

    QTest::newRow("no file: defaults") << ""
                                       << "" << QStringList{};
    QTest::newRow("group beside [ports], any letter case")
        << "[ports]\nCOM5=/dev/ttyACM0\n[Checks]\nLEAK_mmHg_per_min=4.5\nsd_mmHg=6\n"
        << "leak_mmHg_per_min 4.5 sd_mmHg 6" << QStringList{};
    QTest::newRow("bad values keep the default and are named")
        << "[checks]\nstatic_mmHg=abc\nmean_error_mmHg=-1\nsd_mmHg=0\nleak_window_s=30\n"
        << "leak_window_s 30"
        << QStringList{"static_mmHg=abc in [checks] is no number from 0.01 to 50 mmHg; the "
                       "default 3 is used",
                       "mean_error_mmHg=-1 in [checks] is no number from 0.01 to 50 mmHg; the "
                       "default 5 is used",
                       "sd_mmHg=0 in [checks] is no number from 0.01 to 50 mmHg; the default 8 "
                       "is used"};
    QTest::newRow("huge values are named: 1e308, 3e9")
        << "[checks]\nleak_window_s=1e308\nmax_pressure_adult_mmHg=3e9\n"
        << ""
        << QStringList{"leak_window_s=1e308 in [checks] is no number from 1 to 3600 s; the "
                       "default 60 is used",
                       "max_pressure_adult_mmHg=3e9 in [checks] is no number from 1 to 600 mmHg; "
                       "the default 300 is used"};
    QTest::newRow("each end of a range is taken")
        << "[checks]\nstatic_mmHg=0.01\nmax_pressure_neonate_mmHg=600\nseries_min_n=1000\n"
           "leak_settle_max_s=20\nleak_settle_s=1\n"
        << "static_mmHg 0.01 leak_settle_s 1 leak_settle_max_s 20 max_pressure_neonate_mmHg 600 "
           "series_min_n 1000"
        << QStringList{};
    QTest::newRow("just outside a range, a fraction of a count: named")
        << "[checks]\nleak_settle_max_s=19.9\nseries_min_n=2.5\nstatic_spread_mmHg=50.01\n"
        << ""
        << QStringList{"leak_settle_max_s=19.9 in [checks] is no number from 20 to 3600 s; the "
                       "default 60 is used",
                       "series_min_n=2.5 in [checks] is no whole number from 2 to 1000; the "
                       "default 5 is used",
                       "static_spread_mmHg=50.01 in [checks] is no number from 0.01 to 50 mmHg; "
                       "the default 2 is used"};
    QTest::newRow("a fractional limit is kept as given")
        << "[checks]\nmax_pressure_adult_mmHg=250.6\n"
        << "max_pressure_adult_mmHg 250.6" << QStringList{};
    QTest::newRow("longest settling below the shortest: named, raised to it")
        << "[checks]\nleak_settle_s=30\nleak_settle_max_s=25\n"
        << "leak_settle_s 30 leak_settle_max_s 30"
        << QStringList{"leak_settle_max_s=25 in [checks] is below leak_settle_s=30; the leak "
                       "test settles for 30 s at most"};
    QTest::newRow("shortest settling above the default longest: named")
        << "[checks]\nleak_settle_s=90\n"
        << "leak_settle_s 90 leak_settle_max_s 90"
        << QStringList{"leak_settle_max_s=60 in [checks] is below leak_settle_s=90; the leak "
                       "test settles for 90 s at most"};
    // QSettings reads on past the broken line and takes "[checks" as the
    // group; the file is unusable all the same, as for [ports].
    QTest::newRow("an unclosed [checks group: the defaults, as said (were its values)")
        << "[ports]\nCOM5=/dev/ttyACM0\n[checks\nleak_mmHg_per_min=4\n"
        << ""
        << QStringList{"%1 is not a readable settings file (line 3: [checks); the checks use "
                       "their default limits"};
    QTest::newRow("a FIFO in its place is named, never opened")
        << "<fifo>"
        << ""
        << QStringList{"%1 could not be read (it is a FIFO, not a file); the checks use "
                       "their default limits"};
    QTest::newRow("unknown key is named")
        << "[checks]\nleak_rate=4\n"
        << "" << QStringList{"unknown entry \"leak_rate\" in [checks]"};
}

void ChecksReportTest::limitsComeFromTheSettingsFile()
{
    QFETCH(QString, content);
    QFETCH(QString, limits);
    QFETCH(QStringList, problems);
    QTemporaryDir dir;
    const QString path = dir.filePath("tarnvik.conf");
    if (content == QLatin1String("<fifo>")) {
#ifdef Q_OS_UNIX
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#else
        QSKIP("no FIFOs here");
#endif
    } else if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content.toUtf8());
    }
    QStringList found;
    const CheckLimits read = CheckLimits::load(path, &found);
    const CheckLimits standard;
    QStringList differ;
    for (const CheckLimits::Key &key : CheckLimits::keys()) {
        if (read.*(key.value) != standard.*(key.value))
            differ << QStringLiteral("%1 %2").arg(key.name).arg(read.*(key.value));
    }
    QCOMPARE(differ.join(' '), limits);
    for (QString &problem : problems)
        problem.replace(QLatin1String("%1"), path);
    found.sort();
    problems.sort();
    QCOMPARE(found, problems);
}

QTEST_GUILESS_MAIN(ChecksReportTest)
#include "checks_report_test.moc"
