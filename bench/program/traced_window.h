// The program's main window with one addition for the whole-program benchmark:
// every change of the Map field's text is written to a TraceLog, with the
// monotonic time at which the field took the new text. Each call is passed on
// to Form1 first, so the window behaves exactly as in the program; calls made
// during construction (the start-up sequence) reach Form1 alone.
#pragma once

#include "form1.h"

class TraceLog;

class TracedWindow : public Form1
{
    Q_OBJECT

public:
    TracedWindow(SerialPort &port, TraceLog &log);

    void setText(Field field, const QString &text) override;

private:
    TraceLog &m_log;
};
