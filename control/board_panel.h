// The panel logic: start-up and exit, port selection, reply assembly, the
// interpretation of complete reply lines at each tick, and the eight operator
// commands with the operating state they move. It meets the window only
// through PanelDisplay and the device only through SerialPort, so it runs the same
// in the program, in tests and in tools.
//
// The operating state is the text of Label_Status and the last reply line the
// text of Label3; both are read back from the display, never shadowed here.
// Each handler runs to its end; a failing serial operation ends the handler at
// that step and is reported once through PanelDisplay::reportFailure.
//
// Port entries that fail at start-up are looked at again whenever the Port
// menu opens, so an adapter plugged in later can be chosen. When start-up
// opened no port, the first port opened from the menu gets the four start-up
// frames, so the board holds the defaults the window shows.
#pragma once

#include "panel_display.h"
#include "reply_assembler.h"
#include "serial_port.h"
#include "setting_table.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

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
    static constexpr const char *kStartCaption = "START";
    static constexpr const char *kLineSettings = "4800,n,8,1";
    static constexpr int kBarLimit = 300;

    BoardPanel(SerialPort &port, PanelDisplay &display, QObject *parent = nullptr);

    // Problems found in the operator's port settings `file`, shown with the
    // outcome of the port search at start-up. Called before Form_Load.
    void setPortSettingsProblems(const QString &file, const QStringList &problems);

    // Window events.
    void Form_Load();
    void Form_Unload(qint16 &cancel);
    void menEnde_Click();

    // Operator buttons.
    void StartStop_Click();
    void ManoMode_Click();
    void LeakTest_Click();
    void Break_Click();
    void Patientsel_Click();
    void Reset_Click();
    void PumpUp_Click();
    void SetCycle_Click();

    // Port menu entries.
    void setCOM1_Click() { setCOM_Click(1); }
    void setCOM2_Click() { setCOM_Click(2); }
    void setCOM3_Click() { setCOM_Click(3); }
    void setCOM4_Click() { setCOM_Click(4); }
    void setCOM5_Click() { setCOM_Click(5); }
    void setCOM6_Click() { setCOM_Click(6); }
    void setCOM7_Click() { setCOM_Click(7); }
    void setCOM8_Click() { setCOM_Click(8); }
    void setCOM_Click(int port);
    // The Port menu is about to open: entries disabled at start-up because
    // their device was missing become enabled once it has appeared. Looks for the devices without
    // opening them, and never at the devices of enabled entries.
    void menPort_AboutToShow();

    // Serial notification and the interpretation tick.
    void MSComm1_OnComm();
    void Val_Update_Timer();
    // The port's device went away and the port closed: no entry stays checked
    // and the loss is shown once, like any other failure. The port menu opens
    // it again once the device is back.
    void MSComm1_DeviceLost(const QString &reason);

    // Read-only view of the state the window does not show.
    quint8 selectedPort() const { return m_selectedPort; }
    quint8 cycleIndex() const { return m_cycleIndex; }
    quint8 pumpUpIndex() const { return m_pumpUpIndex; }
    qint16 cuffPressure() const { return m_cuffPressure; }
    qint16 lineComplete() const { return m_assembler.lineComplete(); }
    const QByteArray &receiveBuffer() const { return m_assembler.buffer(); }

signals:
    // A tick has just shown the end of a measurement: a result line, or a
    // pressure line whose pressure is "999". Raised on the first tick that
    // interprets a line the assembler completed, never again for the same
    // line however many ticks follow; two equal lines the board sends one
    // after the other are raised twice.
    void measurementEndShown(const QString &line);

private:
    // Why one port failed during the search at start-up.
    struct PortTrouble
    {
        int port = 0;
        OpenFailure kind = OpenFailure::Other;
        QString text;
    };

    bool SendCommand(const QString &text);
    quint8 FindPort();
    bool OpenPort(const quint8 &port);
    void ClearPortChecks();
    bool sendStartUpFrames();
    QString noPortNotice() const;
    void reportPortSettingsProblems();

    void exitSequence();
    bool isIdle() const;
    void runPressureLine(const QString &line);
    void runResultLine(const QString &line);
    void noteInterpretedLine(const QString &line);
    void stepSetting(quint8 &index, const SettingTable::Entry *table, std::size_t size,
                     PanelDisplay::Field field);

    SerialPort &m_port;
    PanelDisplay &m_display;
    ReplyAssembler m_assembler;
    QString m_stx;
    QString m_etx;
    quint8 m_selectedPort = 0;
    quint8 m_cycleIndex = 0;
    quint8 m_pumpUpIndex = 0;
    qint16 m_cuffPressure = 0;
    quint64 m_linesCompleted = 0;     // lines the assembler has completed
    quint64 m_linesInterpreted = 0;   // of them, the last a tick interpreted
    QList<PortTrouble> m_portTrouble; // filled by FindPort
    unsigned m_recheck = 0;           // bit n-1: entry n's device was missing at start-up, still is
    bool m_startUpFramesOwed = false; // start-up opened no port, so sent no frames
    QString m_settingsFile;
    QStringList m_settingsProblems;
};
