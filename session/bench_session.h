// One bench session, wired the same way for the program and the demo: a
// traffic recorder always sits between the panel and the port (a
// TracingSerialPort), the trace file takes the recorder's entries when a
// trace is asked for, the main window (whose construction runs the start-up
// sequence) drives the panel, and the results log takes every measurement
// end the panel shows. The entry points keep only their own paths, messages
// and exit codes. The session owns everything it builds and takes it down
// in the right order: results log, window, ports, then the recorder, whose
// last groups still reach the trace file.
#pragma once

#include "main_window.h"
#include "result_log.h"
#include "tracing_serial_port.h"
#include "traffic_recorder.h"
#include "traffic_trace.h"

#include <memory>

class PortMap;

class BenchSession
{
public:
    BenchSession();
    BenchSession(const BenchSession &) = delete;
    BenchSession &operator=(const BenchSession &) = delete;
    ~BenchSession();

    // Opens the trace file at `path`, replacing what it held. False, with the
    // reason in `why`, when it cannot be written.
    bool openTrace(const QString &path, QString &why);

    // Builds the window on `port` behind the recorder; `portMap` is the map
    // that bound the port's devices (its problems show with the start-up).
    // Rows go to `resultsPath`; an empty path writes no results file.
    MainWindow &start(std::unique_ptr<SerialPort> port, const PortMap &portMap,
                      const QString &resultsPath);

    // Valid once started.
    MainWindow &window() { return *m_window; }
    // Null when the session writes no results file.
    const ResultLog *results() const { return m_results.get(); }
    // Where the entries of the traffic come from, for whoever wants them.
    TrafficRecorder &recorder() { return m_recorder; }

private:
    // Declared in the order they are needed; destroyed in reverse.
    std::unique_ptr<TrafficTrace> m_trace;
    TrafficRecorder m_recorder;
    std::unique_ptr<SerialPort> m_port;
    std::unique_ptr<TracingSerialPort> m_tracingPort;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ResultLog> m_results;
};
