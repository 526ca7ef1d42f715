// SPDX-License-Identifier: MIT
// Test plans read strictly: every refusal names its key by its path, a good
// plan reads back whole with the SHA-256 of its bytes, the limits combine
// with the settings file's, and the plan file's description (the JSON Schema
// and docs/plans.md, built into this test) agrees with the parser.
#include "test_plan.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// The built-in plan with `from` replaced by `to` (which must be there once).
QByteArray edited(const QByteArray &from, const QByteArray &to)
{
    QByteArray text = TestPlan::standardText();
    if (text.count(from) != 1)
        qFatal("\"%s\" is not in the built-in plan once", from.constData());
    return text.replace(from, to);
}

QString number(double value)
{
    return CheckLimits::text(value);
}

// A plan in one line: what it holds, step by step.
QString describe(const TestPlan &plan)
{
    QStringList parts{QStringLiteral("%1 %2 %3")
                          .arg(plan.name(), plan.version(), TestPlan::patientName(plan.patient()))};
    QStringList limits;
    for (const TestPlan::Limit &limit : plan.limits())
        limits << QStringLiteral("%1=%2").arg(QLatin1String(limit.key->name), number(limit.value));
    parts << QStringLiteral("limits ") + limits.join(' ');
    for (const TestPlan::Step &step : plan.steps()) {
        QString text = TestPlan::stepName(step.kind);
        if (step.kind == TestPlan::Step::Kind::Leak) {
            text += QStringLiteral(" %1..%2").arg(number(step.leak.holdMinMmHg),
                                                  number(step.leak.holdMaxMmHg));
        } else if (step.kind == TestPlan::Step::Kind::Static) {
            for (double point : step.staticPressure.pointsMmHg)
                text += ' ' + number(point);
        } else {
            const SetPoint &set = step.series.setPoint;
            text += QStringLiteral(" %1/%2%3 x%4 pause %5")
                        .arg(number(set.systolic), number(set.diastolic),
                             set.mean ? '/' + number(*set.mean) : QString())
                        .arg(step.series.count)
                        .arg(number(step.series.pauseS));
        }
        parts << text;
    }
    return parts.join(QStringLiteral("; "));
}

QString outcome(const TestPlan::Parsed &parsed)
{
    return parsed.plan ? describe(*parsed.plan) : parsed.problem->text();
}

const QString kStandard = QStringLiteral(
    "Standard NIBP bench check 1.0 adult; limits static_mmHg=3 leak_mmHg_per_min=6; leak "
    "240..260; static 250 200 150 100 50 0; series 120/80/93 x5 pause 3");

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/docs/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no resource %s", qPrintable(name));
    return file.readAll();
}

} // namespace

class TestPlanTest : public QObject
{
    Q_OBJECT

private slots:
    void plansReadOrRefused_data();
    void plansReadOrRefused();
    void goodPlanReadBackWithItsHash();
    void filesReadOrRefused();
    void limitsCombineWithTheSettings_data();
    void limitsCombineWithTheSettings();
    void schemaKnowsEveryLimit();
    void docsListEveryLimit();
    void documentedPlansRead();
};

