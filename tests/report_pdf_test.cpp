// SPDX-License-Identifier: MIT
// The PDF report read back as text with pdftotext (poppler-utils): what each
// section prints (a judged value beside its verdict, refusals, gaps, the
// reason of each incomplete verdict, the limits, the times and what they
// are), and where it prints it: every word inside the page, none over
// another, the footer (board, date, "Page n of m") below everything else
// on every page.
#include "page_flow.h"
#include "report_pdf.h"

#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using Change = std::function<void(CheckReport &)>;
Q_DECLARE_METATYPE(Change)

namespace {

const QDateTime kMade = QDateTime::fromString("2026-12-08T09:00:00+01:00", Qt::ISODate);
constexpr double kMarginPt = 15 / 25.4 * 72;

struct Word
{
    QRectF box; // points, from the page's top left
    QString text;
};

struct ReadBack
{
    QString layout;           // pdftotext -layout, pages split by form feeds
    QString raw;              // pdftotext -raw: in the order drawn, a wrapped cell whole
    QList<QList<Word>> pages; // pdftotext -bbox
    QSizeF pageSize;
};

CheckReport::Measurement result(qint64 ms, int systolic, int diastolic)
{
    CheckReport::Measurement m;
    m.ms = ms;
    m.port = "COM1";
    m.systolic = systolic;
    m.diastolic = diastolic;
    m.mean = (systolic + 2 * diastolic) / 3;
    m.pulse = 72;
    m.hasCurve = true;
    for (int i = 0; i < 20; ++i)
        m.samples.append({ms - 20000 + i * 1000, i < 8 ? i * 20 : 160 - (i - 8) * 12});
    return m;
}

// A passed session with a trace header: one leak test, one static point,
// one stretch, three results against a set point.
CheckReport sample()
{
    CheckReport r;
    r.session.program = "tarnvik 1.0.1";
    r.session.board = "SN-1";
    r.session.operatorName = "A. Berg";
    r.session.instrument = "DG-2 #118";
    r.session.started = QDateTime::fromString("2026-12-07T14:05:09+01:00", Qt::ISODate);
    r.session.port = "COM1";
    CheckReport::LeakTest leak;
    leak.port = "COM1";
    leak.endMs = 80000;
    leak.endedBy = "Break";
    leak.holdMmHg = 200;
    leak.windowStartMs = 15000;
    leak.settleS = 5.5;
    leak.windowS = 60;
    leak.windowReadings = 240;
    leak.dropMmHg = 4;
    leak.rateMmHgPerMin = 4;
    leak.fitStartMmHg = 199;
    leak.complete = true;
    leak.verdict = Verdict::Pass;
    for (int i = 0; i < 320; ++i)
        leak.samples.append({i * 250, i < 20 ? i * 10 : 200 - (i - 20) / 60});
    r.leakTests << leak;
    r.staticPoints << CheckReport::StaticPoint{90000, "COM1", 100, 101, 1, 0.5, 8, Verdict::Pass};
    CheckReport::Stretch stretch;
    stretch.port = "COM1";
    stretch.startMs = 100000;
    stretch.maxMmHg = 180;
    stretch.limitMmHg = 300;
    r.overPressure << stretch;
    r.setPoint = SetPoint{120, 80, std::nullopt, std::nullopt};
    CheckReport::Measurements &m = r.measurements;
    for (int i = 0; i < 3; ++i)
        m.list << result(120000 + i * 40000, 119 + i, 79 + i);
    m.count = 3;
    m.systolic = {3, 120, 1, 119, 121, 120, 0, Verdict::Pass};
    m.diastolic = {3, 80, 1, 79, 81, 80, 0, Verdict::Pass};
    m.verdict = Verdict::Pass;
    r.leakVerdict = r.staticVerdict = r.overPressureVerdict = r.verdict = Verdict::Pass;
    return r;
}

QString run(const QStringList &arguments)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty())
        return QString();
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString unescaped(QString text)
{
    return text.replace("&lt;", "<")
        .replace("&gt;", ">")
        .replace("&quot;", "\"")
        .replace("&amp;", "&");
}

