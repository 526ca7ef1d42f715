// SPDX-License-Identifier: MIT
#include "report_pdf.h"

#include "page_flow.h"
#include "report_charts.h"
#include "trace_header.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

using Cell = PageFlow::Cell;
using Column = PageFlow::Column;

const QColor kPassFill(0xd4, 0xef, 0xd4);
const QColor kFailFill(0xf8, 0xcf, 0xcf);
const QColor kIncompleteFill(0xfb, 0xe6, 0xb8);
const QColor kNoneFill(0xea, 0xea, 0xea);
const QColor kPassInk(0x1b, 0x6e, 0x2a);
const QColor kFailInk(0xb0, 0x10, 0x10);
const QColor kIncompleteInk(0x9a, 0x60, 0x00);
const QColor kGrey(0x60, 0x60, 0x60);

QColor fill(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return kPassFill;
    case Verdict::Fail:
        return kFailFill;
    case Verdict::Incomplete:
        return kIncompleteFill;
    case Verdict::None:
        break;
    }
    return kNoneFill;
}

QColor ink(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return kPassInk;
    case Verdict::Fail:
        return kFailInk;
    case Verdict::Incomplete:
        return kIncompleteInk;
    case Verdict::None:
        break;
    }
    return kGrey;
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
    const double rounded = std::round(value * 10.0) / 10.0;
    return QString::number(rounded == 0.0 ? 0.0 : rounded, 'f', 1);
}

// A setting as it was typed: 300, 5, 2.5.
QString compact(double value)
{
    const double rounded = std::round(value * 10.0) / 10.0;
    return QString::number(rounded, 'f', rounded == std::round(rounded) ? 0 : 1);
}

QString n1(const std::optional<double> &value)
{
    return value ? n1(*value) : QStringLiteral("—");
}

QString orUnknown(const QString &text, const QString &unknown = QStringLiteral("not given"))
{
    return text.trimmed().isEmpty() ? unknown : text;
}

// A trace time as the wall-clock time when the start is known, else as
// seconds since the trace began.
QString when(const CheckReport &report, qint64 ms)
{
    if (report.session.started.isValid())
        return report.session.started.addMSecs(ms).toString(QStringLiteral("HH:mm:ss"));
    return QStringLiteral("%1 s").arg(ms / 1000.0, 0, 'f', 1);
}

QString setPointText(const std::optional<SetPoint> &point)
{
    if (!point)
        return QStringLiteral("none (statistics only)");
    QString text = QStringLiteral("%1/%2").arg(compact(point->systolic), compact(point->diastolic));
    if (point->mean)
        text += QStringLiteral(" (mean %1)").arg(compact(*point->mean));
    text += QStringLiteral(" mmHg");
    if (point->pulse)
        text += QStringLiteral(", pulse %1 /min").arg(compact(*point->pulse));
    return text;
}

} // namespace

bool ReportPdf::write(const CheckReport &report, QIODevice &device, const QDateTime &made,
                      QString *error)
{
    // A first pass counts the pages, so that each can say "of n".
    QBuffer scratch;
    scratch.open(QIODevice::WriteOnly);
    int pages = 0;
    {
        QPdfWriter counting(&scratch);
        pages = render(report, counting, made, 0);
    }
    QPdfWriter writer(&device);
    writer.setTitle(QStringLiteral("Bench check report %1").arg(report.session.board));
    writer.setCreator(report.session.program);
    if (render(report, writer, made, pages) < 0) {
        if (error)
            *error = QStringLiteral("the PDF could not be drawn");
        return false;
    }
    return true;
}

int ReportPdf::render(const CheckReport &report, QPdfWriter &writer, const QDateTime &made,
                      int pageCount)
{
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(300);
    QPainter painter;
    if (!painter.begin(&writer))
        return -1;
    painter.setRenderHint(QPainter::Antialiasing);
    const QString footer = QStringLiteral("Bench check · board %1 · %2")
                               .arg(orUnknown(report.session.board, QStringLiteral("(no ID)")),
                                    report.session.started.isValid()
                                        ? TraceHeader::isoWithOffset(report.session.started)
                                        : TraceHeader::isoWithOffset(made));
    PageFlow flow(writer, painter, footer, pageCount);
    titleBlock(flow, report, made);
    summary(flow, report);
    signatures(flow);
    leakSection(flow, report);
    staticSection(flow, report);
    overPressureSection(flow, report);
    measurementSection(flow, report);
    curveSection(flow, report);
    limitsSection(flow, report);
    painter.end();
    return flow.pages();
}