void TestPlanTest::plansReadOrRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected"); // the plan in one line, or the problem

    QTest::newRow("the built-in plan") << TestPlan::standardText() << kStandard;
    QTest::newRow("hold_min on hold_max, points on 0 and 300, count 2, pause 0")
        << edited("240, \"hold_max_mmHg\": 260", "250, \"hold_max_mmHg\": 250")
               .replace("[250, 200", "[300, 200")
               .replace("\"count\": 5, \"pause_s\": 3", "\"count\": 2, \"pause_s\": 0")
        << QString(kStandard)
               .replace("240..260", "250..250")
               .replace("static 250", "static 300")
               .replace("x5 pause 3", "x2 pause 0");
    QTest::newRow("no limits fixed, set point without its mean, one step")
        << QByteArray(R"({"plan": "p", "version": "v", "patient": "neonate", "limits": {},
                         "steps": [{"series": {"set_point": "70.5/45", "count": 5,
                                               "pause_s": 1.5}}]})")
        << "p v neonate; limits ; series 70.5/45 x5 pause 1.5";

    QTest::newRow("not an object") << QByteArray("[]") << "not a JSON object";
    QTest::newRow("not JSON") << QByteArray() << "not JSON: illegal value at byte 0";
    QTest::newRow("trailing garbage")
        << TestPlan::standardText() + "x"
        << QStringLiteral("not JSON: garbage at the end of the document at byte %1")
               .arg(TestPlan::standardText().size());
    QTest::newRow("unknown key at the top")
        << edited("\"version\"", "\"author\": \"A. Berg\", \"version\"") << "author: unknown key";
    QTest::newRow("unknown key in a step")
        << edited("\"hold_max_mmHg\": 260", "\"hold_max_mmHg\": 260, \"target_mmHg\": 250")
        << "steps[0].leak.target_mmHg: unknown key";
    QTest::newRow("unknown kind of step")
        << edited("{ \"leak\":", "{ \"vent\":")
        << "steps[0].vent: unknown key; a step is one of leak, static, series";
    QTest::newRow("two kinds in one step")
        << edited("{ \"leak\": { \"hold_min_mmHg\": 240, \"hold_max_mmHg\": 260 } }",
                  "{ \"leak\": { \"hold_min_mmHg\": 240, \"hold_max_mmHg\": 260 }, "
                  "\"static\": { \"points_mmHg\": [1] } }")
        << "steps[0]: 2 keys; a step is one of leak, static, series";
    QTest::newRow("an empty step")
        << edited("{ \"leak\": { \"hold_min_mmHg\": 240, \"hold_max_mmHg\": 260 } }", "{}")
        << "steps[0]: 0 keys; a step is one of leak, static, series";
    QTest::newRow("a step that is no object")
        << edited("{ \"leak\": { \"hold_min_mmHg\": 240, \"hold_max_mmHg\": 260 } }", "\"leak\"")
        << "steps[0]: a string, not an object";
    QTest::newRow("missing field at the top")
        << edited("\"version\": \"1.0\",\n", "") << "version: missing";
    QTest::newRow("missing field in a step")
        << edited("\"count\": 5, ", "") << "steps[2].series.count: missing";
    QTest::newRow("wrong type: a count as a string")
        << edited("\"count\": 5", "\"count\": \"5\"")
        << "steps[2].series.count: a string, not a number";
    QTest::newRow("wrong type: a hold as true")
        << edited("\"hold_min_mmHg\": 240", "\"hold_min_mmHg\": true")
        << "steps[0].leak.hold_min_mmHg: true or false, not a number";
    QTest::newRow("wrong type: limits as a list")
        << edited("{ \"leak_mmHg_per_min\": 6, \"static_mmHg\": 3 }", "[6, 3]")
        << "limits: a list, not an object";
    QTest::newRow("wrong type: a name as a number")
        << edited("\"Standard NIBP bench check\"", "7") << "plan: a number, not a string";
    QTest::newRow("an empty name")
        << edited("\"Standard NIBP bench check\"", "\" \"") << "plan: empty";
    QTest::newRow("hold_min above hold_max")
        << edited("240, \"hold_max_mmHg\": 260", "260, \"hold_max_mmHg\": 240")
        << "steps[0].leak.hold_min_mmHg: 260 is above hold_max_mmHg 240";
    QTest::newRow("hold_min 0.5 above hold_max")
        << edited("240, \"hold_max_mmHg\": 260", "250.5, \"hold_max_mmHg\": 250")
        << "steps[0].leak.hold_min_mmHg: 250.5 is above hold_max_mmHg 250";
    QTest::newRow("a hold above 300")
        << edited("\"hold_max_mmHg\": 260", "\"hold_max_mmHg\": 300.5")
        << "steps[0].leak.hold_max_mmHg: 300.5 is outside 0..300 mmHg";
    QTest::newRow("a point above 300")
        << edited("[250, 200", "[250, 301")
        << "steps[1].static.points_mmHg[1]: 301 is outside 0..300 mmHg";
    QTest::newRow("a point below 0") << edited("50, 0]", "50, -1]")
                                     << "steps[1].static.points_mmHg[5]: -1 is outside 0..300 mmHg";
    QTest::newRow("a point as a string")
        << edited("50, 0]", "50, \"0\"]")
        << "steps[1].static.points_mmHg[5]: a string, not a number";
    QTest::newRow("empty points")
        << edited("[250, 200, 150, 100, 50, 0]", "[]")
        << "steps[1].static.points_mmHg: an empty list; a static step holds one point at least";
    QTest::newRow("points not a list") << edited("[250, 200, 150, 100, 50, 0]", "150")
                                       << "steps[1].static.points_mmHg: a number, not a list";
    for (const char *bad : {"80/120", "120/120", "120", "120/80/93/70", "120/0", "120/80/0",
                            "120 / 80", "120/80.25", "1200/80", "sys/dia"}) {
        QTest::addRow("a bad set point: %s", bad)
            << edited("\"120/80/93\"", '"' + QByteArray(bad) + '"')
            << QStringLiteral("steps[2].series.set_point: \"%1\" is not SYS/DIA or SYS/DIA/MAP in "
                              "mmHg with systolic above diastolic")
                   .arg(QLatin1String(bad));
    }
    QTest::newRow("a set point's mean above systolic, was taken")
        << edited("\"120/80/93\"", "\"120/80/200\"")
        << "steps[2].series.set_point: \"120/80/200\" needs the mean from diastolic to systolic";
    QTest::newRow("a set point as a number")
        << edited("\"120/80/93\"", "120") << "steps[2].series.set_point: a number, not a string";
    QTest::newRow("count 0") << edited("\"count\": 5", "\"count\": 0")
                             << "steps[2].series.count: 0 is outside 2..1000";
    QTest::newRow("count 1: one result has no SD")
        << edited("\"count\": 5", "\"count\": 1") << "steps[2].series.count: 1 is outside 2..1000";
    QTest::newRow("count 2.5") << edited("\"count\": 5", "\"count\": 2.5")
                               << "steps[2].series.count: 2.5 is no whole number";
    QTest::newRow("a pause below 0") << edited("\"pause_s\": 3", "\"pause_s\": -1")
                                     << "steps[2].series.pause_s: -1 is outside 0..600 s";
    const QByteArray standard = TestPlan::standardText();
    QTest::newRow("steps empty") << standard.left(standard.indexOf("\"steps\"")) + "\"steps\": []}"
                                 << "steps: an empty list; a plan has one step at least";
    QTest::newRow("steps not a list")
        << QByteArray(R"({"plan": "p", "version": "v", "patient": "adult", "limits": {},
                         "steps": {"leak": {"hold_min_mmHg": 1, "hold_max_mmHg": 2}}})")
        << "steps: an object, not a list";
    QTest::newRow("an unknown limit")
        << edited("\"static_mmHg\": 3", "\"static_mmHg\": 3, \"leak_rate\": 4")
        << "limits.leak_rate: unknown limit; a limit is a [checks] key";
    QTest::newRow("a limit in another letter case")
        << edited("\"static_mmHg\": 3", "\"Static_mmHg\": 3")
        << "limits.Static_mmHg: unknown limit; a limit is a [checks] key";
    QTest::newRow("a limit above its range")
        << edited("\"leak_mmHg_per_min\": 6", "\"leak_mmHg_per_min\": 100.5")
        << "limits.leak_mmHg_per_min: 100.5 is outside 0.1..100 mmHg/min";
    QTest::newRow("a limit below its range") << edited("\"static_mmHg\": 3", "\"static_mmHg\": 0")
                                             << "limits.static_mmHg: 0 is outside 0.01..50 mmHg";
    QTest::newRow("a limit on the ends of its range")
        << edited("\"leak_mmHg_per_min\": 6, \"static_mmHg\": 3",
                  "\"leak_mmHg_per_min\": 100, \"inflation_adult_s\": 10")
        << QString(kStandard).replace("static_mmHg=3 leak_mmHg_per_min=6",
                                      "leak_mmHg_per_min=100 inflation_adult_s=10");
    QTest::newRow("a whole-number limit with a fraction")
        << edited("\"static_mmHg\": 3", "\"series_min_n\": 5.5")
        << "limits.series_min_n: 5.5 is no whole number";
    QTest::newRow("a limit as a string") << edited("\"static_mmHg\": 3", "\"static_mmHg\": \"3\"")
                                         << "limits.static_mmHg: a string, not a number";
    QTest::newRow("settling: longest below shortest")
        << edited("\"static_mmHg\": 3", "\"leak_settle_s\": 30, \"leak_settle_max_s\": 25")
        << "limits.leak_settle_max_s: 25 is below leak_settle_s 30";
    QTest::newRow("settling: longest on shortest is taken")
        << edited("\"static_mmHg\": 3", "\"leak_settle_s\": 30, \"leak_settle_max_s\": 30")
        << QString(kStandard).replace("static_mmHg=3 leak_mmHg_per_min=6",
                                      "leak_mmHg_per_min=6 leak_settle_s=30 leak_settle_max_s=30");
    QTest::newRow("a patient other than adult or neonate")
        << edited("\"adult\"", "\"child\"") << "patient: \"child\" is neither adult nor neonate";
    QTest::newRow("a patient in capitals")
        << edited("\"adult\"", "\"Adult\"") << "patient: \"Adult\" is neither adult nor neonate";
    QTest::newRow("a limit given twice")
        << edited("\"static_mmHg\": 3", "\"static_mmHg\": 3, \"static_mmHg\": 30")
        << "limits.static_mmHg: given twice";
    QTest::newRow("a key given twice in a step, the same value")
        << edited("\"count\": 5", "\"count\": 5, \"count\": 5")
        << "steps[2].series.count: given twice";
    QTest::newRow("a key given twice, spelt with an escape")
        << edited("\"version\": \"1.0\"", "\"version\": \"1.0\", \"versio\\u006e\": \"2.0\"")
        << "version: given twice";
}

