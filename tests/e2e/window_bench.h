// SPDX-License-Identifier: MIT
// The real main window (MainWindow) as a PtyBench: buttons clicked with the
// mouse, menu entries chosen, the Port menu opened. The boards run faster
// than real time while the window's own interpretation timer reads their
// lines at its fixed pace; the bench notes each of its ticks.
#pragma once

#include "main_window.h"
#include "pty_bench.h"

#include <memory>

class QAction;

class WindowBench : public PtyBench
{
public:
    explicit WindowBench(const Setup &setup);
    ~WindowBench() override;

    // Builds the window (which runs its start-up) and shows it.
    void start() override;

    const BoardPanel &panel() const override { return m_window->panel(); }
    QString text(PanelDisplay::Field field) const override { return m_window->text(field); }
    int barValue() const override;
    void press(Control control) override;
    void choosePort(int port) override;
    void openPortMenu() override;
    QList<int> enabledPorts() const override;
    QList<int> checkedPorts() const override;
    QString portEntryDevice(int port) override;
    QStringList failures() const override { return m_failures; }
    QString failureNotice() const override { return m_window->failureNotice(); }
    int quietMs() const override { return 3 * MainWindow::kInterpretIntervalMs; }
    QStringList log() const override { return m_window->log(); }
    void clearLog() override { m_window->clearLog(); }

private:
    // The main window, logging the panel logic's writes once it is built.
    class LoggingWindow : public MainWindow
    {
    public:
        using MainWindow::MainWindow;
        void setText(Field field, const QString &text) override;
        void setBarValue(int value) override;

        QStringList log() const { return m_log; }
        void clearLog() { m_log.clear(); }

    private:
        QStringList m_log;
    };

    QAction *portEntry(int port) const;

    std::unique_ptr<LoggingWindow> m_window;
    QStringList m_failures;
};
