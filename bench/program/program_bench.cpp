// SPDX-License-Identifier: MIT
#include "program_bench.h"

#include "app_under_test.h"
#include "board_terminal.h"
#include "command_frame.h"
#include "command_set.h"
#include "monotonic_clock.h"
#include "proc_stats.h"
#include "pseudo_terminal.h"
#include "simulated_board.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

constexpr qint64 kNsPerMs = 1000000;
// The last line of the hour's traffic: a pressure the simulated board never
// reports (its pressures move in steps of 5, 8 and 10 from round values), so
// its showing in Map proves that the window has read everything before it.
const char kHourMarker[] = "277";

void progress(const char *what)
{
    std::fprintf(stderr, "[%s] %s (load %s)\n",
                 qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))), what,
                 qPrintable(ProcStats::loadAverage()));
}

double ms(qint64 ns)
{
    return double(ns) / double(kNsPerMs);
}

double mib(qint64 kib)
{
    return double(kib) / 1024.0;
}

QString yesNo(bool met)
{
    return met ? QStringLiteral("yes") : QStringLiteral("**no**");
}

} // namespace

ProgramBench::ProgramBench(const Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        m_platform = QString::fromLocal8Bit(platform);
    else if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        m_platform = QStringLiteral("xcb on DISPLAY=%1").arg(qEnvironmentVariable("DISPLAY"));
    else
        m_platform = QStringLiteral("default");
}

bool ProgramBench::fail(const QString &why)
{
    m_error = why;
    return false;
}

void ProgramBench::runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool ProgramBench::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        runFor(10);
    }
    return true;
}

// Paths in a directory that does not exist: opening them fails at once.
QStringList ProgramBench::absentDevices(int count)
{
    QStringList devices;
    for (int n = 1; n <= count; ++n)
        devices << QStringLiteral("/nonexistent/tarnvik-bench/tty%1").arg(n);
    return devices;
}

bool ProgramBench::runStartup()
{
    progress("start-up: window on eight absent ports until first shown");
    std::vector<double> shown;
    std::vector<double> exposed;
    std::vector<double> entered;
    // One run first to warm the page cache and the font cache; not counted.
    for (qint64 run = 0; run <= m_settings.startupRuns; ++run) {
        AppUnderTest app(m_settings.launcher);
        if (!app.start(absentDevices(8), {QStringLiteral("--exit-when-shown")}))
            return fail(QStringLiteral("cannot start %1").arg(m_settings.launcher));
        if (!waitUntil([&app] { return !app.isRunning(); }, 20000) || !app.shownNs())
            return fail(QStringLiteral("start-up run %1: the window was not shown: %2")
                            .arg(run)
                            .arg(QString::fromLocal8Bit(app.errorOutput())));
        if (run == 0)
            continue;
        shown.push_back(ms(*app.shownNs() - app.launchNs()));
        if (app.exposeNs())
            exposed.push_back(ms(*app.exposeNs() - app.launchNs()));
        if (app.mainNs())
            entered.push_back(ms(*app.mainNs() - app.launchNs()));
        runFor(200); // let the display server settle between runs
    }
    m_startup.shownMs = SampleSummary::of(shown);
    m_startup.exposeMs = SampleSummary::of(exposed);
    m_startup.mainMs = SampleSummary::of(entered);
    m_startup.load = ProcStats::loadAverage();
    return true;
}

// One session's live parts: the board on its pseudo-terminal and the window
// under test, with the lines the board wrote while recording was on.
struct ProgramBench::Live
{
    PseudoTerminal terminal;
    SimulatedBoard board;
    std::unique_ptr<BoardTerminal> link;
    AppUnderTest app;
    bool recording = false;
    QList<LineDelay::Event> sent;
    qint64 linesSent = 0;
    long hz = ProcStats::ticksPerSecond();

    explicit Live(const QString &launcher)
        : app(launcher)
    {}
};

bool ProgramBench::runSession()
{
    Live live(m_settings.launcher);
    if (!live.terminal.isValid())
        return fail(QStringLiteral("cannot create a pseudo-terminal"));
    if (!startSession(live))
        return false;
    measureIdle(live);
    if (!measureLineDelay(live))
        return false;
    measureStream(live);
    if (!measureHour(live))
        return false;
    if (!live.app.isRunning())
        return fail(QStringLiteral("the window ended during the session: %1")
                        .arg(QString::fromLocal8Bit(live.app.errorOutput())));
    live.app.stop();
    progress("done");
    return true;
}

