// SPDX-License-Identifier: MIT
// What the panel logic needs of the window: set and read back the text of a
// display field, set a button caption, move the pressure bar, enable and
// check a port entry, report a failure to the operator and end the program.
// The main window implements it; tests use a recording stand-in.
#pragma once

#include <QString>

class PanelDisplay
{
public:
    enum class Field {
        OperatingState, // "IDLE", "MEASURE", "Manometer" or "Leak Test"
        CycleTime,
        Patient,
        PumpUp,
        Systolic,
        Diastolic,
        MeanPressure,
        PulseRate,
        ReplyLine // the last complete reply line
    };
    enum class Button { Start };

    virtual ~PanelDisplay() = default;

    virtual void setText(Field field, const QString &text) = 0;
    virtual QString text(Field field) const = 0;
    virtual void setCaption(Button button, const QString &caption) = 0;
    virtual void setBarValue(int value) = 0;
    // Port entries are numbered 1 to 8 ("COM1" .. "COM8").
    virtual void setPortEntryEnabled(int port, bool enabled) = 0;
    virtual void setPortEntryChecked(int port, bool checked) = 0;

    // A serial operation failed; `what` says what the program tried and why it
    // failed: a first line that stands on its own, then any details, one per
    // line. Called once per failed operation.
    virtual void reportFailure(const QString &what) = 0;
    // A failure reported before has mended: its notice goes if it is the one
    // shown. True when it was.
    virtual bool withdrawFailure(const QString &what) = 0;
    // Ends the program at once, every window with it.
    virtual void endProgram() = 0;
};
