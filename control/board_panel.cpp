// SPDX-License-Identifier: MIT
#include "board_panel.h"

#include "command_frame.h"
#include "command_set.h"
#include "port_failure_text.h"
#include "port_log.h"
#include "port_table.h"
#include "reply_line.h"
#include "setting_table.h"

#include <QTimer>

#include <algorithm>

using Field = BoardState::Field;

BoardPanel::BoardPanel(SerialPort &port, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_interpretTimer(new QTimer(this))
    , m_deviceWatch(new QTimer(this))
{
    m_interpretTimer->setObjectName(QStringLiteral("Val_Update"));
    m_interpretTimer->setInterval(kInterpretIntervalMs);
    connect(m_interpretTimer, &QTimer::timeout, this, &BoardPanel::interpretLatestLine);
    m_deviceWatch->setObjectName(QStringLiteral("deviceWatch"));
    m_deviceWatch->setInterval(kDeviceWatchIntervalMs);
    connect(m_deviceWatch, &QTimer::timeout, this, &BoardPanel::lookForLostDevice);
    connect(&m_port, &SerialPort::bytesArrived, this, &BoardPanel::readArrivedBytes);
    connect(&m_port, &SerialPort::deviceLost, this, &BoardPanel::reportLostDevice);
}

void BoardPanel::setPortSettingsProblems(const QString &file, const QStringList &problems)
{
    m_settingsFile = file;
    m_settingsProblems = problems;
}

// Start-up: the interpretation timer, port search and open, the board's
// defaults and the state's. When the port cannot be opened, or a start-up
// frame cannot be written, the remaining frames are left out but the state
// still gets its defaults, so the operator sees a consistent panel and the
// reported failure. Without an open port the frames are owed to the first port
// the menu opens.
void BoardPanel::startUp()
{
    m_interpretTimer->start();
    for (int port = 1; port <= PortTable::kPortCount; ++port)
        m_state.setPortEntryEnabled(port, true);

    m_selectedPort = findPort();
    const bool linkUp = openPort(m_selectedPort);
    m_startUpFramesOwed = !linkUp;
    if (linkUp)
        reportPortSettingsProblems();
    startBoard(linkUp);
}

// The start-up frames and the state's defaults, in start-up's order: cycle
// time "Manual" and adult mode, the defaults, pump-up 160 mmHg and read
// status. Without a link, or once a frame cannot be written, the frames after
// it are left out, but the state gets its defaults all the same. True when
// all four frames were written.
bool BoardPanel::startBoard(bool linkUp)
{
    linkUp = linkUp && sendCommand(QString::fromLatin1(CommandSet::kCycleManual));
    linkUp = linkUp && sendCommand(QString::fromLatin1(CommandSet::kAdult));
    showStartUpSettings();
    linkUp = linkUp && sendCommand(QString::fromLatin1(CommandSet::kPumpUp160));
    return linkUp && sendCommand(QString::fromLatin1(CommandSet::kReadStatus));
}

void BoardPanel::showStartUpSettings()
{
    m_state.setStartCaption(QString::fromLatin1(kStartCaption));
    m_state.setText(Field::OperatingState, QString::fromLatin1(kIdle));
    m_state.setText(Field::CycleTime, QString::fromLatin1(SettingTable::kCycle[0].text));
    m_state.setText(Field::Patient, QString::fromLatin1(kAdult));
    m_state.setText(
        Field::PumpUp,
        QString::fromLatin1(SettingTable::kPumpUp[SettingTable::kPumpUpStartIndex].text));
    m_state.setBarValue(0);
    m_cycleIndex = SettingTable::kCycleStartIndex;
    m_pumpUpIndex = SettingTable::kPumpUpStartIndex;
}

void BoardPanel::shutDown()
{
    exitSequence();
}

void BoardPanel::exitProgram()
{
    exitSequence();
}

void BoardPanel::exitSequence()
{
    stopDeviceWatch();
    if (m_port.isOpen())
        m_port.close();
    emit programEnded();
}

bool BoardPanel::isIdle() const
{
    return m_state.text(Field::OperatingState) == QLatin1String(kIdle);
}

void BoardPanel::startMeasurement()
{
    if (!isIdle())
        return;
    if (!sendCommand(QString::fromLatin1(CommandSet::kStart)))
        return;
    m_state.setText(Field::OperatingState, QString::fromLatin1(kMeasure));
    m_state.setText(Field::ReplyLine, QString());
    m_state.setText(Field::Systolic, QString());
    m_state.setText(Field::Diastolic, QString());
    m_state.setText(Field::PulseRate, QString());
}

void BoardPanel::startManometer()
{
    if (!isIdle())
        return;
    if (!sendCommand(QString::fromLatin1(CommandSet::kManometer)))
        return;
    m_state.setText(Field::ReplyLine, QString());
    m_state.setText(Field::OperatingState, QString::fromLatin1(kManometer));
}

void BoardPanel::startLeakTest()
{
    if (!isIdle())
        return;
    if (!sendCommand(QString::fromLatin1(CommandSet::kLeakTest)))
        return;
    m_state.setText(Field::ReplyLine, QString());
    m_state.setText(Field::OperatingState, QString::fromLatin1(kLeakTest));
}

// Break is the operator's one way to stop the cuff, so it reaches the board in
// every state: a measurement the board starts by itself on its cycle time, or
// one already running when the program started or switched ports, runs while
// the state reads "IDLE".
void BoardPanel::breakOperation()
{
    if (!sendCommand(QString::fromLatin1(CommandSet::kBreak)))
        return;
    m_state.setText(Field::OperatingState, QString::fromLatin1(kIdle));
    m_cuffPressure = 0;
}

void BoardPanel::togglePatient()
{
    if (!isIdle())
        return;
    const QString patient = m_state.text(Field::Patient);
    if (patient == QLatin1String(kAdult)) {
        if (!sendCommand(QString::fromLatin1(CommandSet::kNeonate)))
            return;
        m_state.setText(Field::Patient, QString::fromLatin1(kNeonate));
    } else if (patient == QLatin1String(kNeonate)) {
        if (!sendCommand(QString::fromLatin1(CommandSet::kAdult)))
            return;
        m_state.setText(Field::Patient, QString::fromLatin1(kAdult));
    }
}

void BoardPanel::setAdult()
{
    setPatient(CommandSet::kAdult, kAdult);
}

void BoardPanel::setNeonate()
{
    setPatient(CommandSet::kNeonate, kNeonate);
}

void BoardPanel::setPatient(const char *command, const char *text)
{
    if (!isIdle() || !sendCommand(QString::fromLatin1(command)))
        return;
    m_state.setText(Field::Patient, QString::fromLatin1(text));
}

void BoardPanel::readStatus()
{
    sendCommand(QString::fromLatin1(CommandSet::kReadStatus));
}

// Pump To and Set Cycle advance their index before the write. When the write
// fails the index steps back, so index and field stay in step and the next
// click selects the entry after the one shown.
void BoardPanel::stepPumpUp()
{
    if (isIdle())
        stepSetting(m_pumpUpIndex, SettingTable::kPumpUp.data(), SettingTable::kPumpUp.size(),
                    Field::PumpUp);
}

void BoardPanel::stepCycle()
{
    if (isIdle())
        stepSetting(m_cycleIndex, SettingTable::kCycle.data(), SettingTable::kCycle.size(),
                    Field::CycleTime);
}

void BoardPanel::stepSetting(quint8 &index, const SettingTable::Entry *table, std::size_t size,
                             Field field)
{
    const quint8 previous = index;
    index = index >= size - 1 ? 0 : index + 1;
    const SettingTable::Entry &entry = table[index];
    if (!sendCommand(QString::fromLatin1(entry.command))) {
        index = previous;
        return;
    }
    m_state.setText(field, QString::fromLatin1(entry.text));
}

void BoardPanel::choosePort(int port)
{
    if (port < 1 || port > PortTable::kPortCount)
        return;
    // The operator has chosen another port: the lost one stays closed, also
    // when this one does not open.
    if (port != m_lostPort)
        stopDeviceWatch();
    if (!openPort(port))
        return;
    stopDeviceWatch();
    if (m_startUpFramesOwed && sendStartUpFrames())
        m_startUpFramesOwed = false;
}

// Only entries that start-up disabled are looked at, and only whether their
// device exists: eight file-system look-ups at most, nothing opened.
void BoardPanel::recheckMissingPorts()
{
    if (m_recheck == 0)
        return;
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        const unsigned bit = 1u << (port - 1);
        if ((m_recheck & bit) == 0 || !m_port.deviceExists(port))
            continue;
        m_recheck &= ~bit;
        m_state.setPortEntryEnabled(port, true);
        qCInfo(lcPorts).noquote() << PortTable::caption(port)
                                  << "is available now:" << m_port.deviceName(port);
    }
}