bool ProgramBench::startSession(Live &live)
{
    live.board.setSeed(m_settings.seed);
    live.board.setFailureRate(0.0);
    live.link = std::make_unique<BoardTerminal>(live.board, live.terminal, 1);

    // Lines the board writes, with the time at which the write (CR last)
    // returned; connected after the link, so the write has happened.
    connect(&live.board, &SimulatedBoard::lineSent, this, [&live](const QByteArray &bytes) {
        ++live.linesSent;
        if (live.recording)
            live.sent << LineDelay::Event{MonotonicClock::nowNs(),
                                          QString::fromLatin1(bytes.mid(1, 3))};
    });

    progress("session: window on the board's pseudo-terminal (COM1) and seven absent ports");
    AppUnderTest &app = live.app;
    if (!app.start(QStringList{live.terminal.devicePath()} + absentDevices(7)))
        return fail(QStringLiteral("cannot start %1").arg(m_settings.launcher));
    // Start-up sends the board its defaults and a status request; the
    // board's status line then shows its pressure 000 in Map.
    if (!waitUntil([&app] { return app.shownNs() && app.mapText() == QLatin1String("000"); },
                   20000))
        return fail(QStringLiteral("the window did not show the board's status line: %1")
                        .arg(QString::fromLocal8Bit(app.errorOutput())));
    runFor(2000);
    m_startedKib = app.residentKib().value_or(0);
    return true;
}

// Idle: the board is silent, the window's timers tick.
void ProgramBench::measureIdle(Live &live)
{
    progress("idle");
    const qint64 t0 = MonotonicClock::nowNs();
    const qint64 c0 = live.app.cpuTicks().value_or(0);
    runFor(int(m_settings.idleSeconds * 1000));
    const qint64 c1 = live.app.cpuTicks().value_or(0);
    m_idle.wallSeconds = double(MonotonicClock::nowNs() - t0) / 1e9;
    m_idle.cpuSeconds = double(c1 - c0) / double(live.hz);
    m_idle.load = ProcStats::loadAverage();
}

// Line delay: the board in manometer mode, one step (one pressure line,
// each a new value) at random gaps longer than the 150 ms tick, so that
// every line reaches the display and lines fall at every phase of the tick.
bool ProgramBench::measureLineDelay(Live &live)
{
    progress("line delay");
    live.board.receive(CommandFrame::build(QString::fromLatin1(CommandSet::kManometer)));
    QRandomGenerator random(m_settings.seed);
    live.recording = true;
    for (qint64 i = 0; i < m_settings.delayLines; ++i) {
        runFor(170 + int(random.bounded(101)));
        live.board.step();
    }
    live.recording = false;
    runFor(1000);
    m_delay.lines = int(live.sent.size());
    m_delay.match =
        LineDelay::match(live.sent, live.app.mapChanges(), live.app.mapPaints(), 1000 * kNsPerMs);
    m_delay.toField = SampleSummary::of(m_delay.match.toFieldMs);
    m_delay.toPaint = SampleSummary::of(m_delay.match.toPaintMs);
    m_delay.load = ProcStats::loadAverage();
    m_afterDelayKib = live.app.residentKib().value_or(0);
    if (m_delay.toField.count == 0)
        return fail(QStringLiteral("no line of the delay phase reached the display"));
    return true;
}

// Full line rate: manometer lines (STX, three digits, CR) paced to 480
// bytes a second, written whole as the board produces them.
void ProgramBench::measureStream(Live &live)
{
    progress("full line rate");
    BoardTerminal &link = *live.link;
    const qint64 bytes0 = link.bytesSent();
    const qint64 lines0 = live.linesSent;
    const qsizetype changes0 = live.app.mapChanges().size();
    const qint64 t0 = MonotonicClock::nowNs();
    const qint64 c0 = live.app.cpuTicks().value_or(0);
    QTimer pace;
    pace.setTimerType(Qt::PreciseTimer);
    connect(&pace, &QTimer::timeout, this, [&] {
        const qint64 due = (MonotonicClock::nowNs() - t0) * kLineRate / 1000000000;
        while (link.bytesSent() - bytes0 < due)
            live.board.step();
    });
    pace.start(10);
    runFor(int(m_settings.streamSeconds * 1000));
    pace.stop();
    const qint64 c1 = live.app.cpuTicks().value_or(0);
    m_stream.wallSeconds = double(MonotonicClock::nowNs() - t0) / 1e9;
    m_stream.cpuSeconds = double(c1 - c0) / double(live.hz);
    m_stream.bytes = link.bytesSent() - bytes0;
    m_stream.lines = live.linesSent - lines0;
    m_stream.mapChanges = int(live.app.mapChanges().size() - changes0);
    m_stream.load = ProcStats::loadAverage();
    runFor(500);
    m_afterStreamKib = live.app.residentKib().value_or(0);
    live.board.clearRecord();
}

