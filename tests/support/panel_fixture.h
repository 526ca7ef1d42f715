// SPDX-License-Identifier: MIT
// The panel logic on an in-memory port with a recorder of its state, the way
// most logic tests need it, plus helpers to build the bytes of frames and lines.
// Its tests tick by hand: start() stops the panel's own timer.
#pragma once

#include "board_panel.h"
#include "command_frame.h"
#include "memory_serial_port.h"
#include "recording_display.h"

#include <QStringList>
#include <QTimer>

struct PanelFixture
{
    using Field = BoardState::Field;

    MemorySerialPort port;
    BoardPanel panel{port};
    RecordingDisplay display{panel};

    // Runs start-up with only the given ports openable, then stops the
    // interpretation timer and forgets what start-up wrote and logged.
    void start(const QSet<int> &openable = {1})
    {
        port.setOnlyOpenable(openable);
        panel.startUp();
        panel.findChild<QTimer *>(QStringLiteral("Val_Update"))->stop();
        port.clearWritten();
        port.clearOperations();
        display.clearLog();
    }

    // Puts the panel into an operating state, as a test may.
    void setState(const QString &state) { panel.state().setText(Field::OperatingState, state); }
    void setState(const char *state) { setState(QString::fromLatin1(state)); }
    QString state() const { return panel.state().text(Field::OperatingState); }
    QString field(Field f) const { return panel.state().text(f); }

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
