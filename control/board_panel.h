// SPDX-License-Identifier: MIT
// The panel logic: start-up and exit, port selection, reply assembly, the
// interpretation of complete reply lines at each tick, and the eight operator
// commands with the operating state they move. It keeps the board's state in
// its BoardState, which views follow by signal, and meets the device only
// through SerialPort, so it runs the same in the program, in tests and in
// tools, with a window or without.
//
// The operating state and the last reply line are texts of the state; the
// panel reads them back from there and shadows neither. Each line the
// assembler completes is set as the state's reply line, so a line arriving is
// announced by the state (the panel empties the reply line, too, when the
// operator starts a mode). Its interpretation
// timer ("Val_Update", 150 ms) starts with the start-up; at each tick it
// announces the tick (tickStarted) and then interprets the latest line.
// Each handler runs to its end; a failing serial operation ends the handler at
// that step and is reported once through BoardState::reportFailure.
//
// Port entries that fail at start-up are looked at again whenever the Port
// menu opens, so an adapter plugged in later can be chosen. When start-up
// opened no port, the first port opened from the menu gets the four start-up
// frames, so the board holds the defaults the state shows.
//
// A lost device ends what ran: the state goes to "IDLE" with an empty bar,
// and no line from before the loss is interpreted again. While the loss is
// pending, a device watch ("deviceWatch", every 250 ms) looks whether the lost
// port's device is there, without opening it. Once it has been gone and is
// there again, the port is opened again, the board gets the start-up frames
// and the state their defaults (a board that lost power lost its settings),
// and "COM5 is back" is told as an information. Choosing another port from
// the Port menu, or the exit sequence, ends the watch; a port closed that way
// is never opened again by itself.
#pragma once

#include "board_reply.h"
#include "board_state.h"
#include "measurement_end.h"
#include "reply_assembler.h"
#include "serial_port.h"
#include "setting_table.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;

class BoardPanel : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kIdle = "IDLE";
    static constexpr const char *kMeasure = "MEASURE";
    static constexpr const char *kManometer = "Manometer";
    static constexpr const char *kLeakTest = "Leak Test";
    static constexpr const char *kAdult = "Adult";
    static constexpr const char *kNeonate = "Neonate";
    static constexpr const char *kStartCaption = BoardState::kStartCaption;
    // The board talks 4800 baud, 8 data bits, no parity, 1 stop bit.
    static constexpr LineSettings kLineSettings{4800, QSerialPort::Data8, QSerialPort::NoParity,
                                                QSerialPort::OneStop, QSerialPort::NoFlowControl};
    static constexpr int kBarLimit = 300;
    static constexpr int kInterpretIntervalMs = 150;
    // How often the device watch looks for a lost device, and how many looks
    // in a row may try to open it once it is back before it is left until it
    // goes and comes back again.
    static constexpr int kDeviceWatchIntervalMs = 250;
    static constexpr int kReopenTries = 4;

    explicit BoardPanel(SerialPort &port, QObject *parent = nullptr);

    // The board's state. Only the panel changes it, save tests that put the
    // panel into a given state.
    const BoardState &state() const { return m_state; }
    BoardState &state() { return m_state; }
    // The port the panel drives, for views that name its devices.
    const SerialPort &port() const { return m_port; }

    // Problems found in the operator's port settings `file`, shown with the
    // outcome of the port search at start-up. Called before startUp.
    void setPortSettingsProblems(const QString &file, const QStringList &problems);

    // Start-up (before a window on the panel is first shown; it starts the
    // interpretation timer), the window is being closed (never refused),
    // File > Exit was chosen. Both ends close the port and raise programEnded.
    void startUp();
    void shutDown();
    void exitProgram();

    // Operator buttons.
    void startMeasurement();
    void startManometer();
    void startLeakTest();
    void breakOperation();
    void togglePatient();
    // Adult or neonate mode whatever the state shows: its command is sent
    // even when the field reads it already (the board may have been set
    // otherwise), then the field shows it. Only in IDLE, as the toggle. A
    // test plan's run starts with one, so its trace holds the mode.
    void setAdult();
    void setNeonate();
    void readStatus();
    void stepPumpUp();
    void stepCycle();

    // The Port menu entry of port number 1..8 was chosen. Choosing another
    // port than a lost one ends the device watch; the lost one opened by hand
    // ends it too, and is opened as any other choice is.
    void choosePort(int port);
    // The Port menu is about to open: entries disabled at start-up because
    // their device was missing become enabled once it has appeared. Looks for the devices without
    // opening them, and never at the devices of enabled entries.
    void recheckMissingPorts();

    // Sends one command frame, piece by piece. False, with the failure
    // reported, when a write failed; bytes already handed over stay sent.
    bool sendCommand(const QString &text);

    // Bytes arrived at the port; the interpretation tick, which the timer
    // runs and tests may run by hand.
    void readArrivedBytes();
    void interpretLatestLine();
    // The port's device went away and the port closed: what ran is over, no
    // entry stays checked and the loss is shown once, like any other failure.
    // The device watch starts.
    void reportLostDevice(const QString &reason);
    // One look of the device watch, which its timer runs while a loss is
    // pending and tests may run by hand: the lost port is opened again when
    // its device, gone since the loss, is there again.
    void lookForLostDevice();
    // The port whose lost device the watch looks for; 0 when no loss is pending.
    int lostPort() const { return m_lostPort; }

    // True when the operating state is IDLE.
    bool isIdle() const;

    // What the panel keeps beside its BoardState, read-only.
    quint8 selectedPort() const { return m_selectedPort; }
    quint8 cycleIndex() const { return m_cycleIndex; }
    quint8 pumpUpIndex() const { return m_pumpUpIndex; }
    qint16 cuffPressure() const { return m_cuffPressure; }
    bool lineComplete() const { return m_assembler.lineComplete(); }
    const QByteArray &receiveBuffer() const { return m_assembler.buffer(); }

