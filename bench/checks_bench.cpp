// SPDX-License-Identifier: MIT
// The bench checks: what the engine costs per entry it is fed (live, one
// entry per frame or reply line, beside the panel's 150 ms tick), and the
// time tarnvik-report takes for the report of a one-hour session. The
// session is at real board time (a pressure line every 250 ms): 5 manometer
// points, two 75 s leak tests, then back-to-back 40 s measurements to the
// end of the hour, with a set point. And the report of a long session made
// by hand: 100,000 measurements and as many stretches, the curves of 24
// kept, as the PDF and as the JSON. The PDF needs fonts, so this benchmark
// has its own main with a QGuiApplication on Qt's offscreen platform.
#include "checks_engine.h"
#include "report_files.h"
#include "report_json.h"
#include "report_pdf.h"
#include "trace_reader.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr qint64 kHourMs = 3600 * 1000;
constexpr qint64 kLineMs = 250;

class Session
{
public:
    QByteArray text = "# tarnvik 1.0.1 trace started 2026-12-07T14:05:09+01:00\n0 COM1 opened\n";
    qint64 ms = 0;

    void line(const QByteArray &what)
    {
        ms += kLineMs;
        text += QByteArray::number(ms) + " COM1 " + what + '\n';
    }
    void pressure(int mmHg)
    {
        line("received <STX>" + QByteArray::number(mmHg).rightJustified(3, '0') + "<CR>");
    }
};

QByteArray oneHourSession()
{
    Session s;
    s.line("sent <STX>14;;DB<ETX>");
    for (int point = 1; point <= 5; ++point) {
        for (int i = 0; i < 40; ++i)
            s.pressure(point * 50 + (point == 4 ? 4 : 0));
        s.line("reference " + QByteArray::number(point * 50));
    }
    s.line("sent <STX>X<ETX>");
    for (const double rate : {4.0, 8.0}) {
        s.line("sent <STX>17;;DE<ETX>");
        for (int i = 0; i < 20; ++i)
            s.pressure(i * 10);
        for (int i = 0; i < 280; ++i)
            s.pressure(qRound(200 - rate * i / 240.0));
        s.line("sent <STX>X<ETX>");
    }
    for (int n = 0; s.ms + 40000 <= kHourMs; ++n) {
        s.line("sent <STX>01;;D7<ETX>");
        for (int i = 1; i <= 150; ++i)
            s.pressure(i <= 18 ? i * 10 : std::max(0, 180 - ((i - 18) / 4) * 8));
        const int sys = 118 + n % 5, dia = 78 + n % 5;
        s.line(QStringLiteral("received <STX>S0001 A 160    %1%2%3  072<CR>")
                   .arg(sys, 3, 10, QChar('0'))
                   .arg(dia, 3, 10, QChar('0'))
                   .arg((sys + 2 * dia) / 3, 3, 10, QChar('0'))
                   .toLatin1());
    }
    return s.text;
}

QList<TrafficEntry> entriesOf(QByteArray text)
{
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    return TraceReader::read(buffer);
}

// Feeding every entry of the hour: the cost per entry is the live cost.
void BM_Checks_FeedOneHour(benchmark::State &state)
{
    const QList<TrafficEntry> entries = entriesOf(oneHourSession());
    for (auto _ : state) {
        ChecksEngine engine;
        for (const TrafficEntry &entry : entries)
            engine.feed(entry);
        benchmark::DoNotOptimize(engine.mode());
    }
    state.SetItemsProcessed(state.iterations() * entries.size());
    state.counters["entries"] = double(entries.size());
}
BENCHMARK(BM_Checks_FeedOneHour)->Unit(benchmark::kMillisecond);

// The live window asks for the report model after an entry: the whole hour.
void BM_Checks_ReportModelOneHour(benchmark::State &state)
{
    ChecksEngine engine;
    engine.setSetPoint(SetPoint{120, 80, 93, std::nullopt});
    for (const TrafficEntry &entry : entriesOf(oneHourSession()))
        engine.feed(entry);
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.report());
}
BENCHMARK(BM_Checks_ReportModelOneHour)->Unit(benchmark::kMillisecond);

