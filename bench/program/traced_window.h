// SPDX-License-Identifier: MIT
// The program's main window with one addition for the whole-program benchmark:
// every change of the Map field's text is written to a TraceLog, with the
// monotonic time at which the field took the new text. Each call is passed on
// to MainWindow first, so the window behaves exactly as in the program; calls made
// during construction (the start-up sequence) reach MainWindow alone.
#pragma once

#include "main_window.h"

class TraceLog;

class TracedWindow : public MainWindow
{
    Q_OBJECT

public:
    TracedWindow(SerialPort &port, TraceLog &log);

    void setText(Field field, const QString &text) override;

private:
    TraceLog &m_log;
};