signals:
    // A tick has just shown the end of a measurement: a result line, or a
    // pressure line whose pressure is "999". Raised on the first tick that
    // interprets a line the assembler completed, never again for the same
    // line however many ticks follow; two equal lines the board sends one
    // after the other are raised twice.
    void measurementEnded(const MeasurementEnd &end);
    // A tick has begun; the latest line is interpreted right after.
    void tickStarted();
    // The exit sequence has run: the program is to end now.
    void programEnded();

private:
    // Why one port failed during the search at start-up.
    struct PortTrouble
    {
        int port = 0;
        Failure failure;
    };

    quint8 findPort();
    bool openPort(int port);
    void clearPortChecks();
    bool sendStartUpFrames();
    bool startBoard(bool linkUp);
    void showStartUpSettings();
    void endRunAtLoss();
    void watchLostDevice(int port);
    void stopDeviceWatch();
    void reopenLostPort();
    QString noPortNotice() const;
    void reportPortSettingsProblems();

    void exitSequence();
    void runPressureLine(const BoardReply &reply);
    void runResultLine(const BoardReply &reply);
    void noteInterpretedLine(const BoardReply &reply);
    MeasurementEnd measurementEnd(const BoardReply &reply) const;
    void setPatient(const char *command, const char *text);
    void stepSetting(quint8 &index, const SettingTable::Entry *table, std::size_t size,
                     BoardState::Field field);

    SerialPort &m_port;
    BoardState m_state;
    QTimer *m_interpretTimer;
    QTimer *m_deviceWatch;
    ReplyAssembler m_assembler;
    quint8 m_selectedPort = 0;
    quint8 m_cycleIndex = 0;
    quint8 m_pumpUpIndex = 0;
    qint16 m_cuffPressure = 0;
    quint64 m_linesCompleted = 0;     // lines the assembler has completed
    quint64 m_linesInterpreted = 0;   // of them, the last a tick interpreted
    QList<PortTrouble> m_portTrouble; // filled by findPort
    unsigned m_recheck = 0;           // bit n-1: entry n's device was missing at start-up, still is
    bool m_startUpFramesOwed = false; // start-up opened no port, so sent no frames
    int m_lostPort = 0;               // the port the device watch is for
    int m_reopenTriesLeft = 0;        // 0: the lost device has not been gone since
    QString m_settingsFile;
    QStringList m_settingsProblems;
};
