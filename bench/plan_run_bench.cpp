// SPDX-License-Identifier: MIT
// How long the standard plan takes beyond the board's own time: the plan
// runner on a bench core runs "Standard NIBP bench check" against a good
// simulated board over a pseudo-terminal (the real serial port class), an
// operator answering at once (holdAt, the gauge's reading), and the files
// saved. Every traffic entry is stamped with the wall clock as the recorder
// hands it out. Afterwards each of the runner's actions is matched with the
// entry that made it due, and the wall time between the two is the runner's
// lag:
//   status request     the run's "checks cleared"
//   Leak Test          the board's answer to the status request
//   Break (leak)       the entry on which the leak test was done (an engine
//                      fed the run's entries again, by the plan's limits)
//   Manometer, START 1 the vent's "000" after the Break before it
//   reading k          the entry on which the board read steady near point k
//                      (HoldWatch fed the run's entries again)
//   Break (static)     the last reading
//   START k > 1        the result before it, plus the plan's pause
//   end                the last result, until the files are written
// The board's own time is the run's wall time less the lags. Prints the
// figures; fails on nothing.
//
//   tarnvik-bench-plan [--time-scale S] [--runs N]
// At a time scale above 1 the recorder takes the board's clock (as the
// tests do) and the pauses shrink with it; the lags stay wall time.
#include "bench_core.h"
#include "board_reply.h"
#include "command_frame.h"
#include "command_set.h"
#include "hold_watch.h"
#include "plan_runner.h"
#include "port_table.h"
#include "qt_serial_port.h"
#include "run_files.h"
#include "simulated_boards.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

struct Stamped
{
    qint64 ns = 0;
    TrafficEntry entry;
};

struct Lag
{
    QString what;
    double ms = 0;
};

QString sentText(const TrafficEntry &entry)
{
    return entry.kind == QLatin1String(TrafficEntry::kSent)
               ? QString::fromLatin1(CommandFrame::text(entry.bytes))
               : QString();
}

std::optional<int> pressureOf(const TrafficEntry &entry)
{
    const std::optional<BoardReply> reply = BoardReply::fromReceived(entry.bytes);
    if (!reply || reply->kind() != BoardReply::Kind::Pressure || !reply->pressure())
        return std::nullopt;
    return *reply->pressure();
}

bool isResult(const TrafficEntry &entry)
{
    const std::optional<BoardReply> reply = BoardReply::fromReceived(entry.bytes);
    return reply && reply->kind() == BoardReply::Kind::Result;
}

// The first entry after `from` for which `test` holds; -1 when none does.
qsizetype firstAfter(const QList<Stamped> &run, qsizetype from,
                     const std::function<bool(const TrafficEntry &)> &test)
{
    for (qsizetype i = from + 1; i < run.size(); ++i) {
        if (test(run.at(i).entry))
            return i;
    }
    return -1;
}

// The entries the runner made: its frames and the readings, in order.
QList<qsizetype> actions(const QList<Stamped> &run)
{
    QList<qsizetype> found;
    for (qsizetype i = 0; i < run.size(); ++i) {
        if (!sentText(run.at(i).entry).isEmpty() ||
            ChecksEngine::referenceValue(run.at(i).entry.kind))
            found << i;
    }
    return found;
}

// The entry on which the leak test was done, by an engine fed again.
qsizetype leakDone(const QList<Stamped> &run, const CheckLimits &limits)
{
    ChecksEngine engine(limits);
    for (qsizetype i = 0; i < run.size(); ++i) {
        engine.feed(run.at(i).entry);
        if (engine.leakState().phase == ChecksEngine::LeakState::Phase::Done)
            return i;
    }
    return -1;
}

// The entry after `from` on which the board read steady near `point`.
qsizetype steadyNear(const QList<Stamped> &run, qsizetype from, double point,
                     const CheckLimits &limits)
{
    HoldWatch hold(limits);
    hold.restart(run.at(from).entry.ms);
    return firstAfter(run, from, [&](const TrafficEntry &entry) {
        if (const std::optional<int> mmHg = pressureOf(entry))
            hold.reading(entry.ms, *mmHg);
        return hold.isSteadyNear(point);
    });
}