// In start-up's order: cycle time "Manual", adult mode, pump-up 160 mmHg,
// read status.
bool BoardPanel::sendStartUpFrames()
{
    return sendCommand(QString::fromLatin1(CommandSet::kCycleManual)) &&
           sendCommand(QString::fromLatin1(CommandSet::kAdult)) &&
           sendCommand(QString::fromLatin1(CommandSet::kPumpUp160)) &&
           sendCommand(QString::fromLatin1(CommandSet::kReadStatus));
}

void BoardPanel::readArrivedBytes()
{
    // input() gives everything waiting, so one read per arrival takes it all.
    const QByteArray bytes = m_port.input();
    m_assembler.feed(bytes.constData(), bytes.size(), [this](const QByteArray &line) {
        ++m_linesCompleted;
        m_state.setText(Field::ReplyLine, QString::fromLatin1(line));
    });
}

// The port is closed by now, so no entry keeps the check mark of an open port.
void BoardPanel::reportLostDevice(const QString &reason)
{
    const int port = m_port.commPort();
    endRunAtLoss();
    clearPortChecks();
    m_state.reportFailure(reason);
    watchLostDevice(port);
}

// What ran on the board is over as far as the panel can tell: the state goes
// to "IDLE" and the bar to 0. A line that completed before the loss and that
// no tick has read yet is read first, so a result that came just before is
// not lost; after that no line from before the loss is read again. The reply
// line and the values stay shown: they are the board's last word.
void BoardPanel::endRunAtLoss()
{
    if (m_assembler.lineComplete() && m_linesInterpreted != m_linesCompleted)
        interpretLatestLine();
    m_assembler = ReplyAssembler();
    m_cuffPressure = 0;
    m_state.setText(Field::OperatingState, QString::fromLatin1(kIdle));
    m_state.setBarValue(0);
}