// An hour of traffic: back-to-back measurements of the simulated board (one
// in ten ending with 999 and the board's answer to the status request that
// follows), generated up front, the marker line last.
QByteArray ProgramBench::hourOfTraffic()
{
    QByteArray traffic;
    SimulatedBoard source;
    source.setSeed(m_settings.seed);
    source.setFailureRate(0.1);
    connect(&source, &SimulatedBoard::lineSent, this, [&](const QByteArray &bytes) {
        traffic += bytes;
        ++m_hour.lines;
    });
    const QByteArray start = CommandFrame::build(QString::fromLatin1(CommandSet::kStart));
    const QByteArray status = CommandFrame::build(QString::fromLatin1(CommandSet::kReadStatus));
    while (traffic.size() < m_settings.hourBytes) {
        source.receive(start);
        for (int step = 0; step < 10000 && source.mode() == SimulatedBoard::Mode::Measuring; ++step)
            source.step();
        if (source.lastMeasurementFailed())
            source.receive(status);
        source.clearRecord();
    }
    traffic += SimulatedBoard::wireLine(QString::fromLatin1(kHourMarker));
    ++m_hour.lines;
    return traffic;
}

// The hour's traffic written as fast as the window reads it, with memory
// samples on the way. What the window writes back is read and counted.
bool ProgramBench::measureHour(Live &live)
{
    progress("an hour of traffic, compressed");
    const QByteArray traffic = hourOfTraffic();
    m_hour.bytes = traffic.size();
    AppUnderTest &app = live.app;

    live.link.reset(); // the live board leaves the line
    const int fd = live.terminal.masterFd();
    QSocketNotifier drain(fd, QSocketNotifier::Read);
    connect(&drain, &QSocketNotifier::activated, this, [&] {
        char buffer[512];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            m_hour.bytesFromProgram += n;
    });

    constexpr int kSamples = 10;
    qint64 written = 0;
    qint64 doneNs = 0;
    m_hour.samples << MemorySample{0, app.residentKib().value_or(0)};
    qint64 nextSample = m_hour.bytes / kSamples;
    const qint64 t0 = MonotonicClock::nowNs();
    const qint64 c0 = app.cpuTicks().value_or(0);
    QSocketNotifier writer(fd, QSocketNotifier::Write);
    connect(&writer, &QSocketNotifier::activated, this, [&] {
        while (written < m_hour.bytes) {
            const qint64 chunk = std::min<qint64>(4096, m_hour.bytes - written);
            const ssize_t n = ::write(fd, traffic.constData() + written, size_t(chunk));
            if (n <= 0)
                break; // full (EAGAIN) or interrupted: wait for the next turn
            written += n;
            if (written >= nextSample && written < m_hour.bytes) {
                m_hour.samples << MemorySample{written, app.residentKib().value_or(0)};
                nextSample += m_hour.bytes / kSamples;
            }
        }
        if (written >= m_hour.bytes) {
            writer.setEnabled(false);
            doneNs = MonotonicClock::nowNs();
        }
    });
    const bool shown = waitUntil(
        [&] {
            return doneNs > 0 && !app.mapChanges().isEmpty() &&
                   app.mapChanges().last().ns >= doneNs &&
                   app.mapText() == QLatin1String(kHourMarker);
        },
        600000);
    const qint64 c1 = app.cpuTicks().value_or(0);
    m_hour.wallSeconds = double(MonotonicClock::nowNs() - t0) / 1e9;
    m_hour.cpuSeconds = double(c1 - c0) / double(live.hz);
    if (!shown)
        return fail(QStringLiteral("the window did not show the end of the hour's traffic "
                                   "(%1 of %2 bytes written)")
                        .arg(written)
                        .arg(m_hour.bytes));
    m_hour.samples << MemorySample{written, app.residentKib().value_or(0)};
    runFor(5000);
    m_hour.settledKib = app.residentKib().value_or(0);
    m_hour.load = ProcStats::loadAverage();
    return true;
}

