// SPDX-License-Identifier: MIT
// A bench that drives the panel logic on the real serial port class against
// simulated boards behind pseudo-terminals (PtyRig), the way an operator
// would: press a control, choose a port entry, open the Port menu, and read
// the fields, the pressure bar, the port entries and the failure notice. Two
// benches implement it: the real main window on the panel logic
// (WindowBench) and the panel logic alone, read from its state (PanelBench).
// A test executable is built with one of them; create() makes that one, so
// the same scenarios run against both.
//
// After each interpretation tick the bench notes what the fields show, so a
// scenario can follow a measurement the way the operator saw it; and it logs
// every field text and bar value the panel logic sets, in order.
#pragma once

#include "board_panel.h"
#include "board_state.h"
#include "pty_rig.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class PtyBench : public QObject
{
public:
    // The operator's controls: the eight buttons.
    enum class Control { Start, Manometer, LeakTest, Break, Patient, ReadStatus, PumpUp, Cycle };

    struct Setup
    {
        QList<int> boards;
        // How much faster than real time the boards run, for a bench whose
        // tick is the window's fixed 150 ms; a bench whose tick keeps pace
        // with the boards' clock runs them faster still.
        double timeScale = 20.0;
        double failureRate = 0.0;
        // A port settings file laid over the boards' terminals, or none.
        QString portSettings = QString();
    };

    // What the fields showed right after one interpretation tick.
    struct Tick
    {
        QString map;
        QString sys;
        QString state;
        int bar = 0;
    };

    // The bench this test executable is built with, its boards created and
    // not yet started.
    static std::unique_ptr<PtyBench> create(const Setup &setup);
    ~PtyBench() override = default;

    // Runs the panel's start-up and starts the boards' clocks and the tick.
    virtual void start() = 0;

    virtual const BoardPanel &panel() const = 0;
    virtual QString text(BoardState::Field field) const = 0;
    virtual int barValue() const = 0;
    virtual void press(Control control) = 0;
    virtual void choosePort(int port) = 0;
    virtual void openPortMenu() = 0;
    // The port entries enabled and checked, in order.
    virtual QList<int> enabledPorts() const = 0;
    virtual QList<int> checkedPorts() const = 0;
    // The device the entry of `port` stands for.
    virtual QString portEntryDevice(int port) = 0;
    // Every failure notice shown to the operator, and the one shown now (a
    // port opened since clears it).
    virtual QStringList failures() const = 0;
    virtual QString failureNotice() const = 0;
    // A span of several ticks and many board steps, to see that nothing more
    // happens.
    virtual int quietMs() const = 0;
    // What the panel logic set since clearLog(), in order: "Field=text"
    // (named by RecordingDisplay::name), "bar=N" and the rest of the
    // recorder's log. The window bench logs from the end of start-up on.
    virtual QStringList log() const = 0;
    virtual void clearLog() = 0;

    SimulatedBoard &board(int port) { return m_rig.board(port); }
    PtyRig &rig() { return m_rig; }
    QList<Tick> ticks() const { return m_ticks; }
    void clearTicks() { m_ticks.clear(); }

    // Runs the event loop until done() holds; false after the bench's timeout.
    bool waitFor(const std::function<bool()> &done, int timeoutMs = 0) const;
    static void run(int ms) { PtyRig::run(ms); }
    // Waits for the start-up frames on `port` and the reading of the board's
    // answer to their status request.
    bool waitForStartUp(int port);

protected:
    PtyBench(const Setup &setup, double timeScale, int timeoutMs, int pollMs);
    void noteTick();

private:
    PtyRig m_rig;
    QList<Tick> m_ticks;
    int m_timeoutMs;
    int m_pollMs;
};

Q_DECLARE_METATYPE(PtyBench::Control)