void TestPlanTest::plansReadOrRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const TestPlan::Parsed parsed = TestPlan::parse(bytes);
    QCOMPARE(parsed.plan.has_value(), !parsed.problem.has_value());
    QCOMPARE(outcome(parsed), expected);
}

void TestPlanTest::goodPlanReadBackWithItsHash()
{
    const QByteArray bytes = R"({
  "plan": "Neonatal series",
  "version": "2.1-draft",
  "patient": "neonate",
  "limits": { "max_pressure_neonate_mmHg": 140, "series_min_n": 10, "inflation_neonate_s": 60 },
  "steps": [
    { "series": { "set_point": "70/45", "count": 10, "pause_s": 0 } },
    { "leak": { "hold_min_mmHg": 120, "hold_max_mmHg": 120 } }
  ]
})";
    const TestPlan::Parsed parsed = TestPlan::parse(bytes);
    QVERIFY2(parsed.plan, qPrintable(outcome(parsed)));
    QCOMPARE(describe(*parsed.plan),
             "Neonatal series 2.1-draft neonate; limits max_pressure_neonate_mmHg=140 "
             "series_min_n=10 inflation_neonate_s=60; series 70/45 x10 pause 0; leak 120..120");
    // sha256sum of the same bytes.
    QCOMPARE(parsed.plan->sha256(),
             "d1135fadfd6903c11fc90ae148af008a568bfadabd83bc7faadafad7327332fd");
    const CheckReport::Plan part = parsed.plan->reportPart();
    QCOMPARE(QStringList({part.name, part.version, part.sha256, part.patient}),
             QStringList({"Neonatal series", "2.1-draft", parsed.plan->sha256(), "neonate"}));
    QCOMPARE(part.limitKeys,
             QStringList({"max_pressure_neonate_mmHg", "series_min_n", "inflation_neonate_s"}));
    // One byte more (a newline) is another file.
    QVERIFY(TestPlan::parse(bytes + '\n').plan->sha256() != parsed.plan->sha256());
    QCOMPARE(TestPlan::standard().sha256(),
             TestPlan::parse(TestPlan::standardText()).plan->sha256());
}

