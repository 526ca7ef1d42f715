// SPDX-License-Identifier: MIT
// The panel logic wired to an in-memory port and a recording display, the way
// most logic tests need it, plus helpers to build the bytes of frames and lines.
#pragma once

#include "board_panel.h"
#include "command_frame.h"
#include "memory_serial_port.h"
#include "recording_display.h"

#include <QStringList>

struct PanelFixture
{
    MemorySerialPort port;
    RecordingDisplay display;
    BoardPanel panel{port, display};

    // Runs start-up with only the given ports openable, then forgets what
    // start-up wrote and logged.
    void start(const QSet<int> &openable = {1})
    {
        port.setOnlyOpenable(openable);
        panel.startUp();
        port.clearWritten();
        port.clearOperations();
        display.clearLog();
    }

    void setState(const char *state)
    {
        display.setText(PanelDisplay::Field::OperatingState, QString::fromLatin1(state));
    }
    QString state() const { return display.text(PanelDisplay::Field::OperatingState); }
    QString field(PanelDisplay::Field f) const { return display.text(f); }

    // The board sends one reply line: STX, payload, CR.
    void receiveLine(const QByteArray &payload) { port.deliver('\x02' + payload + '\x0d'); }

    static QByteArray frames(const QStringList &texts)
    {
        QByteArray bytes;
        for (const QString &text : texts)
            bytes += CommandFrame::build(text);
        return bytes;
    }
};
