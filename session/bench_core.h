// SPDX-License-Identifier: MIT
// One bench session without a window: everything a bench check needs, wired
// once for the program, the demo and tools that run without an operator. It
// needs Qt Core and Serial Port only and runs under a QCoreApplication.
//
// A traffic recorder always sits between the panel and the port (a
// TracingSerialPort); the trace file takes the recorder's entries when a trace
// is asked for, and the checks engine takes them whether or not there is one,
// the start-up's included. The panel logic drives the board and keeps its
// state (views follow its BoardState); the results log takes every
// measurement end the panel shows. Both files are written by one RecordWriter
// thread, so the event loop never waits for the disk; RecordNotice shows as
// the panel's failure notice what keeps them from being written.
//
// Beside the traffic the core keeps what the operator gives the checks: the
// board ID, operator and reference instrument, and the simulator's set point
// (checked by BenchInput: the engine judges by a set point only when it is
// given whole). A reference reading and "checks cleared" are events of the
// open port, written through the recorder, so the trace and the engine have
// them at one time; the engine answers a reading with pointRecorded or
// pointRefused. report() is the engine's report with its session header.
// Each change is announced: the panel's state by its own signals, the core's
// fields, set point, refused readings and the report data by the core's. So is
// a test plan's run (PlanRunner says when one begins and ends), for views
// that keep the operator from disturbing it.
//
// The core owns what it builds and takes it down in the right order: results
// log, panel, ports, then the recorder, whose last groups still reach the
// trace file and the checks, and the writer. Views built on it go first.
#pragma once

#include "bench_input.h"
#include "board_panel.h"
#include "checks_engine.h"
#include "failure.h"
#include "record_notice.h"
#include "record_writer.h"
#include "report_header.h"
#include "result_log.h"
#include "tracing_serial_port.h"
#include "traffic_recorder.h"
#include "traffic_trace.h"

#include <QObject>

#include <memory>

class PortMap;

class BenchCore : public QObject
{
    Q_OBJECT

public:
    // How long the end of a session waits for the disk.
    static constexpr int kFinishMs = 2500;

    enum class SessionField { Board, Operator, Instrument };
    Q_ENUM(SessionField)

    explicit BenchCore(QObject *parent = nullptr);
    // For tests: the record written through `disk`.
    explicit BenchCore(std::shared_ptr<RecordDisk> disk, QObject *parent = nullptr);
    BenchCore(const BenchCore &) = delete;
    BenchCore &operator=(const BenchCore &) = delete;
    ~BenchCore() override;

    // Makes `path` the trace file, replacing what it held, and waits a
    // moment for the writer to open it. False, with the file and the reason
    // in `why`, when it cannot be written. Before start().
    bool openTrace(const QString &path, Failure *why);

    // Builds the panel on `port` behind the recorder and the checks with the
    // limits of `portMap`'s settings file, and runs the panel's start-up;
    // `portMap` is the map that bound the port's devices (its problems show
    // with the start-up). Rows go to `resultsPath`; an empty path writes no
    // results file. Views are built on the core after this.
    void start(std::unique_ptr<SerialPort> port, const PortMap &portMap,
               const QString &resultsPath);
    // The same for a tool bound to one device (tarnvik-run): the checks take
    // the limits of `settingsFile`'s [checks] group; no [ports] group is read.
    void start(std::unique_ptr<SerialPort> port, const QString &settingsFile,
               const QString &resultsPath);

    // Valid once started.
    BoardPanel &panel() { return *m_panel; }
    const BoardPanel &panel() const { return *m_panel; }
    ChecksEngine &checks() { return *m_checks; }
    const ChecksEngine &checks() const { return *m_checks; }
    // Null when the session writes no results file.
    const ResultLog *results() const { return m_results.get(); }
    // Where the entries of the traffic come from, for whoever wants them.
    TrafficRecorder &recorder() { return m_recorder; }
    RecordWriter &record() { return *m_record; }