void TestPlanTest::filesReadOrRefused()
{
    QTemporaryDir dir;
    const QString good = dir.filePath("plan.json");
    QFile file(good);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(TestPlan::standardText());
    file.close();
    QCOMPARE(outcome(TestPlan::load(good)), kStandard);

    const QString missing = dir.filePath("none.json");
    QCOMPARE(outcome(TestPlan::load(missing)), missing + " cannot be read: it does not exist");
    QVERIFY(
        TestPlan::load(dir.path()).problem->text().startsWith(dir.path() + " cannot be read: "));

    // A plan padded to the largest size is read; one byte more is refused.
    const QString largest = dir.filePath("largest.json");
    QFile padded(largest);
    QVERIFY(padded.open(QIODevice::WriteOnly));
    padded.write(TestPlan::standardText());
    padded.write(QByteArray(TestPlan::kMaxFileBytes - padded.size(), ' '));
    padded.close();
    QCOMPARE(QFileInfo(largest).size(), TestPlan::kMaxFileBytes);
    QCOMPARE(outcome(TestPlan::load(largest)), kStandard);

    const QString large = dir.filePath("large.json");
    QFile big(large);
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write(TestPlan::standardText());
    big.write(QByteArray(TestPlan::kMaxFileBytes - big.size() + 1, ' '));
    big.close();
    QCOMPARE(outcome(TestPlan::load(large)),
             large + QStringLiteral(" cannot be read: it is larger than %1 bytes")
                         .arg(TestPlan::kMaxFileBytes));
#ifdef Q_OS_UNIX
    // Nobody writes to it: it must be refused, not waited on.
    const QString fifo = dir.filePath("fifo.json");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QVERIFY(TestPlan::load(fifo).problem->text().startsWith(fifo + " cannot be read: "));
#endif
}

