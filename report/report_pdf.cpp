// SPDX-License-Identifier: MIT
#include "report_pdf.h"

#include "listed_rows.h"
#include "number_text.h"
#include "page_flow.h"
#include "report_charts.h"
#include "trace_header.h"
#include "verdict_palette.h"

#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Cell = PageFlow::Cell;
using Column = PageFlow::Column;

const QColor kGrey(0x60, 0x60, 0x60);
const QColor kTitle(0x1a, 0x3a, 0x6a);

// A verdict's colours from the one palette; what could not be judged (a gap,
// a refused reading, a "999") takes the colours of an incomplete check.
QColor fill(Verdict verdict)
{
    return QColor(QRgb(VerdictPalette::of(verdict).fill));
}

QColor ink(Verdict verdict)
{
    return QColor(QRgb(VerdictPalette::of(verdict).ink));
}

QString badge(Verdict verdict, const QString &none = QStringLiteral("—"))
{
    return verdict == Verdict::None ? none : verdictName(verdict).toUpper();
}

Cell verdictCell(Verdict verdict, const QString &none = QStringLiteral("—"))
{
    return Cell{badge(verdict, none), fill(verdict), true};
}

QString n1(double value)
{
    return NumberText::plain(value);
}

QString limit(double value)
{
    return CheckLimits::text(value);
}

QString orUnknown(const QString &text, const QString &unknown = QStringLiteral("not given"))
{
    return PageFlow::printable(text).trimmed().isEmpty() ? unknown : text;
}

// A trace time as the wall-clock time when the start is known, else as
// seconds since the trace began (and the columns say so: timeTitle).
QString when(const CheckReport &report, qint64 ms)
{
    if (report.session.started.isValid())
        return report.session.started.addMSecs(ms).toString(QStringLiteral("HH:mm:ss"));
    return QStringLiteral("%1 s").arg(NumberText::plain(ms / 1000.0));
}

QString timeTitle(const CheckReport &report, const QString &what = QStringLiteral("Time"))
{
    return report.session.started.isValid() ? what
                                            : what + QStringLiteral(" (s since trace start)");
}

QString setPointText(const std::optional<SetPoint> &point)
{
    if (!point)
        return QStringLiteral("none (statistics only)");
    QString text = QStringLiteral("%1/%2").arg(limit(point->systolic), limit(point->diastolic));
    if (point->mean)
        text += QStringLiteral(" (mean %1)").arg(limit(*point->mean));
    text += QStringLiteral(" mmHg");
    if (point->pulse)
        text += QStringLiteral(", pulse %1 /min").arg(limit(*point->pulse));
    return text;
}

QString footerText(const CheckReport &report, const QDateTime &made)
{
    const QString board = orUnknown(report.session.board, QStringLiteral("(no ID)"));
    if (report.session.started.isValid())
        return QStringLiteral("Bench check · board %1 · Session started %2")
            .arg(board, TraceHeader::isoWithOffset(report.session.started));
    return QStringLiteral("Bench check · board %1 · Session start unknown · Report made %2")
        .arg(board, TraceHeader::isoWithOffset(made));
}

