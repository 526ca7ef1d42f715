// SPDX-License-Identifier: MIT
// The real main window (MainWindow) on the panel logic as a PtyBench:
// buttons clicked with the mouse, menu entries chosen, the Port menu opened,
// and the fields, bar and entries read from the window's widgets. The boards
// run faster than real time while the panel's interpretation timer reads
// their lines at its fixed pace; the bench notes each of its ticks. A
// recorder of the panel's state logs what the panel set and the failure
// notices shown.
#pragma once

#include "main_window.h"
#include "pty_bench.h"
#include "recording_display.h"

#include <memory>

class QAction;

class WindowBench : public PtyBench
{
public:
    explicit WindowBench(const Setup &setup);
    ~WindowBench() override;

    // Builds the panel and the window on it, runs the start-up and shows the
    // window.
    void start() override;

    const BoardPanel &panel() const override { return *m_panel; }
    // The field's label, as the operator sees it; the reply line as the
    // panel holds it (its label follows at the next tick).
    QString text(BoardState::Field field) const override;
    int barValue() const override;
    void press(Control control) override;
    void choosePort(int port) override;
    void openPortMenu() override;
    QList<int> enabledPorts() const override;
    QList<int> checkedPorts() const override;
    QString portEntryDevice(int port) override;
    QStringList failures() const override { return m_display->failures(); }
    QString failureNotice() const override;
    int quietMs() const override { return 3 * BoardPanel::kInterpretIntervalMs; }
    QStringList log() const override { return m_display->log(); }
    void clearLog() override { m_display->clearLog(); }

private:
    QAction *portEntry(int port) const;

    std::unique_ptr<BoardPanel> m_panel;
    std::unique_ptr<RecordingDisplay> m_display;
    std::unique_ptr<MainWindow> m_window;
};
