#include "bench_session.h"

#include "port_map.h"
#include "record_disk.h"

namespace {

// How long opening the trace may take before the session goes on without
// knowing; a failure later still shows in the window.
constexpr int kTraceOpenMs = 2000;

} // namespace

BenchSession::BenchSession()
    : BenchSession(std::make_shared<RecordDisk>())
{}

BenchSession::BenchSession(std::shared_ptr<RecordDisk> disk)
    : m_record(std::make_unique<RecordWriter>(std::move(disk), RecordWriter::Limits()))
{
    m_record->start();
}

BenchSession::~BenchSession()
{
    m_notice.reset();
    m_results.reset();
    m_window.reset();
    m_tracingPort.reset();
    m_port.reset();
    m_recorder.finish(); // the groups not yet ended go to the trace too
    m_trace.reset();
    m_record.reset();
}

bool BenchSession::openTrace(const QString &path, QString &why)
{
    m_trace = std::make_unique<TrafficTrace>(path, *m_record);
    QObject::connect(&m_recorder, &TrafficRecorder::entryRecorded, m_trace.get(),
                     &TrafficTrace::write);
    m_record->waitWritten(kTraceOpenMs);
    why = m_record->failure(RecordWriter::Source::Trace);
    return why.isEmpty();
}

MainWindow &BenchSession::start(std::unique_ptr<SerialPort> port, const PortMap &portMap,
                                const QString &resultsPath)
{
    m_port = std::move(port);
    m_tracingPort = std::make_unique<TracingSerialPort>(*m_port, m_recorder);
    m_window = std::make_unique<MainWindow>(*m_tracingPort, portMap);
    m_notice = std::make_unique<RecordNotice>(*m_record, *m_window);
    if (!resultsPath.isEmpty()) {
        m_results = std::make_unique<ResultLog>(resultsPath, *m_record, *m_tracingPort);
        QObject::connect(&m_window->panel(), &BoardPanel::measurementEnded, m_results.get(),
                         &ResultLog::record);
    }
    return *m_window;
}

QStringList BenchSession::finishRecord(int msecs)
{
    m_recorder.finish();
    return m_record->finish(msecs);
}
