// SPDX-License-Identifier: MIT
#include "bench_core.h"

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
// knowing; a failure later still shows as the panel's failure notice.
constexpr int kTraceOpenMs = 2000;

} // namespace

BenchCore::BenchCore(QObject *parent)
    : BenchCore(std::make_shared<RecordDisk>(), parent)
{}

BenchCore::BenchCore(std::shared_ptr<RecordDisk> disk, QObject *parent)
    : QObject(parent)
    , m_record(std::make_unique<RecordWriter>(std::move(disk), RecordWriter::Limits()))
{
    m_record->start();
}

BenchCore::~BenchCore()
{
    m_notice.reset();
    m_results.reset();
    m_panel.reset();
    m_tracingPort.reset();
    m_port.reset();
    m_recorder.finish(); // the groups not yet ended go to the trace and the checks too
    m_trace.reset();
    m_record.reset();
}

bool BenchCore::openTrace(const QString &path, Failure *why)
{
    m_trace = std::make_unique<TrafficTrace>(path, *m_record);
    m_trace->writeHeader(TraceHeader{QStringLiteral("tarnvik"),
                                     QStringLiteral(TARNVIK_VERSION_STRING), m_recorder.started()});
    connect(&m_recorder, &TrafficRecorder::entryRecorded, m_trace.get(), &TrafficTrace::write);
    m_record->waitWritten(kTraceOpenMs);
    const Failure failure = m_record->failure(RecordWriter::Source::Trace);
    return !failure.failed() || fail(why, failure);
}

void BenchCore::start(std::unique_ptr<SerialPort> port, const PortMap &portMap,
                      const QString &resultsPath)
{
    startChecks(portMap.file());
    startPanel(std::move(port), resultsPath, portMap);
}

void BenchCore::start(std::unique_ptr<SerialPort> port, const QString &settingsFile,
                      const QString &resultsPath)
{
    startChecks(settingsFile);
    startPanel(std::move(port), resultsPath, PortMap());
}

// The checks take every entry from the first, the start-up's included.
void BenchCore::startChecks(const QString &settingsFile)
{
    QStringList problems;
    m_settingsFile = settingsFile;
    m_settingsLimits = CheckLimits::load(settingsFile, &problems);
    m_checks = std::make_unique<ChecksEngine>(m_settingsLimits);
    for (const QString &problem : std::as_const(problems))
        qCWarning(lcChecks, "%s", qPrintable(problem));
    m_checks->setSetPoint(m_setPoint.setPoint);
    connect(&m_recorder, &TrafficRecorder::entryRecorded, m_checks.get(), &ChecksEngine::feed);
    connect(m_checks.get(), &ChecksEngine::changed, this, &BenchCore::reportChanged);
}

// The panel on the port behind the recorder, and its start-up; `portMap` is
// the map that bound the port's devices (its problems show with the start-up).
void BenchCore::startPanel(std::unique_ptr<SerialPort> port, const QString &resultsPath,
                           const PortMap &portMap)
{
    m_port = std::move(port);
    m_tracingPort = std::make_unique<TracingSerialPort>(*m_port, m_recorder);
    m_panel = std::make_unique<BoardPanel>(*m_tracingPort);
    m_panel->setPortSettingsProblems(portMap.file(), portMap.problems());
    m_panel->startUp();
    m_notice = std::make_unique<RecordNotice>(*m_record, m_panel->state());
    if (!resultsPath.isEmpty()) {
        m_results = std::make_unique<ResultLog>(resultsPath, *m_record, *m_tracingPort);
        connect(m_panel.get(), &BoardPanel::measurementEnded, m_results.get(), &ResultLog::record);
    }
}

QString BenchCore::sessionField(SessionField field) const
{
    switch (field) {
    case SessionField::Board:
        return m_header.board;
    case SessionField::Operator:
        return m_header.operatorName;
    case SessionField::Instrument:
        return m_header.instrument;
    }
    return {};
}

void BenchCore::setSessionField(SessionField field, const QString &text)
{
    QString &kept = field == SessionField::Board      ? m_header.board
                    : field == SessionField::Operator ? m_header.operatorName
                                                      : m_header.instrument;
    if (kept == text)
        return;
    kept = text;
    emit sessionFieldChanged(field, text);
    emit reportChanged();
}

QString BenchCore::deviceOf(const QString &port) const
{
    for (int number = 1; m_tracingPort && number <= PortTable::kPortCount; ++number) {
        if (PortTable::caption(number) == port)
            return m_tracingPort->deviceName(number);
    }
    return {};
}

BenchInput::SetPointCheck BenchCore::setSetPoint(const std::optional<SetPoint> &setPoint)
{
    return takeSetPoint(BenchInput::checkSetPoint(setPoint));
}

BenchInput::SetPointCheck BenchCore::setSetPoint(const BenchInput::TypedSetPoint &typed)
{
    return takeSetPoint(BenchInput::checkSetPoint(typed));
}

// A set point refused leaves the checks with none, as one not given does.
BenchInput::SetPointCheck BenchCore::takeSetPoint(const BenchInput::SetPointCheck &check)
{
    m_setPoint = check;
    if (m_checks)
        m_checks->setSetPoint(check.setPoint);
    emit setPointChanged(check);
    return check;
}

bool BenchCore::recordReading(double mmHg)
{
    if (!BenchInput::isReferenceReading(mmHg)) {
        emit readingRefused(mmHg, Failure::refused(QStringLiteral("not a reading")));
        return false;
    }
    if (!writeCheckEvent(ChecksEngine::referenceEvent(mmHg))) {
        emit readingRefused(mmHg, {Failure::Kind::NotFound, QStringLiteral("no port is open")});
        return false;
    }
    return true;
}

void BenchCore::clearChecks()
{
    if (m_checks)
        m_checks->setLimits(m_settingsLimits);
    if (!writeCheckEvent(QString::fromLatin1(ChecksEngine::kClearedEvent)) && m_checks)
        m_checks->clear();
    setSessionField(SessionField::Board, QString());
}

void BenchCore::setCheckLimits(const CheckLimits &limits)
{
    if (m_checks)
        m_checks->setLimits(limits);
}

// A reference reading or "checks cleared" goes through the recorder as an
// event of the open port, so the trace and the checks have it at one time.
bool BenchCore::writeCheckEvent(const QString &what)
{
    if (!m_tracingPort || !m_tracingPort->isOpen())
        return false;
    m_recorder.note(PortTable::caption(m_tracingPort->commPort()), what);
    return true;
}

void BenchCore::setPlanRunning(bool running)
{
    if (running == m_planRunning)
        return;
    m_planRunning = running;
    if (m_panel)
        m_panel->state().setRunDriven(running);
    emit planRunningChanged(running);
}

CheckReport BenchCore::report() const
{
    CheckReport report = m_checks ? m_checks->report() : CheckReport();
    ReportHeader header = m_header;
    header.started = started();
    header.fill(report, [this](const QString &port) { return deviceOf(port); });
    return report;
}

QStringList BenchCore::finishRecord(int msecs)
{
    m_recorder.finish();
    return m_record->finish(msecs);
}