ReadBack readBack(const CheckReport &report, const QDateTime &made = kMade)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QFile file(path);
    ReadBack back;
    if (!file.open(QIODevice::WriteOnly) || !ReportPdf::write(report, file, made))
        return back;
    file.close();
    // REPORT_PDF_TEST_KEEP=DIR keeps each PDF for a look.
    if (qEnvironmentVariableIsSet("REPORT_PDF_TEST_KEEP"))
        QFile::copy(path, QDir(qEnvironmentVariable("REPORT_PDF_TEST_KEEP"))
                              .filePath(QString(QTest::currentDataTag()).left(40) + ".pdf"));
    back.layout = run({"-layout", path, "-"});
    back.raw = run({"-raw", path, "-"});
    const QString boxes = run({"-bbox", path, "-"});
    static const QRegularExpression page(R"x(<page width="([\d.]+)" height="([\d.]+)">)x");
    static const QRegularExpression word(
        R"x(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)x");
    const QStringList parts = boxes.split("<page ");
    for (int i = 1; i < parts.size(); ++i) {
        const QRegularExpressionMatch size = page.match("<page " + parts.at(i));
        back.pageSize = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
        QList<Word> words;
        for (const QRegularExpressionMatch &m : word.globalMatch(parts.at(i))) {
            const QPointF from(m.captured(1).toDouble(), m.captured(2).toDouble());
            const QPointF to(m.captured(3).toDouble(), m.captured(4).toDouble());
            words.append({QRectF(from, to), unescaped(m.captured(5))});
        }
        back.pages.append(words);
    }
    return back;
}

QString flattened(const QString &text)
{
    return text.simplified();
}

// Many results, the middle one a "999"; the checks kept 12 curves at each end.
void longSession(CheckReport &r, int count)
{
    CheckReport::Measurements &m = r.measurements;
    m.list.clear();
    for (int i = 0; i < count; ++i) {
        CheckReport::Measurement one = result(120000 + i * 40000, 118 + i % 5, 78 + i % 5);
        one.hasCurve = i < 12 || i >= count - 12;
        if (!one.hasCurve)
            one.samples.clear();
        if (i == count / 2) {
            one.ended999 = true;
            one.systolic = one.diastolic = one.mean = one.pulse = std::nullopt;
        }
        m.list << one;
        CheckReport::Stretch stretch = r.overPressure.first();
        stretch.startMs = one.ms - 20000;
        if (i == count / 3) {
            stretch.verdict = Verdict::Fail;
            stretch.maxMmHg = 305;
            stretch.exceededMs = one.ms;
        }
        r.overPressure << stretch;
    }
    m.count = count - 1;
    m.ended999 = 1;
}

QString boardOf(const CheckReport &r)
{
    return r.session.board;
}

} // namespace

class ReportPdfTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textSaysWhatTheReportHolds_data();
    void textSaysWhatTheReportHolds();
    void everyWordHasItsPlace_data();
    void everyWordHasItsPlace();
    void boxAfterTableIsNeverCut();

private:
    // The rows of textSaysWhatTheReportHolds: values beside their verdicts,
    // what explains a verdict, the session, the footer and long sessions.
    static void judgedValueRows();
    static void explanationRows();
    static void sessionAndLayoutRows();
};

void ReportPdfTest::initTestCase()
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QFAIL("pdftotext is missing: install poppler-utils (scripts/packages/test.txt)");
}

void ReportPdfTest::textSaysWhatTheReportHolds_data()
{
    // Each pattern matches one line of the PDF's text as laid out; "~" before
    // it: the text in the order drawn, its white space made single spaces.
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    judgedValueRows();
    explanationRows();
    sessionAndLayoutRows();
}

