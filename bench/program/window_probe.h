// SPDX-License-Identifier: MIT
// Watches the launcher's main window from outside: writes "expose" when the
// window system first shows it, "shown" once that first frame has been
// painted and handed over (at the next turn of the event loop), and "paint"
// each time the Map field starts to repaint. With exitWhenShown the event
// loop ends after "shown", for start-up measurements.
#pragma once

#include <QObject>

class QWidget;
class TraceLog;

class WindowProbe : public QObject
{
    Q_OBJECT

public:
    WindowProbe(QWidget &window, TraceLog &log, bool exitWhenShown, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onShown();

    QWidget &m_window;
    QWidget *m_map = nullptr;
    TraceLog &m_log;
    bool m_exitWhenShown;
    bool m_exposed = false;
};