// A device still there at the loss (a line that hung up, a driver that
// refused a write) must go before it counts as back: opening it again at once
// would only lose it again, and every open raises DTR.
void BoardPanel::watchLostDevice(int port)
{
    m_lostPort = port;
    m_reopenTriesLeft = m_port.deviceExists(port) ? 0 : kReopenTries;
    m_deviceWatch->start();
}

void BoardPanel::stopDeviceWatch()
{
    m_deviceWatch->stop();
    m_lostPort = 0;
    m_reopenTriesLeft = 0;
}

// A file-system look (on Windows, the device namespace), nothing opened. A
// device back that does not open is tried again at the next looks, a few
// times, and then left until it goes and comes back again; the Port menu
// still opens it by hand.
void BoardPanel::lookForLostDevice()
{
    if (m_lostPort == 0)
        return;
    if (!m_port.deviceExists(m_lostPort)) {
        m_reopenTriesLeft = kReopenTries;
        return;
    }
    if (m_reopenTriesLeft == 0)
        return;
    --m_reopenTriesLeft;
    reopenLostPort();
}

// The operator is told the port is back before the frames go, so a frame that
// cannot be written shows as the newer notice.
void BoardPanel::reopenLostPort()
{
    const int port = m_lostPort;
    if (!openPort(port))
        return; // the failure says why
    stopDeviceWatch();
    const QString caption = PortTable::caption(port);
    qCInfo(lcPorts).noquote() << caption << "is back:" << m_port.deviceName(port)
                              << "opened again, the board gets the start-up frames";
    m_state.reportInfo(QStringLiteral("%1 is back").arg(caption));
    if (startBoard(true))
        m_startUpFramesOwed = false;
}

// The view hears of the tick first, so that it can repaint the reply line
// together with the fields the tick sets from it.
void BoardPanel::interpretLatestLine()
{
    emit tickStarted();
    if (!m_assembler.lineComplete())
        return;
    const BoardReply reply(m_state.text(Field::ReplyLine));
    if (reply.kind() == BoardReply::Kind::Result)
        runResultLine(reply);
    else
        runPressureLine(reply);
    noteInterpretedLine(reply);
}

