// SPDX-License-Identifier: MIT
// The panel logic (BoardPanel) as a PtyBench, without a window: the controls
// are the panel's handlers and what the operator would see is read from the
// panel's state, whose changes a recorder logs. The panel's own tick is
// scaled like the boards' clock, so the boards can run faster than they can
// under the window.
#pragma once

#include "board_panel.h"
#include "pty_bench.h"
#include "recording_display.h"

class PanelBench : public PtyBench
{
public:
    // The boards run this many times faster than Setup::timeScale says.
    static constexpr double kFaster = 5.0;

    explicit PanelBench(const Setup &setup);
    ~PanelBench() override;

    void start() override;

    const BoardPanel &panel() const override { return m_panel; }
    QString text(BoardState::Field field) const override { return m_display.text(field); }
    int barValue() const override { return m_display.barValue(); }
    void press(Control control) override;
    void choosePort(int port) override { m_panel.choosePort(port); }
    void openPortMenu() override { m_panel.recheckMissingPorts(); }
    QList<int> enabledPorts() const override { return m_display.enabledPorts(); }
    QList<int> checkedPorts() const override { return m_display.checkedPorts(); }
    QString portEntryDevice(int port) override;
    QStringList failures() const override { return m_display.failures(); }
    QString failureNotice() const override { return m_display.shownFailure(); }
    int quietMs() const override { return 200; }
    QStringList log() const override { return m_display.log(); }
    void clearLog() override { m_display.clearLog(); }

private:
    // Members go in reverse order: the recorder before the panel, the panel
    // (with its timer) before the port and the boards.
    BoardPanel m_panel;
    RecordingDisplay m_display;
};