void ReportPdf::titleBlock(PageFlow &flow, const CheckReport &report, const QDateTime &made)
{
    const CheckReport::Session &s = report.session;
    flow.box(16, [&](const QRectF &box) {
        QPainter &p = flow.painter();
        p.setPen(QColor(0x1a, 0x3a, 0x6a));
        p.setFont(flow.font(18, true));
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Bench check report"));
        p.setFont(flow.font(9));
        p.setPen(kGrey);
        p.drawText(box, Qt::AlignLeft | Qt::AlignBottom,
                   QStringLiteral("Non-invasive blood pressure measuring board"));
        p.setFont(flow.font(11, true));
        p.drawText(box, Qt::AlignRight | Qt::AlignTop,
                   orUnknown(s.program, QStringLiteral("tarnvik")));
        p.setFont(flow.font(8));
        p.drawText(box, Qt::AlignRight | Qt::AlignBottom,
                   QStringLiteral("Report made %1").arg(TraceHeader::isoWithOffset(made)));
    });
    const QList<std::pair<QString, QString>> items{
        {QStringLiteral("Board ID"), orUnknown(s.board)},
        {QStringLiteral("Operator"), orUnknown(s.operatorName)},
        {QStringLiteral("Reference instrument"), orUnknown(s.instrument)},
        {QStringLiteral("Session started"),
         s.started.isValid() ? TraceHeader::isoWithOffset(s.started)
                             : QStringLiteral("unknown (the trace has no start time)")},
        {QStringLiteral("Port"), orUnknown(s.port, QStringLiteral("unknown"))},
        {QStringLiteral("Device"),
         orUnknown(s.device, QStringLiteral("unknown (report made from a trace)"))},
        {QStringLiteral("Set point"), setPointText(report.setPoint)},
    };
    flow.box(items.size() * 5.2 + 2, [&](const QRectF &box) {
        QPainter &p = flow.painter();
        p.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), flow.mm(0.2)));
        p.drawLine(box.topLeft(), box.topRight());
        for (int i = 0; i < items.size(); ++i) {
            const QRectF row(box.left(), box.top() + flow.mm(1 + i * 5.2), box.width(),
                             flow.mm(5.2));
            p.setFont(flow.font(9, true));
            p.setPen(kGrey);
            p.drawText(row.adjusted(flow.mm(1), 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       items.at(i).first);
            p.setFont(flow.font(9.5));
            p.setPen(Qt::black);
            p.drawText(row.adjusted(flow.mm(45), 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       items.at(i).second);
        }
        p.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), flow.mm(0.2)));
        p.drawLine(box.bottomLeft(), box.bottomRight());
    });
}

void ReportPdf::banner(PageFlow &flow, const CheckReport &report)
{
    flow.space(2);
    flow.box(14, [&](const QRectF &box) {
        QPainter &p = flow.painter();
        p.setPen(QPen(ink(report.verdict), flow.mm(0.6)));
        p.setBrush(fill(report.verdict));
        p.drawRoundedRect(box, flow.mm(2), flow.mm(2));
        p.setFont(flow.font(16, true));
        p.setPen(ink(report.verdict));
        p.drawText(box, Qt::AlignCenter,
                   QStringLiteral("Overall verdict: %1")
                       .arg(badge(report.verdict, QStringLiteral("NOTHING TO JUDGE"))));
    });
}