// Only the first tick on a completed line tells that a measurement ended; the
// ticks after it repeat what it showed.
void BoardPanel::noteInterpretedLine(const BoardReply &reply)
{
    if (m_linesInterpreted == m_linesCompleted)
        return;
    m_linesInterpreted = m_linesCompleted;
    if (reply.kind() == BoardReply::Kind::Result || reply.kind() == BoardReply::Kind::EndValue)
        emit measurementEnded(measurementEnd(reply));
}

// The settings as the state shows them with the line that ended the
// measurement.
MeasurementEnd BoardPanel::measurementEnd(const BoardReply &reply) const
{
    MeasurementEnd end;
    end.patient = m_state.text(Field::Patient);
    end.pumpUp = m_state.text(Field::PumpUp);
    end.cycle = m_state.text(Field::CycleTime);
    end.line = reply.line();
    if (reply.kind() != BoardReply::Kind::Result) {
        end.outcome = MeasurementEnd::Outcome::EndValue;
        return end;
    }
    end.systolic = reply.systolic();
    end.diastolic = reply.diastolic();
    end.mean = reply.mean();
    end.pulse = reply.pulse();
    return end;
}

// A pressure line, or any other line that is no result: its pressure field
// goes to the mean-pressure field as the board sent it, the result fields are
// emptied, and a value that converts becomes the cuff pressure the bar shows,
// held at the bar's ends. "999" there is the end value: the board is asked for
// its status and the panel goes back to idle.
void BoardPanel::runPressureLine(const BoardReply &reply)
{
    m_state.setText(Field::MeanPressure, reply.pressureText());
    m_state.setText(Field::Systolic, QString());
    m_state.setText(Field::Diastolic, QString());
    m_state.setText(Field::PulseRate, QString());
    if (const std::optional<qint16> value = reply.pressure())
        m_cuffPressure = *value;
    // An over-pressure shows as a full bar, never as the last value below it.
    // The end value is no pressure: the bar drops to 0 once the board has been
    // asked for its status.
    if (reply.kind() != BoardReply::Kind::EndValue) {
        m_state.setBarValue(std::clamp<int>(m_cuffPressure, 0, kBarLimit));
        return;
    }
    if (!sendCommand(QString::fromLatin1(CommandSet::kReadStatus)))
        return;
    m_state.setText(Field::OperatingState, QString::fromLatin1(kIdle));
    m_state.setBarValue(0);
}

// A result line: mean, systolic, diastolic and pulse to their fields, and the
// measurement is over.
void BoardPanel::runResultLine(const BoardReply &reply)
{
    m_state.setText(Field::MeanPressure, reply.mean());
    m_state.setText(Field::Systolic, reply.systolic());
    m_state.setText(Field::Diastolic, reply.diastolic());
    m_state.setText(Field::PulseRate, reply.pulse());
    m_state.setText(Field::OperatingState, QString::fromLatin1(kIdle));
}

// One command frame in the pieces CommandFrame gives (STX, each character,
// ETX), written one after the other. A failed write stops here; bytes already
// handed over stay sent.
bool BoardPanel::sendCommand(const QString &text)
{
    bool written = true;
    const QList<QByteArray> pieces = CommandFrame::pieces(text);
    for (qsizetype i = 0; written && i < pieces.size(); ++i)
        written = m_port.output(pieces.at(i));
    if (!written)
        m_state.reportFailure(
            QStringLiteral("Command %1 not sent: %2").arg(text, m_port.failure().text));
    return written;
}