void ReportPdfTest::judgedValueRows()
{
    const auto leakRate = [](double rate, Verdict verdict) {
        return Change([=](CheckReport &r) {
            r.leakTests.first().rateMmHgPerMin = rate;
            r.leakTests.first().verdict = r.leakVerdict = verdict;
        });
    };
    QTest::newRow("rate 6.002 against 6 prints 6.002 beside FAIL, was 6.0")
        << leakRate(6.002, Verdict::Fail)
        << QStringList{R"(^\s*Leak test .*highest rate 6\.002 mmHg/min .*FAIL$)",
                       R"( 6\.002 mmHg/min .*FAIL$)", "~fit: 6.002 mmHg/min"}
        << QStringList{"6.0 mmHg/min"};
    QTest::newRow("rate 5.998 against 6 prints 5.998 beside PASS, was 6.0")
        << leakRate(5.998, Verdict::Pass) << QStringList{R"( 5\.998 mmHg/min .*PASS$)"}
        << QStringList{"6.0 mmHg/min"};
    QTest::newRow("rate on its limit prints the limit")
        << leakRate(6, Verdict::Pass) << QStringList{R"( 6\.0 mmHg/min .*PASS$)"} << QStringList{};
    const auto systolicSd = [](double sd, Verdict verdict) {
        return Change([=](CheckReport &r) {
            r.measurements.systolic.sd = sd;
            r.measurements.systolic.verdict = r.measurements.verdict = verdict;
        });
    };
    QTest::newRow("SD 8.016 against 8 prints 8.02 beside FAIL, was 8.0")
        << systolicSd(8.016, Verdict::Fail) << QStringList{R"(^\s*Systolic .* 8\.02 .*FAIL$)"}
        << QStringList{};
    QTest::newRow("SD 7.974 against 8 prints 7.97 beside PASS, was 8.0")
        << systolicSd(7.974, Verdict::Pass) << QStringList{R"(^\s*Systolic .* 7\.97 .*PASS$)"}
        << QStringList{};
    QTest::newRow("mean error 5.04 prints 5.04 and the mean with its decimals")
        << Change([](CheckReport &r) {
               r.measurements.systolic.mean = 125.04;
               r.measurements.systolic.meanError = 5.04;
               r.measurements.systolic.verdict = Verdict::Fail;
           })
        << QStringList{R"(^\s*Systolic\s+3\s+125\.04 .* 5\.04\s+FAIL$)"} << QStringList{};
    QTest::newRow("static error -3.002 prints -3.002 and board and reference alike, was -3.0")
        << Change([](CheckReport &r) {
               r.staticPoints = {{90000, "COM1", 100, 96.998, -3.002, 0.5, 8, Verdict::Fail}};
               r.staticVerdict = Verdict::Fail;
           })
        << QStringList{R"(^\s*100\.000\s+96\.998\s+-3\.002\s+0\.5\s+8\s+14:06:39\s+COM1\s+FAIL$)",
                       R"(^\s*Static pressure .*largest \|error\| 3\.002 mmHg .*FAIL$)"}
        << QStringList{};
}

void ReportPdfTest::explanationRows()
{
    QTest::newRow("refused reading listed with time, reference and reason, was left out")
        << Change([](CheckReport &r) {
               r.refusals << CheckReport::Refusal{61250, "COM1", 120, "hold the pressure steady"};
           })
        << QStringList{"Refused readings",
                       R"(^\s*1\s+14:06:10\s+COM1\s+120\.0\s+hold the pressure steady$)"}
        << QStringList{};
    QTest::newRow("gap named with its times, was left out")
        << Change([](CheckReport &r) {
               r.gaps << CheckReport::Gap{5000, 9000, "COM1", "316 trace lines dropped"};
           })
        << QStringList{"Gaps in the traffic",
                       R"(^\s*1\s+14:05:14\s+14:05:18\s+COM1\s+316 trace lines dropped$)",
                       "~The record misses traffic in 1 place(s)"}
        << QStringList{};
    QTest::newRow("incomplete leak test says why, its window, settling and outliers")
        << Change([](CheckReport &r) {
               CheckReport::LeakTest &t = r.leakTests.first();
               t.verdict = r.leakVerdict = r.verdict = Verdict::Incomplete;
               t.reason = "a gap in the traffic overlaps the window";
               t.outliers = {{30000, 150}, {31000, 260}};
           })
        << QStringList{"~Incomplete: a gap in the traffic overlaps the window.",
                       "~Window from 14:05:24, after 5.5 s of settling from the peak; 240 "
                       "readings in the window, 2 left out of the fit as outliers",
                       "~× left out of the fit"}
        << QStringList{"Not settled"};
    QTest::newRow("leak test not settled says so")
        << Change([](CheckReport &r) { r.leakTests.first().settled = false; })
        << QStringList{"~Not settled: the pressure was still changing when the longest settling "
                       "time (60 s) ran out."}
        << QStringList{};
    QTest::newRow("incomplete stretch and measurements say why") << Change([](CheckReport &r) {
        r.overPressure.first().verdict = Verdict::Incomplete;
        r.overPressure.first().reason = "port lost: COM1";
        r.measurements.verdict = Verdict::Incomplete;
        r.measurements.reason = "3 of 5 results";
    }) << QStringList{"~Incomplete #1: port lost: COM1", "~Incomplete: 3 of 5 results."}
                                                                 << QStringList{};
    QTest::newRow("incomplete static point says why") << Change([](CheckReport &r) {
        r.staticPoints.first().verdict = Verdict::Incomplete;
        r.staticPoints.first().reason = "12 trace lines dropped";
    }) << QStringList{"~: 12 trace lines dropped."} << QStringList{};
    QTest::newRow("summary's leak row shows the leak verdict, not another check's")
        << Change([](CheckReport &r) {
               r.leakVerdict = Verdict::Incomplete;
               r.staticVerdict = Verdict::Fail;
               r.measurements.verdict = Verdict::None;
           })
        << QStringList{R"(^\s*Leak test\s+1 test\(s\).*INCOMPLETE$)",
                       R"(^\s*Static pressure\s+1 point\(s\).*FAIL$)",
                       R"(^\s*Over-pressure\s+1 stretch\(es\).*PASS$)",
                       R"(^\s*Measurements\s+3 result\(s\).*—$)"}
        << QStringList{};
}