// The standard plan's actions with the entries that made them due, in order:
// status, Leak Test, Break, Manometer, the readings, Break, the STARTs.
QList<Lag> lagsOf(const QList<Stamped> &run, const TestPlan &plan, const CheckLimits &limits,
                  double timeScale)
{
    const QList<qsizetype> made = actions(run);
    const QList<double> points = plan.steps().at(1).staticPressure.pointsMmHg;
    const auto received = [](const TrafficEntry &e) {
        return e.kind == QLatin1String("received");
    };
    const auto vented = [](const TrafficEntry &e) {
        return pressureOf(e) == 0;
    };
    QList<std::pair<QString, qsizetype>> due; // what, the entry that made it due
    due << std::pair{QStringLiteral("status request"), qsizetype(0)};
    due << std::pair{QStringLiteral("Leak Test"), firstAfter(run, made.at(0), received)};
    due << std::pair{QStringLiteral("Break after the leak test"), leakDone(run, limits)};
    due << std::pair{QStringLiteral("Manometer"), firstAfter(run, made.at(2), vented)};
    for (qsizetype k = 0; k < points.size(); ++k)
        due << std::pair{QStringLiteral("reading at %1 mmHg").arg(points.at(k)),
                         steadyNear(run, made.at(3 + k), points.at(k), limits)};
    const qsizetype n = points.size();
    const qsizetype lastBreak = made.at(4 + n);
    due << std::pair{QStringLiteral("Break after the last point"), made.at(3 + n)};
    const qsizetype down = firstAfter(run, lastBreak, vented);
    const qsizetype firstStart = made.at(5 + n);
    due << std::pair{QStringLiteral("START"), down >= 0 && down < firstStart ? down : lastBreak};
    QList<Lag> lags;
    for (qsizetype k = 0; k < due.size() && k < made.size(); ++k)
        lags.append({due.at(k).first, (run.at(made.at(k)).ns - run.at(due.at(k).second).ns) / 1e6});
    const double pauseMs = plan.steps().at(2).series.pauseS * 1000 / timeScale;
    for (qsizetype k = due.size(); k < made.size(); ++k) {
        qsizetype result = made.at(k);
        while (result > 0 && !isResult(run.at(result).entry))
            --result;
        lags.append({QStringLiteral("START after the pause"),
                     (run.at(made.at(k)).ns - run.at(result).ns) / 1e6 - pauseMs});
    }
    return lags;
}

// Runs the event loop until `done` or `ms` have passed.
bool waitFor(const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start(1);
    loop.exec();
    return done();
}

// What one run left to be looked at.
struct Measured
{
    QList<Stamped> run; // from the run's start
    std::optional<PlanRunner::Outcome> outcome;
    qint64 endedNs = 0; // when the files were written
    double boardS = 0;  // the board's clock over the run
};

// The operator at the bench answers each prompt at once.
void playOperator(PlanRunner &runner, SimulatedBoard &board)
{
    QObject::connect(&runner, &PlanRunner::prompted, &runner, [&](int step, const QString &text) {
        for (double point : TestPlan::standard().steps().value(step).staticPressure.pointsMmHg) {
            if (step >= 0 && text == PlanRunner::holdPrompt(point))
                board.holdAt(point);
        }
    });
    QObject::connect(&runner, &PlanRunner::readingAsked, &runner, [&] {
        QTimer::singleShot(0, &runner, [&] { runner.giveReading(board.referenceReading()); });
    });
}

