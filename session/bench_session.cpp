// SPDX-License-Identifier: MIT
#include "bench_session.h"

#include "check_limits.h"
#include "port_map.h"
#include "port_table.h"
#include "record_disk.h"
#include "tarnvik_version.h"
#include "trace_header.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcChecks, "tarnvik.checks")

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
    m_panel.reset();
    m_tracingPort.reset();
    m_port.reset();
    m_recorder.finish(); // the groups not yet ended go to the trace too
    m_trace.reset();
    m_record.reset();
}

bool BenchSession::openTrace(const QString &path, QString &why)
{
    m_trace = std::make_unique<TrafficTrace>(path, *m_record);
    m_trace->writeHeader(TraceHeader{QStringLiteral("tarnvik"),
                                     QStringLiteral(TARNVIK_VERSION_STRING), m_recorder.started()});
    QObject::connect(&m_recorder, &TrafficRecorder::entryRecorded, m_trace.get(),
                     &TrafficTrace::write);
    m_record->waitWritten(kTraceOpenMs);
    why = m_record->failure(RecordWriter::Source::Trace);
    return why.isEmpty();
}

MainWindow &BenchSession::start(std::unique_ptr<SerialPort> port, const PortMap &portMap,
                                const QString &resultsPath)
{
    // The checks take every entry from the first, the start-up's included.
    QStringList problems;
    m_checks = std::make_unique<ChecksEngine>(CheckLimits::load(portMap.file(), &problems));
    for (const QString &problem : std::as_const(problems))
        qCWarning(lcChecks, "%s", qPrintable(problem));
    QObject::connect(&m_recorder, &TrafficRecorder::entryRecorded, m_checks.get(),
                     &ChecksEngine::feed);

    m_port = std::move(port);
    m_tracingPort = std::make_unique<TracingSerialPort>(*m_port, m_recorder);
    m_panel = std::make_unique<BoardPanel>(*m_tracingPort);
    m_panel->setPortSettingsProblems(portMap.file(), portMap.problems());
    m_window = std::make_unique<MainWindow>(*m_panel);
    m_panel->startUp();
    m_window->offerBenchChecks(
        *m_checks, [this](const QString &what) { return writeCheckEvent(what); },
        [this](const QString &port) { return deviceOf(port); }, m_recorder.started());
    m_notice = std::make_unique<RecordNotice>(*m_record, m_panel->state());
    if (!resultsPath.isEmpty()) {
        m_results = std::make_unique<ResultLog>(resultsPath, *m_record, *m_tracingPort);
        QObject::connect(m_panel.get(), &BoardPanel::measurementEnded, m_results.get(),
                         &ResultLog::record);
    }
    return *m_window;
}

// A reference reading or "checks cleared" goes through the recorder as an
// event of the open port, so the trace and the checks have it at one time.
bool BenchSession::writeCheckEvent(const QString &what)
{
    if (!m_tracingPort || !m_tracingPort->isOpen())
        return false;
    m_recorder.note(PortTable::caption(m_tracingPort->commPort()), what);
    return true;
}

QString BenchSession::deviceOf(const QString &port) const
{
    for (int number = 1; number <= PortTable::kPortCount; ++number) {
        if (PortTable::caption(number) == port)
            return m_tracingPort->deviceName(number);
    }
    return {};
}

QStringList BenchSession::finishRecord(int msecs)
{
    m_recorder.finish();
    return m_record->finish(msecs);
}
