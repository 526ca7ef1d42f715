#include "bench_session.h"

#include "port_map.h"

BenchSession::BenchSession() = default;

BenchSession::~BenchSession()
{
    m_results.reset();
    m_window.reset();
    m_tracingPort.reset();
    m_port.reset();
    m_recorder.finish(); // the groups not yet ended go to the trace too
}

bool BenchSession::openTrace(const QString &path, QString &why)
{
    auto trace = std::make_unique<TrafficTrace>(path);
    if (!trace->isOpen()) {
        why = trace->errorText();
        return false;
    }
    m_trace = std::move(trace);
    QObject::connect(&m_recorder, &TrafficRecorder::entryRecorded, m_trace.get(),
                     &TrafficTrace::write);
    return true;
}

MainWindow &BenchSession::start(std::unique_ptr<SerialPort> port, const PortMap &portMap,
                                const QString &resultsPath)
{
    m_port = std::move(port);
    m_tracingPort = std::make_unique<TracingSerialPort>(*m_port, m_recorder);
    m_window = std::make_unique<MainWindow>(*m_tracingPort, portMap);
    if (!resultsPath.isEmpty()) {
        m_results = std::make_unique<ResultLog>(resultsPath, *m_window, *m_tracingPort);
        QObject::connect(&m_window->panel(), &BoardPanel::measurementEnded, m_results.get(),
                         &ResultLog::record);
    }
    return *m_window;
}