// Runs the standard plan on a core against `board`; false when it did not end.
bool runPlan(SimulatedBoard &board, BenchCore &core, double scale, Measured &measured)
{
    QTemporaryDir dir;
    PlanRunner runner(core, [](const QString &folder, const CheckReport &report,
                               const QByteArray &trace, const QDateTime &started) {
        const RunFiles::Written w =
            RunFiles::save(folder, report, trace, started, QDateTime::currentDateTime());
        return PlanRunner::Files{w.pdf, w.json, w.trace, w.failure};
    });
    runner.setTimeScale(scale);
    playOperator(runner, board);
    QElapsedTimer clock;
    QObject::connect(&core.recorder(), &TrafficRecorder::entryRecorded, &runner,
                     [&](const TrafficEntry &entry) {
                         if (runner.isRunning())
                             measured.run.append({clock.nsecsElapsed(), entry});
                     });
    QObject::connect(&runner, &PlanRunner::finished, &runner, [&](const PlanRunner::Outcome &o) {
        measured.endedNs = clock.nsecsElapsed();
        measured.outcome = o;
    });
    const qint64 startSteps = board.elapsedSteps();
    clock.start();
    QString why;
    if (!runner.start(TestPlan::standard(), {"BENCH-1", "bench", "simulated gauge", dir.path()},
                      &why) ||
        !waitFor([&] { return measured.outcome.has_value(); }, 3600000)) {
        std::fprintf(stderr, "the run did not complete: %s\n", qPrintable(why));
        return false;
    }
    measured.boardS = (board.elapsedSteps() - startSteps) * SimulatedBoard::kTickMs / 1000.0;
    return true;
}

int report(const Measured &measured, double scale, int number)
{
    const TestPlan plan = TestPlan::standard();
    QList<Lag> lags = lagsOf(measured.run, plan, plan.effectiveLimits(CheckLimits()), scale);
    qsizetype last = measured.run.size() - 1;
    while (last > 0 && !isResult(measured.run.at(last).entry))
        --last;
    lags.append({QStringLiteral("end (report, trace and PDF saved)"),
                 (measured.endedNs - measured.run.at(last).ns) / 1e6});
    double total = 0;
    const Lag *worst = &lags.constFirst();
    for (const Lag &lag : std::as_const(lags)) {
        total += lag.ms;
        worst = lag.ms > worst->ms ? &lag : worst;
    }
    const PlanRunner::Outcome &outcome = *measured.outcome;
    const double wallMs = measured.endedNs / 1e6;
    std::printf("run %d: verdict %s, %s\n", number, qPrintable(verdictName(outcome.report.verdict)),
                outcome.saved() ? "files saved" : qPrintable(outcome.notSaved()));
    std::printf("  wall time            %9.1f s (board's clock: %.1f s at time scale %g)\n",
                wallMs / 1000, measured.boardS, scale);
    std::printf("  runner's lags        %9.1f ms over %lld actions (largest %.1f ms: %s)\n", total,
                static_cast<long long>(lags.size()), worst->ms, qPrintable(worst->what));
    std::printf("  board's own time     %9.1f s\n", (wallMs - total) / 1000);
    for (const Lag &lag : std::as_const(lags))
        std::printf("    %-36s %8.2f ms\n", qPrintable(lag.what), lag.ms);
    return outcome.report.verdict == Verdict::Pass && lags.size() >= 16 ? 0 : 1;
}

int runOnce(double scale, int number)
{
    SimulatedBoards boards({1});
    SimulatedBoard &board = boards.board(1);
    board.setTimeScale(scale);
    board.setFailureRate(0);
    board.setLeakHold(250);
    board.setLeakRate(4);
    board.setSetPoint(SimulatedBoard::SetPoint{120, 80, 72, 2.0});
    BenchCore core;
    if (scale > 1)
        core.recorder().setClock(
            [&board] { return board.elapsedSteps() * SimulatedBoard::kTickMs; });
    core.start(std::make_unique<QtSerialPort>(PortTable(boards.devicePaths())), QString(),
               QString());
    boards.start();
    if (!waitFor([&] { return board.commands().size() >= 4; }, 10000)) {
        std::fprintf(stderr, "the board got no start-up frames\n");
        return 1;
    }
    Measured measured;
    if (!runPlan(board, core, scale, measured))
        return 1;
    return report(measured, scale, number);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption scale(QStringList{"time-scale"}, "The board's time scale.", "s", "10");
    const QCommandLineOption runs(QStringList{"runs"}, "How many runs.", "n", "1");
    parser.addOption(scale);
    parser.addOption(runs);
    parser.process(app);
    int failed = 0;
    for (int i = 1; i <= parser.value(runs).toInt(); ++i)
        failed += runOnce(parser.value(scale).toDouble(), i);
    return failed == 0 ? 0 : 1;
}