void TestPlanTest::limitsCombineWithTheSettings_data()
{
    QTest::addColumn<QByteArray>("planLimits"); // the plan's "limits" object
    QTest::addColumn<QString>("settings");      // key=value over the defaults
    QTest::addColumn<QString>("expected"); // the effective values that differ from the defaults

    QTest::newRow("the plan's limit on top of a looser setting")
        << QByteArray(R"({"leak_mmHg_per_min": 5})") << "leak_mmHg_per_min=10 sd_mmHg=4"
        << "leak_mmHg_per_min=5 sd_mmHg=4";
    QTest::newRow("the plan's limit on top of a tighter setting too: it is fixed")
        << QByteArray(R"({"leak_mmHg_per_min": 5})") << "leak_mmHg_per_min=4"
        << "leak_mmHg_per_min=5";
    QTest::newRow("no plan limits: the settings as they are")
        << QByteArray("{}") << "static_mmHg=2 inflation_neonate_s=80"
        << "static_mmHg=2 inflation_neonate_s=80";
    QTest::newRow("the plan's longest settling lowers a longer shortest one of the settings")
        << QByteArray(R"({"leak_settle_max_s": 30})") << "leak_settle_s=40"
        << "leak_settle_s=30 leak_settle_max_s=30";
    QTest::newRow("the plan's shortest settling raises a shorter longest one of the settings")
        << QByteArray(R"({"leak_settle_s": 90})") << "leak_settle_max_s=80"
        << "leak_settle_s=90 leak_settle_max_s=90";
}

