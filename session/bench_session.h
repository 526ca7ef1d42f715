// SPDX-License-Identifier: MIT
// One bench session, wired the same way for the program and the demo: a
// traffic recorder always sits between the panel and the port (a
// TracingSerialPort), the trace file takes the recorder's entries when a
// trace is asked for, the panel logic drives the board, the main window is
// built on it and then the panel's start-up runs, and the results log takes
// every measurement end the panel shows. Both files are written by one
// RecordWriter thread, so the window's thread never waits for the disk;
// RecordNotice shows as the panel's failure notice what keeps them from being
// written. The checks engine takes every entry the recorder hands out,
// whether or not there is a trace; the trace begins with its header line. The
// entry points keep only their own paths, messages and exit codes. The
// session owns everything it builds and takes it down in the right order:
// results log, window, panel, ports, then the recorder, whose last groups
// still reach the trace file and the checks, and the writer.
#pragma once

#include "checks_engine.h"
#include "main_window.h"
#include "record_notice.h"
#include "record_writer.h"
#include "result_log.h"
#include "tracing_serial_port.h"
#include "traffic_recorder.h"
#include "traffic_trace.h"

#include <memory>

class PortMap;

class BenchSession
{
public:
    // How long the end of a session waits for the disk.
    static constexpr int kFinishMs = 2500;

    BenchSession();
    // For tests: the record written through `disk`.
    explicit BenchSession(std::shared_ptr<RecordDisk> disk);
    BenchSession(const BenchSession &) = delete;
    BenchSession &operator=(const BenchSession &) = delete;
    ~BenchSession();

    // Makes `path` the trace file, replacing what it held, and waits a
    // moment for the writer to open it. False, with the file and the reason
    // in `why`, when it cannot be written.
    bool openTrace(const QString &path, QString &why);

    // Builds the panel on `port` behind the recorder and the window on the
    // panel, and runs the start-up; `portMap` is the map that bound the port's
    // devices (its problems show with the start-up). Rows go to
    // `resultsPath`; an empty path writes no results file.
    MainWindow &start(std::unique_ptr<SerialPort> port, const PortMap &portMap,
                      const QString &resultsPath);

    // Valid once started.
    MainWindow &window() { return *m_window; }
    BoardPanel &panel() { return *m_panel; }
    // Null when the session writes no results file.
    const ResultLog *results() const { return m_results.get(); }
    // Where the entries of the traffic come from, for whoever wants them.
    TrafficRecorder &recorder() { return m_recorder; }
    // The bench checks of the session; valid once started.
    ChecksEngine &checks() { return *m_checks; }
    RecordWriter &record() { return *m_record; }

    // At the end, once the window's exit sequence has run: the last traffic
    // groups go to the trace, and the writer gets at most `msecs` to write
    // what it holds. Returns what could not be written, one line each.
    QStringList finishRecord(int msecs = kFinishMs);

private:
    bool writeCheckEvent(const QString &what);
    QString deviceOf(const QString &port) const;

    // Declared in the order they are needed; destroyed in reverse.
    std::unique_ptr<RecordWriter> m_record;
    std::unique_ptr<TrafficTrace> m_trace;
    std::unique_ptr<ChecksEngine> m_checks;
    TrafficRecorder m_recorder;
    std::unique_ptr<SerialPort> m_port;
    std::unique_ptr<TracingSerialPort> m_tracingPort;
    std::unique_ptr<BoardPanel> m_panel;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ResultLog> m_results;
    std::unique_ptr<RecordNotice> m_notice;
};