void ReportPdfTest::sessionAndLayoutRows()
{
    QStringList limits;
    for (const CheckLimits::Key &key : CheckLimits::keys())
        limits << QStringLiteral(R"(^\s*%1\s+%2\s+%3\s*%4$)")
                      .arg(QRegularExpression::escape(key.label),
                           key.value == &CheckLimits::maxPressureAdultMmHg
                               ? QStringLiteral("250\\.6")
                               : QRegularExpression::escape(
                                     CheckLimits::text(CheckLimits().*(key.value))),
                           QRegularExpression::escape(key.unit), key.name);
    QTest::newRow("limits: every key with its value as given")
        << Change([](CheckReport &r) { r.limits.maxPressureAdultMmHg = 250.6; }) << limits
        << QStringList{};
    QTest::newRow("footer says when the session started")
        << Change([](CheckReport &) {})
        << QStringList{R"(^\s*Bench check · board SN-1 · Session started 2026-12-07T14:05:09\+01:00 +Page 1 of \d+$)",
                       "~Times in this report the time of day (HH:mm:ss)"}
        << QStringList{"Session start unknown"};
    QTest::newRow(
        "no start time: footer labels the report's time, times are seconds, was unlabelled")
        << Change([](CheckReport &r) { r.session.started = QDateTime(); })
        << QStringList{R"(^\s*Bench check · board SN-1 · Session start unknown · Report made 2026-12-08T09:00:00\+01:00 +Page 1 of \d+$)",
                       "~Times in this report seconds since the trace began",
                       "~Time (s since trace start)", R"(^\s*1\s+120\.0 s\s+COM1\s+119)"}
        << QStringList{"14:05"};
    QTest::newRow("bidirectional override removed: SN-evil stays SN-evil")
        << Change([](CheckReport &r) { r.session.board = QString("SN-\u202Eevil\u2066\u200F"); })
        << QStringList{"~Board ID SN-evil", "~board SN-evil · Session"}
        << QStringList{"\u202E", "\u2066", "\u200F", "live"};
    QTest::newRow("control characters removed, tab and line break as spaces")
        << Change([](CheckReport &r) { r.session.operatorName = "A.\tBerg\x07\x1b\nQA"; })
        << QStringList{"~Operator A. Berg QA"} << QStringList{"\x07", "\x1b"};
    QTest::newRow("long instrument text wraps whole, was cut")
        << Change([](CheckReport &r) {
               r.session.instrument = QString("DG-2 #118 with calibration certificate ") +
                                      QString("KAL-2026-0412 ").repeated(12) + "end";
           })
        << QStringList{"~Reference instrument DG-2 #118 with calibration certificate " +
                       QString("KAL-2026-0412 ").repeated(12) + "end"}
        << QStringList{};
    QTest::newRow("lines to sign")
        << Change([](CheckReport &) {})
        << QStringList{"~Tested by", "~Approved (QA)", "~Name, signature, date"} << QStringList{};
    QTest::newRow("nothing to judge")
        << Change([](CheckReport &r) { r.verdict = Verdict::None; })
        << QStringList{"~Overall verdict: NOTHING TO JUDGE"} << QStringList{};
    QTest::newRow("free check: its banner says no release verdict")
        << Change([](CheckReport &r) { r.plan.reset(); })
        << QStringList{"~Free check — not a release verdict"} << QStringList{"Plan:"};
    QTest::newRow("plan run: plan, its hash and each step with its verdict and why")
        << Change([](CheckReport &r) {
               r.plan = CheckReport::Plan{"Standard NIBP bench check",
                                          "1.0",
                                          QString("ab12").repeated(16),
                                          "adult",
                                          {"leak_mmHg_per_min", "static_mmHg"}};
               CheckReport::PlanStep leak;
               leak.step = "leak";
               leak.ending = "done";
               leak.holdMinMmHg = 240;
               leak.holdMaxMmHg = 260;
               leak.verdict = Verdict::Fail;
               leak.reason = "hold 200.0 mmHg outside 240–260 mmHg";
               CheckReport::PlanStep series;
               series.step = "series";
               series.ending = "not run";
               series.count = 5;
               series.pauseS = 3;
               series.reason = "not run";
               r.steps = {leak, series};
           })
        << QStringList{"~Plan: Standard NIBP bench check 1.0",
                       "~" + QString("ab12").repeated(16),
                       "~leak_mmHg_per_min, static_mmHg",
                       R"(^\s*1\s+leak\s+hold 240–260 mmHg\s.*FAIL$)",
                       "~Failed: hold 200.0 mmHg outside 240–260 mmHg.",
                       R"(^\s*2\s+series\s.*INCOMPLETE$)",
                       "~Overall, under the plan: PASS only when every step passed"}
        << QStringList{"Free check"};
    QTest::newRow("inflation 181 s against 180 fails with the time it was passed")
        << Change([](CheckReport &r) {
               CheckReport::Inflation in;
               in.patient = PatientMode::Adult;
               in.verdict = r.inflationVerdict = Verdict::Fail;
               in.port = "COM1";
               in.startMs = 90000;
               in.endMs = 271000;
               in.thresholdMmHg = 15;
               in.seconds = 181;
               in.limitS = 180;
               in.exceededMs = 270000;
               r.inflation = {in};
           })
        << QStringList{R"(^\s*Inflation time\s+1 measurement\(s\), longest 181\.0 s adult.*FAIL$)",
                       R"(^\s*1\s+adult\s+COM1\s+14:06:39\s+15\s+181\.0\s+180\s+14:09:39\s+FAIL$)"}
        << QStringList{};
    QTest::newRow("long session: kept curves named, rows bounded, was one row and curve each")
        << Change([](CheckReport &r) { longSession(r, 1000); })
        << QStringList{"~shown are #1–12, #989–1000 (24 of 1000 measurements)",
                       "~#12 119/79",
                       "~#989 121/81",
                       R"(^\s*501\s+19:40:29\s+COM1\s+999$)",
                       R"(^\s*1000\s+)",
                       "~899 of 1,000 measurements are not listed",
                       "~the JSON file holds them all",
                       R"(^\s*335\s+measurement\s+adult\s+COM1\s+17:48:49\s+305\s+300\s+17:49:09\s+FAIL$)",
                       "~900 of 1,001 stretches are not listed"}
        << QStringList{"#13 ", "#988 "};
}