void TestPlanTest::limitsCombineWithTheSettings()
{
    QFETCH(QByteArray, planLimits);
    QFETCH(QString, settings);
    QFETCH(QString, expected);
    const TestPlan::Parsed parsed =
        TestPlan::parse(R"({"plan": "p", "version": "1", "patient": "adult", "limits": )" +
                        planLimits + R"(, "steps": [{"static": {"points_mmHg": [100]}}]})");
    QVERIFY2(parsed.plan, qPrintable(outcome(parsed)));
    CheckLimits given;
    for (const QString &pair : settings.split(' ')) {
        for (const CheckLimits::Key &key : CheckLimits::keys()) {
            if (pair.section('=', 0, 0) == QLatin1String(key.name))
                given.*(key.value) = pair.section('=', 1).toDouble();
        }
    }
    const CheckLimits effective = parsed.plan->effectiveLimits(given);
    QStringList differ;
    for (const CheckLimits::Key &key : CheckLimits::keys()) {
        if (effective.*(key.value) != CheckLimits().*(key.value))
            differ << QStringLiteral("%1=%2").arg(QLatin1String(key.name),
                                                  number(effective.*(key.value)));
    }
    QCOMPARE(differ.join(' '), expected);
}

// The schema's limits are the [checks] keys with their ranges.
void TestPlanTest::schemaKnowsEveryLimit()
{
    const QJsonObject schema = QJsonDocument::fromJson(resource("plan.schema.json")).object();
    const QJsonObject limits = schema.value("$defs").toObject().value("limits").toObject();
    QCOMPARE(limits.value("additionalProperties"), QJsonValue(false));
    const QJsonObject properties = limits.value("properties").toObject();
    QStringList described, known;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        const QJsonObject p = it.value().toObject();
        described << QStringLiteral("%1 %2 %3..%4")
                         .arg(it.key(), p.value("type").toString(),
                              number(p.value("minimum").toDouble()),
                              number(p.value("maximum").toDouble()));
    }
    for (const CheckLimits::Key &key : CheckLimits::keys())
        known << QStringLiteral("%1 %2 %3..%4")
                     .arg(QLatin1String(key.name), key.whole ? "integer" : "number",
                          number(key.low), number(key.high));
    described.sort();
    known.sort();
    QCOMPARE(described, known);
}

// docs/bench-checks.md's table of the [checks] keys is the one in the code:
// name, default and range, in its order.
void TestPlanTest::docsListEveryLimit()
{
    static const QRegularExpression row(
        QStringLiteral("^\\| `(\\w+)` \\| (\\S+) \\| (\\S+)–(\\S+?)(, whole)? \\|"),
        QRegularExpression::MultilineOption);
    QStringList documented, known;
    for (auto it = row.globalMatch(QString::fromUtf8(resource("bench-checks.md"))); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        documented << QStringLiteral("%1 %2 %3..%4%5")
                          .arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4),
                               m.captured(5).isEmpty() ? "" : " whole");
    }
    for (const CheckLimits::Key &key : CheckLimits::keys())
        known << QStringLiteral("%1 %2 %3..%4%5")
                     .arg(QLatin1String(key.name), number(CheckLimits().*(key.value)),
                          number(key.low), number(key.high), key.whole ? " whole" : "");
    QCOMPARE(documented, known);
}

// Every plan docs/plans.md shows reads, and the built-in one is shown as it is.
void TestPlanTest::documentedPlansRead()
{
    const QString text = QString::fromUtf8(resource("plans.md"));
    static const QRegularExpression block(QStringLiteral("```json\n(.*?)```"),
                                          QRegularExpression::DotMatchesEverythingOption);
    int plans = 0;
    bool builtInShown = false;
    for (const QRegularExpressionMatch &match : block.globalMatch(text)) {
        const QByteArray bytes = match.captured(1).toUtf8();
        const TestPlan::Parsed parsed = TestPlan::parse(bytes);
        QVERIFY2(parsed.plan, qPrintable(outcome(parsed) + "\n" + bytes));
        builtInShown = builtInShown || bytes == TestPlan::standardText();
        ++plans;
    }
    QVERIFY(plans >= 3);
    QVERIFY(builtInShown);
}

QTEST_GUILESS_MAIN(TestPlanTest)
#include "test_plan_test.moc"