void ReportPdf::summary(PageFlow &flow, const CheckReport &report)
{
    banner(flow, report);
    flow.heading(QStringLiteral("Summary"));
    const CheckLimits &l = report.limits;
    double worstRate = 0, worstError = 0;
    int highest = 0;
    for (const CheckReport::LeakTest &t : report.leakTests)
        worstRate = std::max(worstRate, t.rateMmHgPerMin.value_or(0));
    for (const CheckReport::StaticPoint &pt : report.staticPoints)
        worstError = std::max(worstError, std::abs(pt.errorMmHg));
    for (const CheckReport::Stretch &st : report.overPressure)
        highest = std::max(highest, st.maxMmHg);
    const CheckReport::Measurements &m = report.measurements;
    const QList<Column> columns{{QStringLiteral("Check"), 34},
                                {QStringLiteral("Measured"), 66},
                                {QStringLiteral("Limit"), 54},
                                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}};
    const auto none = [](qsizetype n, const QString &text) {
        return n == 0 ? QStringLiteral("not done") : text;
    };
    flow.table(
        columns,
        {{{QStringLiteral("Leak test")},
          {none(report.leakTests.size(), QStringLiteral("%1 test(s), highest rate %2 mmHg/min")
                                             .arg(report.leakTests.size())
                                             .arg(n1(worstRate)))},
          {QStringLiteral("≤ %1 mmHg/min over %2 s")
               .arg(compact(l.leakMmHgPerMin), compact(l.leakWindowS))},
          verdictCell(report.leakVerdict)},
         {{QStringLiteral("Static pressure")},
          {none(report.staticPoints.size(), QStringLiteral("%1 point(s), largest |error| %2 mmHg")
                                                .arg(report.staticPoints.size())
                                                .arg(n1(worstError)))},
          {QStringLiteral("|error| ≤ %1 mmHg").arg(compact(l.staticMmHg))},
          verdictCell(report.staticVerdict)},
         {{QStringLiteral("Over-pressure")},
          {none(report.overPressure.size(), QStringLiteral("%1 stretch(es), highest %2 mmHg")
                                                .arg(report.overPressure.size())
                                                .arg(highest))},
          {QStringLiteral("%1 adult, %2 neonate")
               .arg(compact(l.maxPressureAdultMmHg), compact(l.maxPressureNeonateMmHg))},
          verdictCell(report.overPressureVerdict)},
         {{QStringLiteral("Measurements")},
          {none(m.count + m.ended999,
                QStringLiteral("%1 result(s), %2 ended with 999").arg(m.count).arg(m.ended999))},
          {QStringLiteral("|mean error| ≤ %1, SD ≤ %2 mmHg")
               .arg(compact(l.meanErrorMmHg), compact(l.sdMmHg))},
          verdictCell(m.verdict, report.setPoint || m.list.isEmpty()
                                     ? QStringLiteral("—")
                                     : QStringLiteral("NO SET POINT"))}});
    flow.paragraph(QStringLiteral("Overall: FAIL when any check fails, else INCOMPLETE when any "
                                  "is incomplete, else PASS when at least one check was judged."),
                   7.5, kGrey);
}