// Tries every port from 1 to 8, disables the entry of each one that fails,
// and returns the first that opened (0 when none did). Leaves the port closed.
// Notes why each port failed, for the notice when none opens, and which
// entries the Port menu's re-check is to look at.
quint8 BoardPanel::findPort()
{
    quint8 found = 0;
    m_portTrouble.clear();
    m_recheck = 0;
    for (int n = 1; n <= PortTable::kPortCount; ++n) {
        bool ok = m_port.setCommPort(n);
        const bool opened = m_port.open();
        ok = opened && ok;
        const Failure::Kind kind = opened ? Failure::Kind::Other : m_port.failure().kind;
        if (found == 0 && m_port.isOpen() && m_port.commPort() == n)
            found = static_cast<quint8>(n);
        if (m_port.isOpen())
            ok = m_port.close() && ok;
        if (!ok) {
            m_state.setPortEntryEnabled(n, false);
            m_portTrouble.append({n, {kind, m_port.failure().text}});
            // Only a device that was not there can appear later. One that was
            // there and failed (denied, held, broken) stays as start-up left it.
            if (kind == Failure::Kind::NotFound)
                m_recheck |= 1u << (n - 1);
        }
    }
    return found;
}

// One line for the status bar, then the whole list for its tooltip: why each
// entry failed and what was wrong with the port settings.
QString BoardPanel::noPortNotice() const
{
    int absent = 0;
    int unbound = 0;
    QStringList notable;
    QStringList details;
    for (const PortTrouble &trouble : m_portTrouble) {
        const Failure::Kind kind = trouble.failure.kind;
        details << trouble.failure.text;
        if (kind == Failure::Kind::NotFound)
            ++absent;
        else if (kind == Failure::Kind::Unbound)
            ++unbound;
        else
            notable << QStringLiteral("%1 %2").arg(PortTable::caption(trouble.port),
                                                   kind == Failure::Kind::PermissionDenied
                                                       ? PortFailureText::reason(kind, QString())
                                                       : PortFailureText::brief(kind));
    }
    QStringList parts;
    if (absent > 0)
        parts << QStringLiteral("%1 not present").arg(absent);
    if (unbound > 0)
        parts << QStringLiteral("%1 not bound").arg(unbound);
    parts << notable;
    QString line =
        QStringLiteral("No serial port could be opened: COM1 to COM8 are all unavailable");
    if (!parts.isEmpty())
        line += QStringLiteral(" (%1)").arg(parts.join(QStringLiteral("; ")));
    if (!m_settingsProblems.isEmpty()) {
        line +=
            QStringLiteral("; %1 problem(s) in the port settings").arg(m_settingsProblems.size());
        details << QStringLiteral("Port settings in %1:").arg(m_settingsFile);
        for (const QString &problem : m_settingsProblems)
            details << QStringLiteral("  %1").arg(problem);
    }
    return line + QLatin1Char('\n') + details.join(QLatin1Char('\n'));
}

void BoardPanel::reportPortSettingsProblems()
{
    if (m_settingsProblems.isEmpty())
        return;
    QString line = QStringLiteral("Port settings: %1").arg(m_settingsProblems.constFirst());
    if (m_settingsProblems.size() > 1)
        line += QStringLiteral(" (and %1 more)").arg(m_settingsProblems.size() - 1);
    QStringList details{QStringLiteral("Port settings in %1:").arg(m_settingsFile)};
    for (const QString &problem : m_settingsProblems)
        details << QStringLiteral("  %1").arg(problem);
    m_state.reportFailure(line + QLatin1Char('\n') + details.join(QLatin1Char('\n')));
}

bool BoardPanel::openPort(int port)
{
    const QString caption = PortTable::caption(port);
    if (m_port.isOpen() && !m_port.close()) {
        m_state.reportFailure(
            QStringLiteral("Closing %1 failed: %2")
                .arg(PortTable::caption(m_port.commPort()), m_port.failure().text));
        return false;
    }
    clearPortChecks();
    if (port == 0) { // the port search found none
        const QString notice = noPortNotice();
        qCWarning(lcPorts).noquote() << notice;
        m_state.reportFailure(notice);
        return false;
    }
    const bool configured = m_port.setCommPort(port) && m_port.setLineSettings(kLineSettings);
    if (!configured) {
        m_state.reportFailure(
            QStringLiteral("Setting up %1 failed: %2").arg(caption, m_port.failure().text));
        return false;
    }
    if (!m_port.open()) {
        qCWarning(lcPorts).noquote() << m_port.failure().text;
        m_state.reportFailure(m_port.failure().text);
        return false;
    }
    m_state.setPortEntryChecked(port, true);
    return true;
}

void BoardPanel::clearPortChecks()
{
    for (int port = 1; port <= PortTable::kPortCount; ++port)
        m_state.setPortEntryChecked(port, false);
}