void ProgramBench::printTable(QTextStream &out) const
{
    const auto f1 = [](double v) {
        return QString::number(v, 'f', 1);
    };
    const auto f2 = [](double v) {
        return QString::number(v, 'f', 2);
    };
    const Startup &s = m_startup;
    const SampleSummary &d = m_delay.toField;
    const SampleSummary &p = m_delay.toPaint;

    const qint64 hourFirst = m_hour.samples.isEmpty() ? 0 : m_hour.samples.first().kib;
    const qint64 hourLast = m_hour.samples.isEmpty() ? 0 : m_hour.samples.last().kib;
    // Flat: after the first tenth (buffers at their working size) the
    // resident size grows by no more than 512 KiB to the end.
    const qint64 hourWarm = m_hour.samples.size() > 1 ? m_hour.samples.at(1).kib : hourFirst;
    const qint64 peakKib =
        std::max({m_startedKib, m_afterDelayKib, m_afterStreamKib, hourLast, m_hour.settledKib});
    constexpr double kMbPerMib = 1.048576;

    out << "Qt " << qVersion() << ", display: " << m_platform << "\n\n";
    out << "| Figure | Target | Measured | Met |\n";
    out << "|---|---|---|---|\n";
    out << "| Start-up, launch to first frame shown, 8 absent ports (median of " << s.shownMs.count
        << "; min-max) | < 300 ms | " << f1(s.shownMs.median) << " ms (" << f1(s.shownMs.min) << "-"
        << f1(s.shownMs.max) << ") | " << yesNo(s.shownMs.median < 300) << " |\n";
    out << "| - of which launch to main() / to first expose (median) | - | " << f1(s.mainMs.median)
        << " / " << f1(s.exposeMs.median) << " ms | - |\n";
    out << "| Line delay, CR written to value in Map: mean / p99 / max (" << d.count << " of "
        << m_delay.lines << " lines, " << m_delay.match.missed
        << " missed) | mean <= 85 ms, max <= 170 ms | " << f1(d.mean) << " / " << f1(d.p99) << " / "
        << f1(d.max) << " ms | " << yesNo(d.count > 0 && d.mean <= 85 && d.max <= 170) << " |\n";
    out << "| - CR written to Map repainted: mean / p99 / max | - | " << f1(p.mean) << " / "
        << f1(p.p99) << " / " << f1(p.max) << " ms | - |\n";
    out << "| CPU, idle, over " << f1(m_idle.wallSeconds) << " s | <= 0.5 % | "
        << f2(m_idle.percent()) << " % (" << f2(m_idle.cpuSeconds) << " s) | "
        << yesNo(m_idle.percent() <= 0.5) << " |\n";
    out << "| CPU, full line rate (" << m_stream.bytes << " B, " << m_stream.lines << " lines in "
        << f1(m_stream.wallSeconds) << " s = " << f1(double(m_stream.bytes) / m_stream.wallSeconds)
        << " B/s; Map changed " << m_stream.mapChanges << " times) | <= 1 % | "
        << f2(m_stream.percent()) << " % (" << f2(m_stream.cpuSeconds) << " s) | "
        << yesNo(m_stream.percent() <= 1.0) << " |\n";
    out << "| Resident memory after start-up | < 60 MB | " << f1(mib(m_startedKib)) << " MiB ("
        << f1(mib(m_startedKib) * kMbPerMib) << " MB) | " << yesNo(m_startedKib * 1024 < 60000000)
        << " |\n";
    out << "| Resident memory, highest seen in the session | < 60 MB | " << f1(mib(peakKib))
        << " MiB (" << f1(mib(peakKib) * kMbPerMib) << " MB) | " << yesNo(peakKib * 1024 < 60000000)
        << " |\n";
    out << "| Resident memory over an hour of traffic (" << m_hour.bytes << " B, " << m_hour.lines
        << " lines, read in " << f1(m_hour.wallSeconds)
        << " s): start / after 1/10 / end / 5 s later | flat | " << f1(mib(hourFirst)) << " / "
        << f1(mib(hourWarm)) << " / " << f1(mib(hourLast)) << " / " << f1(mib(m_hour.settledKib))
        << " MiB | " << yesNo(hourLast - hourWarm <= 512 && m_hour.settledKib - hourWarm <= 512)
        << " |\n";
    printNotes(out);
}

// What the table leaves out: loads, memory samples, the hour's CPU time.
void ProgramBench::printNotes(QTextStream &out) const
{
    const auto f1 = [](double v) {
        return QString::number(v, 'f', 1);
    };
    const auto f2 = [](double v) {
        return QString::number(v, 'f', 2);
    };
    const SampleSummary &d = m_delay.toField;
    out << "\n";
    out << "Load average at the end of each part: start-up " << m_startup.load << "; idle "
        << m_idle.load << "; delay " << m_delay.load << "; full rate " << m_stream.load << "; hour "
        << m_hour.load << ".\n";
    out << "Memory samples over the hour (bytes written: KiB):";
    for (const MemorySample &sample : m_hour.samples)
        out << " " << sample.bytes << ":" << sample.kib;
    out << "\n";
    out << "CPU for the hour's traffic: " << f2(m_hour.cpuSeconds) << " s ("
        << f1(m_hour.lines > 0 ? m_hour.cpuSeconds * 1e6 / double(m_hour.lines) : 0)
        << " us a line); the window wrote " << m_hour.bytesFromProgram << " B back.\n";
    out << "Delay to Map, median / min: " << f1(d.median) << " / " << f1(d.min)
        << " ms. RSS after the delay part " << f1(mib(m_afterDelayKib)) << " MiB, after full rate "
        << f1(mib(m_afterStreamKib)) << " MiB.\n";
}