    // The board ID, operator and reference instrument, as given.
    QString sessionField(SessionField field) const;
    void setSessionField(SessionField field, const QString &text);
    // When the session's recording began: the report's start.
    QDateTime started() const { return m_recorder.started(); }
    // The device behind a port caption ("COM1" -> "/dev/ttyUSB0"); empty
    // when unknown or before start().
    QString deviceOf(const QString &port) const;

    // The set point as last taken. Each setter returns how it took the new
    // one: given, not given, or refused (then the checks have none either).
    BenchInput::SetPointCheck setPoint() const { return m_setPoint; }
    BenchInput::SetPointCheck setSetPoint(const std::optional<SetPoint> &setPoint);
    BenchInput::SetPointCheck setSetPoint(const BenchInput::TypedSetPoint &typed);

    // Writes the gauge's reading as an event of the open port; the engine
    // answers with pointRecorded or pointRefused. False, with readingRefused,
    // when it is no reading or no port is open.
    bool recordReading(double mmHg);
    // A new board: the checks and the board ID are cleared, through the
    // trace when a port is open, so a report of the trace starts there too;
    // the checks judge by the settings file's limits again.
    void clearChecks();
    // The settings file start() read ([checks]; [ports] too when it was given
    // a port map); empty when none.
    QString settingsFile() const { return m_settingsFile; }
    // The [checks] limits of the settings file, as start() loaded them.
    const CheckLimits &settingsLimits() const { return m_settingsLimits; }
    // The limits the checks judge by until the next clearChecks(): a test
    // plan's for its run (TestPlan::effectiveLimits). Announced by reportChanged.
    void setCheckLimits(const CheckLimits &limits);

    // Whether a test plan's run drives the board now; the runner sets it,
    // and the panel's state is marked run-driven with it.
    bool isPlanRunning() const { return m_planRunning; }
    void setPlanRunning(bool running);

    // The engine's report with the session header filled in.
    CheckReport report() const;

    // At the end, once the panel's exit sequence has run: the last traffic
    // groups go to the trace, and the writer gets at most `msecs` to write
    // what it holds. Returns what could not be written, one line each.
    QStringList finishRecord(int msecs = kFinishMs);

signals:
    void sessionFieldChanged(BenchCore::SessionField field, const QString &text);
    void setPointChanged(const BenchInput::SetPointCheck &check);
    // A reference reading was not written: NotFound, there is no open port to
    // write it for; Refused, it is not 0 to 999.9 mmHg (BenchInput).
    void readingRefused(double mmHg, const Failure &why);
    // The report's data changed: the checks, a session field or the set point.
    void reportChanged();
    // A test plan's run began (true) or ended (false).
    void planRunningChanged(bool running);

private:
    void startChecks(const QString &settingsFile);
    void startPanel(std::unique_ptr<SerialPort> port, const QString &resultsPath,
                    const PortMap &portMap);
    BenchInput::SetPointCheck takeSetPoint(const BenchInput::SetPointCheck &check);
    bool writeCheckEvent(const QString &what);

    // Declared in the order they are needed; destroyed in reverse.
    std::unique_ptr<RecordWriter> m_record;
    std::unique_ptr<TrafficTrace> m_trace;
    std::unique_ptr<ChecksEngine> m_checks;
    TrafficRecorder m_recorder;
    std::unique_ptr<SerialPort> m_port;
    std::unique_ptr<TracingSerialPort> m_tracingPort;
    std::unique_ptr<BoardPanel> m_panel;
    std::unique_ptr<ResultLog> m_results;
    std::unique_ptr<RecordNotice> m_notice;
    ReportHeader m_header; // its start is the recorder's
    BenchInput::SetPointCheck m_setPoint;
    CheckLimits m_settingsLimits;
    QString m_settingsFile;
    bool m_planRunning = false;
};