void ReportPdf::signatures(PageFlow &flow)
{
    flow.space(4);
    flow.box(22, [&](const QRectF &box) {
        QPainter &p = flow.painter();
        const double half = box.width() / 2;
        for (int i = 0; i < 2; ++i) {
            const QRectF area(box.left() + i * half, box.top(), half - flow.mm(6), box.height());
            p.setFont(flow.font(9, true));
            p.setPen(kGrey);
            p.drawText(area, Qt::AlignLeft | Qt::AlignTop,
                       i == 0 ? QStringLiteral("Tested by") : QStringLiteral("Approved (QA)"));
            p.setPen(QPen(QColor(0x80, 0x80, 0x80), flow.mm(0.2)));
            const double line = area.top() + flow.mm(15);
            p.drawLine(QPointF(area.left(), line), QPointF(area.right(), line));
            p.setFont(flow.font(7.5));
            p.drawText(QRectF(area.left(), line + flow.mm(0.5), area.width(), flow.mm(4)),
                       Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Name, signature, date"));
        }
    });
}

void ReportPdf::leakSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Leak test"));
    if (report.leakTests.isEmpty()) {
        flow.paragraph(QStringLiteral("No leak test in this session."));
        return;
    }
    for (int i = 0; i < report.leakTests.size(); ++i) {
        const CheckReport::LeakTest &t = report.leakTests.at(i);
        flow.need(86);
        flow.subheading(QStringLiteral("Leak test %1 (%2, from %3)")
                            .arg(i + 1)
                            .arg(t.port, when(report, t.startMs)));
        flow.table(
            {{QStringLiteral("Hold"), 26, Qt::AlignRight},
             {QStringLiteral("Drop"), 24, Qt::AlignRight},
             {QStringLiteral("Rate"), 32, Qt::AlignRight},
             {QStringLiteral("Window"), 24, Qt::AlignRight},
             {QStringLiteral("Ended by"), 48},
             {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
            {{{t.holdMmHg ? n1(*t.holdMmHg) + QStringLiteral(" mmHg") : QStringLiteral("none")},
              {n1(t.dropMmHg) + QStringLiteral(" mmHg")},
              {t.rateMmHgPerMin ? n1(*t.rateMmHgPerMin) + QStringLiteral(" mmHg/min")
                                : QStringLiteral("—")},
              {n1(t.windowS) + QStringLiteral(" s")},
              {t.endedBy.isEmpty() ? QStringLiteral("still running") : t.endedBy},
              verdictCell(t.verdict)}});
        if (t.complete && t.verdict == Verdict::Incomplete)
            flow.paragraph(QStringLiteral("Incomplete: the board sent no pressure for the last "
                                          "part of the window; the figures are what was measured."),
                           8, kIncompleteInk);
        else if (!t.complete)
            flow.paragraph(
                t.holdMmHg ? QStringLiteral("Incomplete: the test ended before its %1 s window was "
                                            "over; the figures are what was measured.")
                                 .arg(compact(report.limits.leakWindowS))
                           : QStringLiteral("Incomplete: no pump-up to a hold pressure was seen."),
                8, kIncompleteInk);
        flow.box(58, [&](const QRectF &box) {
            const double gap = flow.mm(6);
            const QRectF left(box.left(), box.top(), (box.width() - gap) / 2, box.height());
            ReportCharts::leakStretch(flow.painter(), left, flow.mm(1), t);
            ReportCharts::leakWindow(flow.painter(), left.translated(left.width() + gap, 0),
                                     flow.mm(1), t);
        });
    }
}

void ReportPdf::staticSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Static pressure"));
    if (report.staticPoints.isEmpty()) {
        flow.paragraph(QStringLiteral("No static point was recorded in this session."));
        return;
    }
    flow.paragraph(QStringLiteral("The board's reading is the mean of its pressure lines over the "
                                  "last %1 s before the point was recorded; error = board − "
                                  "reference. Sorted by reference.")
                       .arg(compact(report.limits.staticWindowS)),
                   8, kGrey);
    QList<QList<Cell>> rows;
    for (const CheckReport::StaticPoint &pt : report.staticPoints)
        rows.append({{n1(pt.referenceMmHg)},
                     {n1(pt.boardMmHg)},
                     {n1(pt.errorMmHg)},
                     {n1(pt.spreadMmHg)},
                     {QString::number(pt.readings)},
                     {when(report, pt.ms)},
                     verdictCell(pt.verdict)});
    flow.table({{QStringLiteral("Reference mmHg"), 30, Qt::AlignRight},
                {QStringLiteral("Board mmHg"), 26, Qt::AlignRight},
                {QStringLiteral("Error mmHg"), 24, Qt::AlignRight},
                {QStringLiteral("Spread mmHg"), 26, Qt::AlignRight},
                {QStringLiteral("Readings"), 20, Qt::AlignRight},
                {QStringLiteral("Time"), 28, Qt::AlignRight},
                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
               rows);
}

void ReportPdf::overPressureSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Over-pressure"));
    if (report.overPressure.isEmpty()) {
        flow.paragraph(QStringLiteral("No measurement, leak test or manometer stretch with a "
                                      "pressure in this session."));
        return;
    }
    QList<QList<Cell>> rows;
    for (int i = 0; i < report.overPressure.size(); ++i) {
        const CheckReport::Stretch &st = report.overPressure.at(i);
        rows.append({{QString::number(i + 1)},
                     {st.kind},
                     {st.patient},
                     {when(report, st.startMs)},
                     {QString::number(st.maxMmHg)},
                     {QString::number(st.limitMmHg)},
                     {st.exceededMs ? when(report, *st.exceededMs) : QStringLiteral("—")},
                     verdictCell(st.verdict)});
    }
    flow.table({{QStringLiteral("#"), 10, Qt::AlignRight},
                {QStringLiteral("Stretch"), 28},
                {QStringLiteral("Patient"), 20},
                {QStringLiteral("Start"), 24, Qt::AlignRight},
                {QStringLiteral("Max mmHg"), 22, Qt::AlignRight},
                {QStringLiteral("Limit mmHg"), 22, Qt::AlignRight},
                {QStringLiteral("Exceeded at"), 28, Qt::AlignRight},
                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
               rows);
}

void ReportPdf::measurementSection(PageFlow &flow, const CheckReport &report)
{
    flow.heading(QStringLiteral("Measurements"));
    const CheckReport::Measurements &m = report.measurements;
    if (m.list.isEmpty()) {
        flow.paragraph(QStringLiteral("No result line and no \"999\" in this session."));
        return;
    }
    flow.paragraph(QStringLiteral("%1 result(s), %2 measurement(s) ended with \"999\". Set point: "
                                  "%3. Standard deviation with n − 1.")
                       .arg(m.count)
                       .arg(m.ended999)
                       .arg(setPointText(report.setPoint)),
                   8.5);
    QList<QList<Cell>> stats;
    for (auto [name, s] : {std::pair{QStringLiteral("Systolic"), &m.systolic},
                           {QStringLiteral("Diastolic"), &m.diastolic},
                           {QStringLiteral("Mean"), &m.mean},
                           {QStringLiteral("Pulse /min"), &m.pulse}}) {
        const bool any = s->n > 0;
        stats.append({{name, {}, true},
                      {QString::number(s->n)},
                      {any ? n1(s->mean) : QStringLiteral("—")},
                      {n1(s->sd)},
                      {any ? n1(s->min) : QStringLiteral("—")},
                      {any ? n1(s->max) : QStringLiteral("—")},
                      {n1(s->reference)},
                      {n1(s->meanError)},
                      verdictCell(s->verdict)});
    }
    flow.table({{QStringLiteral(""), 24},
                {QStringLiteral("n"), 10, Qt::AlignRight},
                {QStringLiteral("Mean"), 18, Qt::AlignRight},
                {QStringLiteral("SD"), 16, Qt::AlignRight},
                {QStringLiteral("Min"), 16, Qt::AlignRight},
                {QStringLiteral("Max"), 16, Qt::AlignRight},
                {QStringLiteral("Reference"), 22, Qt::AlignRight},
                {QStringLiteral("Mean error"), 22, Qt::AlignRight},
                {QStringLiteral("Verdict"), 26, Qt::AlignHCenter}},
               stats);
    if (m.count > 0)
        flow.box(62, [&](const QRectF &box) {
            ReportCharts::series(flow.painter(), box, flow.mm(1), m, report.setPoint,
                                 report.limits.meanErrorMmHg);
        });
    measurementTable(flow, report);
}

void ReportPdf::measurementTable(PageFlow &flow, const CheckReport &report)
{
    const CheckReport::Measurements &m = report.measurements;
    flow.subheading(QStringLiteral("Each measurement"));
    QList<QList<Cell>> rows;
    const auto value = [](const std::optional<int> &v) {
        return v ? QString::number(*v) : QStringLiteral("—");
    };
    for (int i = 0; i < m.list.size(); ++i) {
        const CheckReport::Measurement &r = m.list.at(i);
        rows.append({{QString::number(i + 1)},
                     {when(report, r.ms)},
                     {r.port},
                     {r.ended999 ? QString() : value(r.systolic)},
                     {r.ended999 ? QString() : value(r.diastolic)},
                     {r.ended999 ? QString() : value(r.mean)},
                     {r.ended999 ? QString() : value(r.pulse)},
                     r.ended999 ? Cell{QStringLiteral("999"), kIncompleteFill, true}
                                : Cell{QStringLiteral("result")}});
    }
    flow.table({{QStringLiteral("#"), 10, Qt::AlignRight},
                {QStringLiteral("Time"), 26, Qt::AlignRight},
                {QStringLiteral("Port"), 18},
                {QStringLiteral("Systolic"), 22, Qt::AlignRight},
                {QStringLiteral("Diastolic"), 22, Qt::AlignRight},
                {QStringLiteral("Mean"), 20, Qt::AlignRight},
                {QStringLiteral("Pulse"), 20, Qt::AlignRight},
                {QStringLiteral("Outcome"), 26, Qt::AlignHCenter}},
               rows);
}

void ReportPdf::curveSection(PageFlow &flow, const CheckReport &report)
{
    const QList<CheckReport::Measurement> &list = report.measurements.list;
    if (list.isEmpty())
        return;
    flow.heading(QStringLiteral("Pressure curve of each measurement"));
    constexpr int kColumns = 3;
    constexpr double kHeight = 42;
    for (int first = 0; first < list.size(); first += kColumns) {
        flow.box(kHeight, [&](const QRectF &box) {
            const double gap = flow.mm(3);
            const double width = (box.width() - gap * (kColumns - 1)) / kColumns;
            for (int i = first; i < std::min<int>(first + kColumns, list.size()); ++i) {
                const QRectF cell(box.left() + (i - first) * (width + gap), box.top(), width,
                                  box.height());
                ReportCharts::curve(flow.painter(), cell, flow.mm(1), list.at(i), i + 1);
            }
        });
    }
}

void ReportPdf::limitsSection(PageFlow &flow, const CheckReport &report)
{
    flow.need(90); // the table stays on one page
    flow.heading(QStringLiteral("Limits used"));
    const CheckLimits &l = report.limits;
    const QList<std::tuple<QString, double, QString, QString>> items{
        {QStringLiteral("Static pressure, largest |error|"), l.staticMmHg, QStringLiteral("mmHg"),
         QStringLiteral("static_mmHg")},
        {QStringLiteral("Static point: readings over"), l.staticWindowS, QStringLiteral("s"),
         QStringLiteral("static_window_s")},
        {QStringLiteral("Static point: largest spread"), l.staticSpreadMmHg, QStringLiteral("mmHg"),
         QStringLiteral("static_spread_mmHg")},
        {QStringLiteral("Leak rate, largest"), l.leakMmHgPerMin, QStringLiteral("mmHg/min"),
         QStringLiteral("leak_mmHg_per_min")},
        {QStringLiteral("Leak test: settling after the peak"), l.leakSettleS, QStringLiteral("s"),
         QStringLiteral("leak_settle_s")},
        {QStringLiteral("Leak test: window"), l.leakWindowS, QStringLiteral("s"),
         QStringLiteral("leak_window_s")},
        {QStringLiteral("Highest cuff pressure, adult"), l.maxPressureAdultMmHg,
         QStringLiteral("mmHg"), QStringLiteral("max_pressure_adult_mmHg")},
        {QStringLiteral("Highest cuff pressure, neonate"), l.maxPressureNeonateMmHg,
         QStringLiteral("mmHg"), QStringLiteral("max_pressure_neonate_mmHg")},
        {QStringLiteral("Measurements: largest |mean error|"), l.meanErrorMmHg,
         QStringLiteral("mmHg"), QStringLiteral("mean_error_mmHg")},
        {QStringLiteral("Measurements: largest SD"), l.sdMmHg, QStringLiteral("mmHg"),
         QStringLiteral("sd_mmHg")},
    };
    QList<QList<Cell>> rows;
    for (const auto &[what, value, unit, key] : items)
        rows.append({{what}, {compact(value)}, {unit}, {key}});
    flow.table({{QStringLiteral("Limit"), 72},
                {QStringLiteral("Value"), 20, Qt::AlignRight},
                {QStringLiteral("Unit"), 24},
                {QStringLiteral("[checks] key"), 64}},
               rows);
    flow.paragraph(QStringLiteral("A value on its limit passes. The limits come from the [checks] "
                                  "group of the settings file where it sets them."),
                   7.5, kGrey);
}