void ReportPdfTest::textSaysWhatTheReportHolds()
{
    QFETCH(Change, change);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    CheckReport report = sample();
    change(report);
    const ReadBack back = readBack(report);
    QVERIFY2(!back.layout.isEmpty(), "no text read back");
    const QStringList lines = back.layout.split(QRegularExpression("[\n\f]"));
    const QString flat = flattened(back.raw);
    for (const QString &pattern : present) {
        bool found = false;
        if (pattern.startsWith('~')) {
            found = flat.contains(pattern.mid(1));
        } else {
            const QRegularExpression line(pattern);
            for (const QString &l : lines)
                found = found || line.match(l).hasMatch();
        }
        QVERIFY2(found, qPrintable("not in the PDF: " + pattern + "\n" + back.layout.left(6000)));
    }
    for (const QString &text : absent)
        QVERIFY2(!flat.contains(text), qPrintable("in the PDF: " + text));
}

void ReportPdfTest::everyWordHasItsPlace_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<int>("mostPages");

    QTest::newRow("short session") << Change([](CheckReport &) {}) << 4;
    QTest::newRow("long board ID wraps beside Page n of m, was drawn over it")
        << Change([](CheckReport &r) {
               r.session.board = "SN-" + QString("0123456789ABCDEF").repeated(9);
           })
        << 4;
    QTest::newRow("long instrument and operator wrap in their field, were cut")
        << Change([](CheckReport &r) {
               r.session.instrument = QString("calibrated reference gauge ").repeated(8);
               r.session.operatorName = QString("A").repeated(150);
               r.session.program = QString("tarnvik ").repeated(12);
           })
        << 4;
    QTest::newRow("table over pages stops above the footer") << Change([](CheckReport &r) {
        for (int i = 0; i < 160; ++i)
            r.staticPoints << CheckReport::StaticPoint{
                90000 + i * 1000, "COM1", double(i), i + 0.5, 0.5, 0.5, 8, Verdict::Pass};
    }) << 10;
    QTest::newRow("long session with gaps and refusals stays short") << Change([](CheckReport &r) {
        longSession(r, 5000);
        for (int i = 0; i < 40; ++i) {
            r.gaps << CheckReport::Gap{i * 9000, i * 9000 + 500, "COM1",
                                       QString("%1 trace lines dropped").arg(i)};
            r.refusals << CheckReport::Refusal{i * 7000, "COM1", 120,
                                               "the board is not in Manometer mode"};
        }
        r.session.started = QDateTime();
    }) << 30;
}