// Numbers as "#1–12, #989–1000".
QString ranges(const QList<int> &numbers)
{
    QStringList parts;
    for (int i = 0; i < numbers.size();) {
        int j = i;
        while (j + 1 < numbers.size() && numbers.at(j + 1) == numbers.at(j) + 1)
            ++j;
        parts << (i == j ? QStringLiteral("#%1").arg(numbers.at(i))
                         : QStringLiteral("#%1–%2").arg(numbers.at(i)).arg(numbers.at(j)));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

// `text`, or "not done" when there were none.
QString notDone(qsizetype count, const QString &text)
{
    return count == 0 ? QStringLiteral("not done") : text;
}

// The note under a table that lists only some of its rows.
void listedNote(PageFlow &flow, const ListedRows &listed, const QString &things)
{
    const QString note = listed.note(things);
    if (!note.isEmpty())
        flow.paragraph(note, 8, kGrey);
}

} // namespace

bool ReportPdf::write(const CheckReport &report, QIODevice &device, const QDateTime &made,
                      Failure *error)
{
    QPdfWriter writer(&device);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(300);
    writer.setTitle(
        PageFlow::printable(QStringLiteral("Bench check report %1").arg(report.session.board)));
    writer.setCreator(PageFlow::printable(report.session.program));
    PageFlow flow(writer);
    titleBlock(flow, report, made);
    summary(flow, report);
    signatures(flow);
    gapSection(flow, report);
    planSection(flow, report);
    leakSection(flow, report);
    staticSection(flow, report);
    overPressureSection(flow, report);
    inflationSection(flow, report);
    measurementSection(flow, report);
    curveSection(flow, report);
    limitsSection(flow, report);
    QPainter painter;
    bool drawn = painter.begin(&writer);
    if (drawn) {
        painter.setRenderHint(QPainter::Antialiasing);
        drawn = flow.print(painter, footerText(report, made)) > 0;
        drawn = painter.end() && drawn;
    }
    if (!drawn)
        return fail(error, {Failure::Kind::Other, QStringLiteral("the PDF could not be drawn")});
    return true;
}

void ReportPdf::titleBlock(PageFlow &flow, const CheckReport &report, const QDateTime &made)
{
    const CheckReport::Session &s = report.session;
    flow.table(
        {{QString(), 110}, {QString(), 70, Qt::AlignRight}},
        {{Cell{QStringLiteral("Bench check report"), {}, true, 18, kTitle},
          Cell{orUnknown(s.program, QStringLiteral("tarnvik")), {}, true, 11, kGrey}},
         {Cell{QStringLiteral("Non-invasive blood pressure measuring board"), {}, false, 9, kGrey},
          Cell{QStringLiteral("Report made %1").arg(TraceHeader::isoWithOffset(made)),
               {},
               false,
               8,
               kGrey}}},
        false);
    const bool known = s.started.isValid();
    const QList<std::pair<QString, QString>> items{
        {QStringLiteral("Board ID"), orUnknown(s.board)},
        {QStringLiteral("Operator"), orUnknown(s.operatorName)},
        {QStringLiteral("Reference instrument"), orUnknown(s.instrument)},
        {QStringLiteral("Session started"),
         known ? TraceHeader::isoWithOffset(s.started)
               : QStringLiteral("unknown (the trace has no start time)")},
        {QStringLiteral("Times in this report"),
         known ? QStringLiteral("the time of day (HH:mm:ss) on the session's clock")
               : QStringLiteral("seconds since the trace began")},
        {QStringLiteral("Port"), orUnknown(s.port, QStringLiteral("unknown"))},
        {QStringLiteral("Device"),
         orUnknown(s.device, QStringLiteral("unknown (report made from a trace)"))},
        {QStringLiteral("Set point"), setPointText(report.setPoint)},
    };
    QList<QList<Cell>> rows;
    for (const auto &[label, value] : items)
        rows.append({Cell{label, {}, true, 9, kGrey}, Cell{value, {}, false, 9.5}});
    flow.table({{QString(), 45}, {QString(), 135}}, rows, false);
}

void ReportPdf::banner(PageFlow &flow, const CheckReport &report)
{
    const Verdict verdict = report.verdict;
    const double unit = flow.mm(1);
    flow.box(14, [verdict, unit](QPainter &p, const QRectF &box) {
        p.setPen(QPen(ink(verdict), 0.6 * unit));
        p.setBrush(fill(verdict));
        p.drawRoundedRect(box.adjusted(0.3 * unit, 0.3 * unit, -0.3 * unit, -0.3 * unit), 2 * unit,
                          2 * unit);
        p.setFont(PageFlow::font(16, true));
        p.setPen(ink(verdict));
        p.drawText(box, Qt::AlignCenter,
                   QStringLiteral("Overall verdict: %1")
                       .arg(badge(verdict, QStringLiteral("NOTHING TO JUDGE"))));
    });
}

namespace {

// What the summary says was measured, per check: leak, static, over-pressure, measurements.
QStringList measured(const CheckReport &report)
{
    std::optional<double> worstRate;
    double worstError = 0;
    int highest = 0;
    for (const CheckReport::LeakTest &t : report.leakTests) {
        if (t.rateMmHgPerMin)
            worstRate = std::max(worstRate.value_or(-1e300), *t.rateMmHgPerMin);
    }
    for (const CheckReport::StaticPoint &pt : report.staticPoints)
        worstError = std::max(worstError, std::abs(pt.errorMmHg));
    for (const CheckReport::Stretch &st : report.overPressure)
        highest = std::max(highest, st.maxMmHg);
    const CheckReport::Measurements &m = report.measurements;
    const QString rate =
        worstRate ? QStringLiteral("highest rate %1 mmHg/min")
                        .arg(NumberText::judged(*worstRate, report.limits.leakMmHgPerMin))
                  : QStringLiteral("no rate measured");
    return {
        notDone(report.leakTests.size(),
                QStringLiteral("%1 test(s), %2").arg(report.leakTests.size()).arg(rate)),
        notDone(report.staticPoints.size(),
                QStringLiteral("%1 point(s), largest |error| %2 mmHg")
                    .arg(report.staticPoints.size())
                    .arg(NumberText::judged(worstError, report.limits.staticMmHg))),
        notDone(report.overPressure.size(), QStringLiteral("%1 stretch(es), highest %2 mmHg")
                                                .arg(report.overPressure.size())
                                                .arg(highest)),
        notDone(m.count + m.ended999,
                QStringLiteral("%1 result(s), %2 ended with 999").arg(m.count).arg(m.ended999))};
}

// The longest inflation time of each patient mode, against its limit:
// "2 measurement(s), longest 181.0 s adult" (", 91.0 s neonate").
QString inflationMeasured(const QList<CheckReport::Inflation> &list)
{
    std::array<const CheckReport::Inflation *, 2> longest{}; // adult, neonate
    for (const CheckReport::Inflation &i : list) {
        const CheckReport::Inflation *&slot = longest.at(i.patient == PatientMode::Neonate);
        if (!slot || i.seconds > slot->seconds)
            slot = &i;
    }
    QStringList parts;
    for (const CheckReport::Inflation *i : longest) {
        if (i)
            parts << QStringLiteral("%1 s %2").arg(NumberText::judged(i->seconds, i->limitS),
                                                   patientModeName(i->patient));
    }
    return notDone(list.size(), QStringLiteral("%1 measurement(s), longest %2")
                                    .arg(list.size())
                                    .arg(parts.join(QStringLiteral(", "))));
}

QList<QList<Cell>> summaryRows(const CheckReport &report)
{
    const CheckLimits &l = report.limits;
    const CheckReport::Measurements &m = report.measurements;
    const QStringList what = measured(report);
    return {{{QStringLiteral("Leak test")},
             {what.at(0)},
             {QStringLiteral("≤ %1 mmHg/min over %2 s")
                  .arg(limit(l.leakMmHgPerMin), limit(l.leakWindowS))},
             verdictCell(report.leakVerdict)},
            {{QStringLiteral("Static pressure")},
             {what.at(1)},
             {QStringLiteral("|error| ≤ %1 mmHg").arg(limit(l.staticMmHg))},
             verdictCell(report.staticVerdict)},
            {{QStringLiteral("Over-pressure")},
             {what.at(2)},
             {QStringLiteral("%1 adult, %2 neonate")
                  .arg(limit(l.maxPressureAdultMmHg), limit(l.maxPressureNeonateMmHg))},
             verdictCell(report.overPressureVerdict)},
            {{QStringLiteral("Inflation time")},
             {inflationMeasured(report.inflation)},
             {QStringLiteral("≤ %1 s adult, %2 s neonate")
                  .arg(limit(l.inflationAdultS), limit(l.inflationNeonateS))},
             verdictCell(report.inflationVerdict)},
            {{QStringLiteral("Measurements")},
             {what.at(3)},
             {QStringLiteral("|mean error| ≤ %1, SD ≤ %2 mmHg")
                  .arg(limit(l.meanErrorMmHg), limit(l.sdMmHg))},
             verdictCell(m.verdict, report.setPoint || m.list.isEmpty()
                                        ? QStringLiteral("—")
                                        : QStringLiteral("NO SET POINT"))}};
}

} // namespace

void ReportPdf::summary(PageFlow &flow, const CheckReport &report)
{
    banner(flow, report);
    planBanner(flow, report);
    flow.heading(QStringLiteral("Summary"));
    flow.table({{QStringLiteral("Check"), 34},
                {QStringLiteral("Measured"), 66},
                {QStringLiteral("Limit"), 54},
                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
               summaryRows(report));
    flow.paragraph(
        report.plan
            ? QStringLiteral("Overall, under the plan: PASS only when every step passed and "
                             "over-pressure and inflation time held over the whole run; FAIL "
                             "when any step or either of them failed; else INCOMPLETE.")
            : QStringLiteral("Overall: FAIL when any check fails, else INCOMPLETE when any is "
                             "incomplete, else PASS when at least one check was judged."),
        7.5, kGrey);
    if (!report.gaps.isEmpty())
        flow.paragraph(QStringLiteral("The record misses traffic in %1 place(s) (Gaps in the "
                                      "traffic): what they touch could not be judged.")
                           .arg(report.gaps.size()),
                       8.5, ink(Verdict::Incomplete));
}

void ReportPdf::planBanner(PageFlow &flow, const CheckReport &report)
{
    if (!report.plan) {
        flow.table({{QString(), 180, Qt::AlignHCenter}},
                   {{Cell{QStringLiteral("Free check — not a release verdict"),
                          {},
                          true,
                          12,
                          ink(Verdict::Incomplete)}},
                    {Cell{QStringLiteral("No test plan was followed: the verdict is that of the "
                                         "checks that were done, not of the checks a plan "
                                         "requires."),
                          {},
                          false,
                          8,
                          kGrey}}},
                   false);
        return;
    }
    const CheckReport::Plan &plan = *report.plan;
    const QString fixed = plan.limitKeys.isEmpty() ? QStringLiteral("none")
                                                   : plan.limitKeys.join(QStringLiteral(", "));
    flow.table({{QString(), 45}, {QString(), 135}},
               {{Cell{QStringLiteral("Plan:"), {}, true, 11, kTitle},
                 Cell{QStringLiteral("%1 %2").arg(plan.name, plan.version), {}, true, 11, kTitle}},
                {Cell{QStringLiteral("Plan file SHA-256"), {}, true, 9, kGrey},
                 Cell{plan.sha256, {}, false, 8}},
                {Cell{QStringLiteral("Patient mode"), {}, true, 9, kGrey},
                 Cell{plan.patient, {}, false, 9}},
                {Cell{QStringLiteral("Limits the plan fixed"), {}, true, 9, kGrey},
                 Cell{fixed, {}, false, 9}}},
               false);
    stepsTable(flow, report);
}

namespace {

// What a step asked for: "hold 240–260 mmHg", "250, 150, 0 mmHg", "120/80 mmHg, 5 results".
QString asked(const CheckReport::PlanStep &step)
{
    if (step.step == QLatin1String("leak"))
        return QStringLiteral("hold %1–%2 mmHg")
            .arg(limit(step.holdMinMmHg), limit(step.holdMaxMmHg));
    if (step.step == QLatin1String("static")) {
        QStringList points;
        for (const CheckReport::PlannedPoint &point : step.points)
            points << limit(point.plannedMmHg);
        return points.join(QStringLiteral(", ")) + QStringLiteral(" mmHg");
    }
    return QStringLiteral("%1, %2 results, pause %3 s")
        .arg(setPointText(step.setPoint))
        .arg(step.count)
        .arg(limit(step.pauseS));
}

// A plan's steps as the PDF lists them: those that did not pass among them.
ListedRows listedSteps(const QList<CheckReport::PlanStep> &steps)
{
    return ListedRows(steps.size(), [&](int i) { return steps.at(i).verdict != Verdict::Pass; });
}

// How the step ended and when it ran: "done, 14:05:10–14:07:00", "not run".
QString ran(const CheckReport &report, const CheckReport::PlanStep &step)
{
    if (step.startMs == 0 && step.endMs == 0)
        return step.ending;
    return QStringLiteral("%1, %2–%3")
        .arg(step.ending, when(report, step.startMs), when(report, step.endMs));
}

} // namespace

void ReportPdf::stepsTable(PageFlow &flow, const CheckReport &report)
{
    const QList<CheckReport::PlanStep> &steps = report.steps;
    const ListedRows listed = listedSteps(steps);
    QList<QList<Cell>> rows;
    for (const int i : listed.rows()) {
        const CheckReport::PlanStep &step = steps.at(i);
        rows.append({{QString::number(i + 1)},
                     {step.step},
                     {asked(step)},
                     {ran(report, step)},
                     {step.reason.isEmpty() ? QStringLiteral("—") : step.reason},
                     verdictCell(step.verdict)});
    }
    flow.table({{QStringLiteral("#"), 8, Qt::AlignRight},
                {QStringLiteral("Step"), 14},
                {QStringLiteral("Asked"), 44},
                {timeTitle(report, QStringLiteral("Ran")), 36},
                {QStringLiteral("Why"), 52},
                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
               rows);
    listedNote(flow, listed, QStringLiteral("steps"));
}

void ReportPdf::signatures(PageFlow &flow)
{
    const double unit = flow.mm(1);
    flow.box(24, [unit](QPainter &p, const QRectF &box) {
        const double half = box.width() / 2;
        for (int i = 0; i < 2; ++i) {
            const QRectF area(box.left() + i * half, box.top() + 2 * unit, half - 6 * unit,
                              box.height() - 2 * unit);
            p.setFont(PageFlow::font(9, true));
            p.setPen(kGrey);
            p.drawText(area, Qt::AlignLeft | Qt::AlignTop,
                       i == 0 ? QStringLiteral("Tested by") : QStringLiteral("Approved (QA)"));
            p.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.2 * unit));
            const double line = area.top() + 15 * unit;
            p.drawLine(QPointF(area.left(), line), QPointF(area.right(), line));
            p.setFont(PageFlow::font(7.5));
            p.drawText(QRectF(area.left(), line + 0.5 * unit, area.width(), 4 * unit),
                       Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Name, signature, date"));
        }
    });
}

void ReportPdf::gapSection(PageFlow &flow, const CheckReport &report)
{
    if (report.gaps.isEmpty())
        return;
    flow.heading(QStringLiteral("Gaps in the traffic"));
    flow.paragraph(QStringLiteral("The session's record does not hold the traffic between these "
                                  "times; a check that overlaps a gap is incomplete."),
                   8, kGrey);
    const ListedRows listed(report.gaps.size(), [](int) { return false; });
    QList<QList<Cell>> rows;
    for (const int i : listed.rows()) {
        const CheckReport::Gap &g = report.gaps.at(i);
        rows.append({{QString::number(i + 1)},
                     {when(report, g.fromMs)},
                     {when(report, g.toMs)},
                     {g.port},
                     {g.what, fill(Verdict::Incomplete)}});
    }
    flow.table({{QStringLiteral("#"), 12, Qt::AlignRight},
                {timeTitle(report, QStringLiteral("From")), 28, Qt::AlignRight},
                {timeTitle(report, QStringLiteral("To")), 28, Qt::AlignRight},
                {QStringLiteral("Port"), 22},
                {QStringLiteral("What is missing"), 90}},
               rows);
    if (!listed.note(QStringLiteral("gaps")).isEmpty())
        flow.paragraph(listed.note(QStringLiteral("gaps")), 8, kGrey);
}

void ReportPdf::planSection(PageFlow &flow, const CheckReport &report)
{
    if (!report.plan)
        return;
    flow.heading(QStringLiteral("Test plan steps"));
    flow.paragraph(QStringLiteral("What each step of the plan found in the time it ran; the "
                                  "checks below list everything the session measured."),
                   8, kGrey);
    const ListedRows listed = listedSteps(report.steps);
    for (const int i : listed.rows()) {
        const CheckReport::PlanStep &step = report.steps.at(i);
        flow.subheading(QStringLiteral("Step %1: %2 (%3) — %4")
                            .arg(i + 1)
                            .arg(step.step, asked(step), badge(step.verdict)));
        if (step.step == QLatin1String("leak"))
            leakStep(flow, report, step);
        else if (step.step == QLatin1String("static"))
            staticStep(flow, report, step);
        else
            seriesStep(flow, report, step);
        if (!step.reason.isEmpty())
            flow.paragraph(QStringLiteral("%1: %2.").arg(step.verdict == Verdict::Fail
                                                             ? QStringLiteral("Failed")
                                                             : QStringLiteral("Incomplete"),
                                                         step.reason),
                           8.5, ink(step.verdict));
    }
    listedNote(flow, listed, QStringLiteral("steps"));
}

void ReportPdf::leakStep(PageFlow &flow, const CheckReport &report,
                         const CheckReport::PlanStep &step)
{
    if (!step.leakTest) {
        flow.paragraph(QStringLiteral("No leak test began in this step."), 8.5);
        return;
    }
    const CheckReport::LeakTest &t = *step.leakTest;
    QString number = QStringLiteral("—");
    for (int i = 0; i < report.leakTests.size(); ++i) {
        const CheckReport::LeakTest &listed = report.leakTests.at(i);
        if (listed.startMs == t.startMs && listed.port == t.port)
            number = QStringLiteral("Leak test %1").arg(i + 1);
    }
    const double rateLimit = report.limits.leakMmHgPerMin;
    flow.table(
        {{QStringLiteral("Hold asked"), 30, Qt::AlignRight},
         {QStringLiteral("Hold"), 24, Qt::AlignRight},
         {QStringLiteral("Rate"), 34, Qt::AlignRight},
         {QStringLiteral("Limit"), 34, Qt::AlignRight},
         {QStringLiteral("Details"), 32},
         {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
        {{{QStringLiteral("%1–%2 mmHg").arg(limit(step.holdMinMmHg), limit(step.holdMaxMmHg))},
          {t.holdMmHg ? n1(*t.holdMmHg) + QStringLiteral(" mmHg") : QStringLiteral("none")},
          {t.rateMmHgPerMin
               ? NumberText::judged(*t.rateMmHgPerMin, rateLimit) + QStringLiteral(" mmHg/min")
               : QStringLiteral("—")},
          {QStringLiteral("≤ %1 mmHg/min").arg(limit(rateLimit))},
          {number},
          verdictCell(t.verdict)}});
}

void ReportPdf::staticStep(PageFlow &flow, const CheckReport &report,
                           const CheckReport::PlanStep &step)
{
    const double errorLimit = report.limits.staticMmHg;
    const ListedRows listed(step.points.size(),
                            [&](int i) { return step.points.at(i).verdict != Verdict::Pass; });
    QList<QList<Cell>> rows;
    for (const int i : listed.rows()) {
        const CheckReport::PlannedPoint &point = step.points.at(i);
        QList<Cell> row{{QString::number(i + 1)}, {limit(point.plannedMmHg)}};
        if (const std::optional<CheckReport::StaticPoint> &pt = point.recorded) {
            const int d = std::max(1, NumberText::decimals(std::abs(pt->errorMmHg), errorLimit));
            row << Cell{NumberText::plain(pt->referenceMmHg, d)}
                << Cell{NumberText::plain(pt->boardMmHg, d)}
                << Cell{NumberText::judgedMagnitude(pt->errorMmHg, errorLimit)}
                << Cell{when(report, pt->ms)};
        } else {
            row << Cell{QStringLiteral("not recorded"), fill(Verdict::Incomplete)}
                << Cell{QStringLiteral("—")} << Cell{QStringLiteral("—")}
                << Cell{QStringLiteral("—")};
        }
        rows.append(row << verdictCell(point.verdict));
    }
    flow.table({{QStringLiteral("#"), 10, Qt::AlignRight},
                {QStringLiteral("Planned mmHg"), 26, Qt::AlignRight},
                {QStringLiteral("Reference mmHg"), 30, Qt::AlignRight},
                {QStringLiteral("Board mmHg"), 28, Qt::AlignRight},
                {QStringLiteral("Error mmHg"), 26, Qt::AlignRight},
                {timeTitle(report), 34, Qt::AlignRight},
                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
               rows);
    listedNote(flow, listed, QStringLiteral("planned points"));
}

void ReportPdf::seriesStep(PageFlow &flow, const CheckReport &report,
                           const CheckReport::PlanStep &step)
{
    if (!step.series) {
        flow.paragraph(QStringLiteral("No result was taken in this step."), 8.5);
        return;
    }
    const CheckReport::Measurements &m = *step.series;
    flow.paragraph(QStringLiteral("%1 of %2 result(s) asked, %3 measurement(s) ended with "
                                  "\"999\"; against the step's set point %4.")
                       .arg(m.count)
                       .arg(step.count)
                       .arg(m.ended999)
                       .arg(setPointText(step.setPoint)),
                   8.5);
    statisticsTable(flow, m, report.limits);
}

void ReportPdf::leakSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Leak test"));
    if (report.leakTests.isEmpty()) {
        flow.paragraph(QStringLiteral("No leak test in this session."));
        return;
    }
    for (int i = 0; i < report.leakTests.size(); ++i)
        leakTest(flow, report, i);
}

namespace {

QString leakIncomplete(const CheckReport &report, const CheckReport::LeakTest &t)
{
    if (!t.reason.isEmpty())
        return t.reason;
    if (!t.holdMmHg)
        return QStringLiteral("no pump-up to a hold pressure was seen");
    if (!t.complete)
        return QStringLiteral("the test ended before its %1 s window was over")
            .arg(limit(report.limits.leakWindowS));
    return QStringLiteral("the board sent no pressure for the last part of the window");
}

QString leakWindowText(const CheckReport &report, const CheckReport::LeakTest &t)
{
    const QString settling =
        t.settled ? QString()
                  : QStringLiteral(" Not settled: the pressure was still changing when the "
                                   "longest settling time (%1 s) ran out.")
                        .arg(limit(report.limits.leakSettleMaxS));
    if (!t.windowStartMs)
        return QStringLiteral("No measuring window began.") + settling;
    const QString outliers =
        t.outliers.isEmpty()
            ? QStringLiteral("none left out of the fit")
            : QStringLiteral("%1 left out of the fit as outliers (× on the curves)")
                  .arg(t.outliers.size());
    return QStringLiteral("Window from %1, after %2 s of settling from the peak; %3 readings in "
                          "the window, %4.%5")
        .arg(when(report, *t.windowStartMs), NumberText::plain(t.settleS))
        .arg(t.windowReadings)
        .arg(outliers, settling);
}

} // namespace

void ReportPdf::leakTest(PageFlow &flow, const CheckReport &report, int index)
{
    const CheckReport::LeakTest &t = report.leakTests.at(index);
    const double rateLimit = report.limits.leakMmHgPerMin;
    flow.subheading(QStringLiteral("Leak test %1 (%2, from %3)")
                        .arg(index + 1)
                        .arg(t.port, when(report, t.startMs)));
    flow.table({{QStringLiteral("Hold"), 26, Qt::AlignRight},
                {QStringLiteral("Drop"), 24, Qt::AlignRight},
                {QStringLiteral("Rate"), 34, Qt::AlignRight},
                {QStringLiteral("Window"), 22, Qt::AlignRight},
                {QStringLiteral("Ended by"), 48},
                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
               {{{t.holdMmHg ? n1(*t.holdMmHg) + QStringLiteral(" mmHg") : QStringLiteral("none")},
                 {n1(t.dropMmHg) + QStringLiteral(" mmHg")},
                 {t.rateMmHgPerMin ? NumberText::judged(*t.rateMmHgPerMin, rateLimit) +
                                         QStringLiteral(" mmHg/min")
                                   : QStringLiteral("—")},
                 {n1(t.windowS) + QStringLiteral(" s")},
                 {t.endedBy.isEmpty() ? QStringLiteral("still running") : t.endedBy},
                 verdictCell(t.verdict)}});
    flow.paragraph(leakWindowText(report, t), 8.5);
    if (t.verdict == Verdict::Incomplete)
        flow.paragraph(QStringLiteral("Incomplete: %1.").arg(leakIncomplete(report, t)), 8.5,
                       ink(Verdict::Incomplete));
    const double unit = flow.mm(1);
    flow.box(58, [&t, unit, rateLimit](QPainter &p, const QRectF &box) {
        const double gap = 6 * unit;
        const QRectF left(box.left(), box.top(), (box.width() - gap) / 2, box.height());
        ReportCharts::leakStretch(p, left, unit, t);
        ReportCharts::leakWindow(p, left.translated(left.width() + gap, 0), unit, t, rateLimit);
    });
}

void ReportPdf::staticSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Static pressure"));
    const CheckLimits &l = report.limits;
    if (report.staticPoints.isEmpty()) {
        flow.paragraph(QStringLiteral("No static point was recorded in this session."));
    } else {
        flow.paragraph(QStringLiteral("The board's reading is the mean of its pressure lines over "
                                      "the last %1 s before the point was recorded; error = board "
                                      "− reference. Sorted by reference.")
                           .arg(limit(l.staticWindowS)),
                       8, kGrey);
        const ListedRows listed(report.staticPoints.size(), [&](int i) {
            return report.staticPoints.at(i).verdict != Verdict::Pass;
        });
        QList<QList<Cell>> rows;
        for (const int i : listed.rows()) {
            const CheckReport::StaticPoint &pt = report.staticPoints.at(i);
            // Board and reference with the error's decimals, so that they add up.
            const int d = std::max(1, NumberText::decimals(std::abs(pt.errorMmHg), l.staticMmHg));
            rows.append({{NumberText::plain(pt.referenceMmHg, d)},
                         {NumberText::plain(pt.boardMmHg, d)},
                         {NumberText::judgedMagnitude(pt.errorMmHg, l.staticMmHg)},
                         {NumberText::judged(pt.spreadMmHg, l.staticSpreadMmHg)},
                         {QString::number(pt.readings)},
                         {when(report, pt.ms)},
                         {pt.port},
                         verdictCell(pt.verdict)});
        }
        flow.table({{QStringLiteral("Reference mmHg"), 26, Qt::AlignRight},
                    {QStringLiteral("Board mmHg"), 24, Qt::AlignRight},
                    {QStringLiteral("Error mmHg"), 22, Qt::AlignRight},
                    {QStringLiteral("Spread mmHg"), 22, Qt::AlignRight},
                    {QStringLiteral("Readings"), 18, Qt::AlignRight},
                    {timeTitle(report), 26, Qt::AlignRight},
                    {QStringLiteral("Port"), 16},
                    {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
                   rows);
        if (!listed.note(QStringLiteral("points")).isEmpty())
            flow.paragraph(listed.note(QStringLiteral("points")), 8, kGrey);
        for (const CheckReport::StaticPoint &pt : report.staticPoints) {
            if (!pt.reason.isEmpty())
                flow.paragraph(
                    QStringLiteral("Point at %1 mmHg (%2): %3.")
                        .arg(NumberText::plain(pt.referenceMmHg), when(report, pt.ms), pt.reason),
                    8.5);
        }
    }
    refusalTable(flow, report);
}

void ReportPdf::refusalTable(PageFlow &flow, const CheckReport &report)
{
    if (report.refusals.isEmpty())
        return;
    flow.subheading(QStringLiteral("Refused readings"));
    flow.paragraph(QStringLiteral("Reference readings the checks did not take as a static point; "
                                  "nothing was recorded for them."),
                   8, kGrey);
    const ListedRows listed(report.refusals.size(), [](int) { return false; });
    QList<QList<Cell>> rows;
    for (const int i : listed.rows()) {
        const CheckReport::Refusal &r = report.refusals.at(i);
        rows.append({{QString::number(i + 1)},
                     {when(report, r.ms)},
                     {r.port},
                     {NumberText::plain(r.referenceMmHg)},
                     {r.reason, fill(Verdict::Incomplete)}});
    }
    flow.table({{QStringLiteral("#"), 12, Qt::AlignRight},
                {timeTitle(report), 28, Qt::AlignRight},
                {QStringLiteral("Port"), 20},
                {QStringLiteral("Reference mmHg"), 28, Qt::AlignRight},
                {QStringLiteral("Why it was refused"), 92}},
               rows);
    if (!listed.note(QStringLiteral("refused readings")).isEmpty())
        flow.paragraph(listed.note(QStringLiteral("refused readings")), 8, kGrey);
}

void ReportPdf::overPressureSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Over-pressure"));
    const QList<CheckReport::Stretch> &list = report.overPressure;
    if (list.isEmpty()) {
        flow.paragraph(QStringLiteral("No measurement, leak test or manometer stretch with a "
                                      "pressure in this session."));
        return;
    }
    const ListedRows listed(list.size(),
                            [&](int i) { return list.at(i).verdict != Verdict::Pass; });
    QList<QList<Cell>> rows;
    QStringList reasons;
    for (const int i : listed.rows()) {
        const CheckReport::Stretch &st = list.at(i);
        rows.append({{QString::number(i + 1)},
                     {stretchKindName(st.kind)},
                     {patientModeName(st.patient)},
                     {st.port},
                     {when(report, st.startMs)},
                     {QString::number(st.maxMmHg)},
                     {limit(st.limitMmHg)},
                     {st.exceededMs ? when(report, *st.exceededMs) : QStringLiteral("—")},
                     verdictCell(st.verdict)});
        if (st.verdict == Verdict::Incomplete && !st.reason.isEmpty())
            reasons << QStringLiteral("#%1: %2").arg(i + 1).arg(st.reason);
    }
    flow.table({{QStringLiteral("#"), 14, Qt::AlignRight},
                {QStringLiteral("Stretch"), 24},
                {QStringLiteral("Patient"), 18},
                {QStringLiteral("Port"), 16},
                {timeTitle(report, QStringLiteral("Start")), 22, Qt::AlignRight},
                {QStringLiteral("Max mmHg"), 18, Qt::AlignRight},
                {QStringLiteral("Limit mmHg"), 18, Qt::AlignRight},
                {timeTitle(report, QStringLiteral("Exceeded at")), 26, Qt::AlignRight},
                {QStringLiteral("Verdict"), 24, Qt::AlignHCenter}},
               rows);
    if (!listed.note(QStringLiteral("stretches")).isEmpty())
        flow.paragraph(listed.note(QStringLiteral("stretches")), 8, kGrey);
    for (const QString &reason : std::as_const(reasons))
        flow.paragraph(QStringLiteral("Incomplete %1").arg(reason), 8.5, ink(Verdict::Incomplete));
}

void ReportPdf::inflationSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Inflation time"));
    const QList<CheckReport::Inflation> &list = report.inflation;
    if (list.isEmpty()) {
        flow.paragraph(QStringLiteral("No measurement with a pressure in this session."));
        return;
    }
    flow.paragraph(QStringLiteral("The time each measurement held the cuff above the threshold of "
                                  "its patient mode, added up over the measurement. Leak tests "
                                  "and manometer holds keep the pressure up on purpose and are "
                                  "exempt."),
                   8, kGrey);
    const ListedRows listed(list.size(),
                            [&](int i) { return list.at(i).verdict != Verdict::Pass; });
    QList<QList<Cell>> rows;
    QStringList reasons;
    for (const int i : listed.rows()) {
        const CheckReport::Inflation &in = list.at(i);
        rows.append({{QString::number(i + 1)},
                     {patientModeName(in.patient)},
                     {in.port},
                     {when(report, in.startMs)},
                     {limit(in.thresholdMmHg)},
                     {NumberText::judged(in.seconds, in.limitS)},
                     {limit(in.limitS)},
                     {in.exceededMs ? when(report, *in.exceededMs) : QStringLiteral("—")},
                     verdictCell(in.verdict)});
        if (in.verdict == Verdict::Incomplete && !in.reason.isEmpty())
            reasons << QStringLiteral("#%1: %2").arg(i + 1).arg(in.reason);
    }
    flow.table({{QStringLiteral("#"), 14, Qt::AlignRight},
                {QStringLiteral("Patient"), 18},
                {QStringLiteral("Port"), 16},
                {timeTitle(report, QStringLiteral("Start")), 24, Qt::AlignRight},
                {QStringLiteral("Above mmHg"), 20, Qt::AlignRight},
                {QStringLiteral("Time s"), 18, Qt::AlignRight},
                {QStringLiteral("Limit s"), 16, Qt::AlignRight},
                {timeTitle(report, QStringLiteral("Exceeded at")), 28, Qt::AlignRight},
                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
               rows);
    listedNote(flow, listed, QStringLiteral("measurements' inflation times"));
    for (const QString &reason : std::as_const(reasons))
        flow.paragraph(QStringLiteral("Incomplete %1").arg(reason), 8.5, ink(Verdict::Incomplete));
}

void ReportPdf::measurementSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Measurements"));
    const CheckReport::Measurements &m = report.measurements;
    if (m.list.isEmpty()) {
        flow.paragraph(QStringLiteral("No result line and no \"999\" in this session."));
        if (m.verdict == Verdict::Incomplete && !m.reason.isEmpty())
            flow.paragraph(QStringLiteral("Incomplete: %1.").arg(m.reason), 8.5,
                           ink(Verdict::Incomplete));
        return;
    }
    flow.paragraph(QStringLiteral("%1 result(s), %2 measurement(s) ended with \"999\". Set point: "
                                  "%3. Standard deviation with n − 1; at least %4 results are "
                                  "needed for a verdict.")
                       .arg(m.count)
                       .arg(m.ended999)
                       .arg(setPointText(report.setPoint), limit(report.limits.seriesMinN)),
                   8.5);
    if (m.verdict == Verdict::Incomplete)
        flow.paragraph(
            QStringLiteral("Incomplete: %1.")
                .arg(m.reason.isEmpty() ? QStringLiteral("a value has too few results") : m.reason),
            8.5, ink(Verdict::Incomplete));
    statisticsTable(flow, m, report.limits);
    if (m.count > 0) {
        const double unit = flow.mm(1);
        const std::optional<SetPoint> &point = report.setPoint;
        const double band = report.limits.meanErrorMmHg;
        flow.box(62, [&m, &point, unit, band](QPainter &p, const QRectF &box) {
            ReportCharts::series(p, box, unit, m, point, band);
        });
    }
    measurementTable(flow, report);
}

void ReportPdf::statisticsTable(PageFlow &flow, const CheckReport::Measurements &m,
                                const CheckLimits &l)
{
    QList<QList<Cell>> rows;
    for (auto [name, s] : {std::pair{QStringLiteral("Systolic"), &m.systolic},
                           {QStringLiteral("Diastolic"), &m.diastolic},
                           {QStringLiteral("Mean"), &m.mean},
                           {QStringLiteral("Pulse /min"), &m.pulse}}) {
        const bool any = s->n > 0;
        // A judged value's mean gets the decimals of its error, so that they agree.
        const bool judged = s->verdict != Verdict::None;
        const int d =
            judged && s->meanError
                ? std::max(1, NumberText::decimals(std::abs(*s->meanError), l.meanErrorMmHg))
                : 1;
        const QString sd = !s->sd   ? QStringLiteral("—")
                           : judged ? NumberText::judged(*s->sd, l.sdMmHg)
                                    : n1(*s->sd);
        const QString error = !s->meanError ? QStringLiteral("—")
                              : judged ? NumberText::judgedMagnitude(*s->meanError, l.meanErrorMmHg)
                                       : n1(*s->meanError);
        rows.append({{name, {}, true},
                     {QString::number(s->n)},
                     {any ? NumberText::plain(s->mean, d) : QStringLiteral("—")},
                     {sd},
                     {any ? n1(s->min) : QStringLiteral("—")},
                     {any ? n1(s->max) : QStringLiteral("—")},
                     {s->reference ? limit(*s->reference) : QStringLiteral("—")},
                     {error},
                     verdictCell(s->verdict)});
    }
    flow.table({{QString(), 24},
                {QStringLiteral("n"), 14, Qt::AlignRight},
                {QStringLiteral("Mean"), 18, Qt::AlignRight},
                {QStringLiteral("SD"), 16, Qt::AlignRight},
                {QStringLiteral("Min"), 16, Qt::AlignRight},
                {QStringLiteral("Max"), 16, Qt::AlignRight},
                {QStringLiteral("Reference"), 20, Qt::AlignRight},
                {QStringLiteral("Mean error"), 22, Qt::AlignRight},
                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
               rows);
}

void ReportPdf::measurementTable(PageFlow &flow, const CheckReport &report)
{
    const QList<CheckReport::Measurement> &list = report.measurements.list;
    flow.subheading(QStringLiteral("Each measurement"));
    const auto failed = [&](int i) {
        const CheckReport::Measurement &r = list.at(i);
        return r.ended999 || !r.systolic || !r.diastolic || !r.mean || !r.pulse;
    };
    const ListedRows listed(list.size(), failed);
    const auto value = [](const std::optional<int> &v) {
        return v ? QString::number(*v) : QStringLiteral("—");
    };
    QList<QList<Cell>> rows;
    for (const int i : listed.rows()) {
        const CheckReport::Measurement &r = list.at(i);
        rows.append({{QString::number(i + 1)},
                     {when(report, r.ms)},
                     {r.port},
                     {r.ended999 ? QString() : value(r.systolic)},
                     {r.ended999 ? QString() : value(r.diastolic)},
                     {r.ended999 ? QString() : value(r.mean)},
                     {r.ended999 ? QString() : value(r.pulse)},
                     r.ended999 ? Cell{QStringLiteral("999"), fill(Verdict::Incomplete), true}
                                : Cell{QStringLiteral("result")}});
    }
    flow.table({{QStringLiteral("#"), 16, Qt::AlignRight},
                {timeTitle(report), 28, Qt::AlignRight},
                {QStringLiteral("Port"), 18},
                {QStringLiteral("Systolic"), 22, Qt::AlignRight},
                {QStringLiteral("Diastolic"), 22, Qt::AlignRight},
                {QStringLiteral("Mean"), 20, Qt::AlignRight},
                {QStringLiteral("Pulse"), 20, Qt::AlignRight},
                {QStringLiteral("Outcome"), 26, Qt::AlignHCenter}},
               rows);
    if (!listed.note(QStringLiteral("measurements")).isEmpty())
        flow.paragraph(listed.note(QStringLiteral("measurements")), 8, kGrey);
}

void ReportPdf::curveSection(PageFlow &flow, const CheckReport &report)
{
    const QList<CheckReport::Measurement> &list = report.measurements.list;
    if (list.isEmpty())
        return;
    flow.heading(QStringLiteral("Pressure curves"));
    QList<int> kept;
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).hasCurve)
            kept.append(i);
    }
    QList<int> numbers;
    for (const int i : std::as_const(kept))
        numbers.append(i + 1);
    if (kept.isEmpty())
        flow.paragraph(QStringLiteral("No measurement's curve was kept."));
    else if (kept.size() == list.size())
        flow.paragraph(QStringLiteral("The cuff pressure of each measurement from its start."),
                       8.5);
    else
        flow.paragraph(
            QStringLiteral("The checks keep the curves of a long session's first and "
                           "latest measurements only; shown are %1 (%2 of %3 measurements). The "
                           "statistics are over all of them.")
                .arg(ranges(numbers))
                .arg(kept.size())
                .arg(list.size()),
            8.5);
    constexpr int kColumns = 3;
    const double unit = flow.mm(1);
    for (int first = 0; first < kept.size(); first += kColumns) {
        const QList<int> row = kept.mid(first, kColumns);
        flow.box(42, [&list, row, unit](QPainter &p, const QRectF &box) {
            const double gap = 3 * unit;
            const double width = (box.width() - gap * (kColumns - 1)) / kColumns;
            for (int j = 0; j < row.size(); ++j) {
                const QRectF cell(box.left() + j * (width + gap), box.top(), width, box.height());
                ReportCharts::curve(p, cell, unit, list.at(row.at(j)), row.at(j) + 1);
            }
        });
    }
}

void ReportPdf::limitsSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Limits used"));
    QList<QList<Cell>> rows;
    const QStringList fixed = report.plan ? report.plan->limitKeys : QStringList();
    for (const CheckLimits::Key &key : CheckLimits::keys()) {
        const QString name = QLatin1String(key.name);
        rows.append({{QLatin1String(key.label)},
                     {limit(report.limits.*(key.value))},
                     {QLatin1String(key.unit)},
                     {fixed.contains(name) ? name + QStringLiteral(" (plan)") : name}});
    }
    flow.table({{QStringLiteral("Limit"), 78},
                {QStringLiteral("Value"), 20, Qt::AlignRight},
                {QStringLiteral("Unit"), 22},
                {QStringLiteral("[checks] key"), 60}},
               rows);
    flow.paragraph(QStringLiteral("A value on its limit passes; values are judged unrounded and "
                                  "printed with the decimals that show their side of the limit. "
                                  "The limits come from the [checks] group of the settings file "
                                  "where it sets them; those marked (plan) the test plan fixed, "
                                  "and the settings file cannot change them."),
                   7.5, kGrey);
}
