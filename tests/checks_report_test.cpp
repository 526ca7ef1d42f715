// SPDX-License-Identifier: MIT
// The report's JSON form (its keys, one-decimal numbers, null where there is
// nothing) and the [checks] limits read from a settings file.
#include "check_limits.h"
#include "report_json.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// A report with values that test the rounding.
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
    CheckReport::Stretch stretch;
    stretch.kind = "measurement";
    stretch.patient = "neonate";
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
    void jsonHasTheKeysAndRounds_data();
    void jsonHasTheKeysAndRounds();
    void limitsComeFromTheSettingsFile_data();
    void limitsComeFromTheSettingsFile();
};

void ChecksReportTest::jsonHasTheKeysAndRounds_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("expected");

    QTest::newRow("started with its offset")
        << "started" << QJsonValue("2026-12-07T14:05:09+01:00");
    QTest::newRow("operator not given is null") << "operator" << QJsonValue(QJsonValue::Null);
    QTest::newRow("limit as a number") << "limits/max_pressure_neonate_mmHg" << QJsonValue(150);
    QTest::newRow("rate 5.95 rounds to 6") << "leak_tests/0/rate_mmHg_per_min" << QJsonValue(6.0);
    QTest::newRow("drop 5.96 rounds to 6") << "leak_tests/0/drop_mmHg" << QJsonValue(6.0);
    QTest::newRow("no hold, no rate: null")
        << "leak_tests/1/rate_mmHg_per_min" << QJsonValue(QJsonValue::Null);
    QTest::newRow("unfinished leak test is incomplete")
        << "leak_tests/1/verdict" << QJsonValue("incomplete");
    QTest::newRow("error -0.04 is 0, not -0") << "static_points/0/error_mmHg" << QJsonValue(0.0);
    QTest::newRow("board 99.96 rounds to 100") << "static_points/0/board_mmHg" << QJsonValue(100.0);
    QTest::newRow("over-pressure kind") << "over_pressure/0/kind" << QJsonValue("measurement");
    QTest::newRow("over-pressure fail") << "over_pressure/0/verdict" << QJsonValue("fail");
    QTest::newRow("999 count") << "measurements/ended_999" << QJsonValue(1);
    QTest::newRow("SD to one decimal") << "measurements/systolic/sd" << QJsonValue(1.4);
    QTest::newRow("mean 120.25 to one decimal")
        << "measurements/systolic/mean" << QJsonValue(120.3);
    QTest::newRow("pulse without reference has no verdict")
        << "measurements/pulse/verdict" << QJsonValue(QJsonValue::Null);
    QTest::newRow("one value has no SD") << "measurements/pulse/sd" << QJsonValue(QJsonValue::Null);
    QTest::newRow("overall") << "verdict" << QJsonValue("fail");

    const QStringList required{
        "program",    "board",         "operator",      "reference_instrument", "started", "limits",
        "leak_tests", "static_points", "over_pressure", "measurements",         "verdict"};
    for (const QString &key : required)
        QTest::addRow("key %s present", qPrintable(key)) << key << QJsonValue("(present)");
    for (const char *key : {"static_mmHg", "leak_mmHg_per_min", "max_pressure_adult_mmHg",
                            "max_pressure_neonate_mmHg", "mean_error_mmHg", "sd_mmHg"})
        QTest::addRow("limit %s present", key)
            << QStringLiteral("limits/%1").arg(key) << QJsonValue("(present)");
    for (const char *key : {"n", "mean", "sd", "min", "max", "reference", "mean_error", "verdict"})
        QTest::addRow("diastolic %s present", key)
            << QStringLiteral("measurements/diastolic/%1").arg(key) << QJsonValue("(present)");
}

void ChecksReportTest::jsonHasTheKeysAndRounds()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, expected);
    const QJsonObject json = ReportJson::object(sample());
    const QJsonValue value = at(json, path);
    if (expected == QJsonValue("(present)"))
        QVERIFY2(!value.isUndefined(), qPrintable(path));
    else
        QCOMPARE(value, expected);
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