// What tarnvik-report does: read the trace, feed it, write PDF and JSON.
void BM_Checks_ReportToolOneHour(benchmark::State &state)
{
    QByteArray text = oneHourSession();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("report.pdf");
    CheckReport report;
    for (auto _ : state) {
        ChecksEngine engine;
        engine.setSetPoint(SetPoint{120, 80, 93, std::nullopt});
        for (const TrafficEntry &entry : entriesOf(text))
            engine.feed(entry);
        report = engine.report();
        QString error;
        if (!ReportFiles::save(report, pdf, ReportFiles::jsonBeside(pdf),
                               QDateTime::currentDateTime(), &error))
            state.SkipWithError(qPrintable(error));
    }
    state.counters["trace_lines"] = double(text.count('\n'));
    state.counters["measurements"] = double(report.measurements.list.size());
    state.counters["pdf_kB"] = double(QFileInfo(pdf).size()) / 1024.0;
}
BENCHMARK(BM_Checks_ReportToolOneHour)->Unit(benchmark::kMillisecond)->Iterations(3);

// 100,000 measurements of a long session, as the checks hand them over: the
// curves of the first and the latest 12 kept, one stretch each.
CheckReport longSession(int count)
{
    CheckReport report;
    report.session.program = "tarnvik 1.0.1";
    report.session.board = "SN-LONG";
    report.session.started = QDateTime::fromString("2026-12-07T14:05:09+01:00", Qt::ISODate);
    report.setPoint = SetPoint{120, 80, 93, std::nullopt};
    CheckReport::Measurements &m = report.measurements;
    for (int i = 0; i < count; ++i) {
        CheckReport::Measurement one;
        one.ms = 40000LL * (i + 1);
        one.port = "COM1";
        one.systolic = 118 + i % 5;
        one.diastolic = 78 + i % 5;
        one.mean = 91 + i % 5;
        one.pulse = 72;
        one.hasCurve = i < 12 || i >= count - 12;
        for (int j = 0; one.hasCurve && j < 150; ++j)
            one.samples.append({one.ms - 37500 + j * 250, j < 18 ? j * 10 : 180 - (j - 18)});
        m.list << one;
        CheckReport::Stretch stretch;
        stretch.port = "COM1";
        stretch.startMs = one.ms - 37500;
        stretch.endMs = one.ms;
        stretch.maxMmHg = 180;
        stretch.maxMs = one.ms - 33000;
        stretch.limitMmHg = 300;
        report.overPressure << stretch;
    }
    m.count = count;
    m.systolic = {count, 120, 1.41, 118, 122, 120, 0, Verdict::Pass};
    m.diastolic = {count, 80, 1.41, 78, 82, 80, 0, Verdict::Pass};
    m.verdict = report.overPressureVerdict = report.verdict = Verdict::Pass;
    return report;
}

// The PDF of 100,000 measurements: the tables list their ends, the charts
// the kept curves; its size must not grow with the session.
void BM_Checks_PdfHundredThousand(benchmark::State &state)
{
    const CheckReport report = longSession(100000);
    QByteArray pdf;
    for (auto _ : state) {
        pdf.clear();
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QString error;
        if (!ReportPdf::write(report, buffer, QDateTime::currentDateTime(), &error))
            state.SkipWithError(qPrintable(error));
    }
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    state.counters["pages"] = double(QString::fromLatin1(pdf).count(page));
    state.counters["pdf_kB"] = double(pdf.size()) / 1024.0;
}
BENCHMARK(BM_Checks_PdfHundredThousand)->Unit(benchmark::kMillisecond)->Iterations(3);

// Its JSON, which lists every measurement.
void BM_Checks_JsonHundredThousand(benchmark::State &state)
{
    const CheckReport report = longSession(100000);
    QByteArray json;
    for (auto _ : state)
        json = ReportJson::text(report);
    state.counters["json_kB"] = double(json.size()) / 1024.0;
}
BENCHMARK(BM_Checks_JsonHundredThousand)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
