// SPDX-License-Identifier: MIT
// The program's main window with one addition for the whole-program benchmark:
// every change of the Map field's text is written to a TraceLog, with the
// monotonic time at which the field took the new text. It follows the panel's
// state after MainWindow does, so the window has shown each text before it is
// traced and behaves exactly as in the program.
#pragma once

#include "main_window.h"

class TraceLog;

class TracedWindow : public MainWindow
{
    Q_OBJECT

public:
    TracedWindow(BoardPanel &panel, TraceLog &log);

private:
    void traceMap(BoardState::Field field, const QString &text);

    TraceLog &m_log;
    QString m_map;
};