void ReportPdfTest::everyWordHasItsPlace()
{
    QFETCH(Change, change);
    QFETCH(int, mostPages);
    CheckReport report = sample();
    change(report);
    const ReadBack back = readBack(report);
    const int pages = back.pages.size();
    QVERIFY2(pages >= 1 && pages <= mostPages, qPrintable(QString::number(pages)));
    const QRectF inside(kMarginPt - 1, kMarginPt - 1, back.pageSize.width() - 2 * kMarginPt + 2,
                        back.pageSize.height() - 2 * kMarginPt + 2);
    for (int p = 0; p < pages; ++p) {
        const QList<Word> &words = back.pages.at(p);
        const QString where = QStringLiteral("page %1: ").arg(p + 1);
        // The footer's page number: the words "Page p of n" in a row.
        int at = -1;
        for (int i = 0; i + 3 < words.size() && at < 0; ++i) {
            if (words.at(i).text == "Page" && words.at(i + 1).text == QString::number(p + 1) &&
                words.at(i + 2).text == "of" && words.at(i + 3).text == QString::number(pages))
                at = i;
        }
        QVERIFY2(at >= 0, qPrintable(where + "no \"Page n of m\""));
        const double footerTop = words.at(at).box.top() - 0.5;
        QString footer;
        for (int i = 0; i < words.size(); ++i) {
            const Word &w = words.at(i);
            QVERIFY2(inside.contains(w.box), qPrintable(where + "off the page: " + w.text));
            if (w.box.top() >= footerTop)
                footer += w.text;
            else
                QVERIFY2(w.box.bottom() <= footerTop,
                         qPrintable(where + "runs into the footer: " + w.text));
            for (int j = i + 1; j < words.size(); ++j) {
                const QRectF overlap = w.box.intersected(words.at(j).box);
                QVERIFY2(overlap.width() < 0.5 || overlap.height() < 1.5,
                         qPrintable(where + w.text + " over " + words.at(j).text));
            }
        }
        QVERIFY2(footer.contains(boardOf(report)), qPrintable(where + footer));
        QVERIFY2(footer.contains(report.session.started.isValid() ? "2026-12-07T14:05:09+01:00"
                                                                  : "2026-12-08T09:00:00+01:00"),
                 qPrintable(where + footer));
    }
}

// A box that follows a table at a page's foot goes whole to the next page;
// it was drawn across the page's edge, its top at the foot of one page and
// the rest on the next, when the table ended within about 1.5 mm of it (a
// space of 233.5 to 235 mm above the table, with the fonts of Debian 12).
void ReportPdfTest::boxAfterTableIsNeverCut()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("flow.pdf");
    for (double above = 230; above < 238; above += 0.25) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(300);
        PageFlow flow(writer);
        flow.box(above, [](QPainter &, const QRectF &) {});
        flow.table({{"Value", 60}}, {{{"1"}}, {{"2"}}, {{"3"}}});
        flow.box(40, [](QPainter &p, const QRectF &box) {
            p.setFont(PageFlow::font(9));
            p.drawText(box, Qt::AlignTop | Qt::AlignLeft, "boxtop");
            p.drawText(box, Qt::AlignBottom | Qt::AlignLeft, "boxbottom");
        });
        QPainter painter(&writer);
        QVERIFY(flow.print(painter, "footer") > 0);
        painter.end();
        file.close();
        const QString text = run({"-raw", path, "-"});
        const QString where = QStringLiteral("%1 mm above the table: ").arg(above);
        QVERIFY2(text.count("boxtop") == 1 && text.count("boxbottom") == 1,
                 qPrintable(where + text.simplified()));
        const QStringList pages = text.split('\f');
        bool together = false;
        for (const QString &page : pages)
            together = together || (page.contains("boxtop") && page.contains("boxbottom"));
        QVERIFY2(together, qPrintable(where + text.simplified()));
    }
}

QTEST_MAIN(ReportPdfTest)
#include "report_pdf_test.moc"
