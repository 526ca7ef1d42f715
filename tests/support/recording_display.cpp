// SPDX-License-Identifier: MIT
#include "recording_display.h"

void RecordingDisplay::setText(Field field, const QString &text)
{
    m_texts[field] = text;
    m_log << name(field) + QLatin1Char('=') + text;
}

void RecordingDisplay::setCaption(Button, const QString &caption)
{
    m_caption = caption;
    m_log << QStringLiteral("caption=") + caption;
}

void RecordingDisplay::setBarValue(int value)
{
    m_bar = value;
    m_log << QStringLiteral("bar=%1").arg(value);
}

void RecordingDisplay::setPortEntryEnabled(int port, bool enabled)
{
    m_enabled[port] = enabled;
    m_log << QStringLiteral("enabled %1=%2").arg(port).arg(int(enabled));
}

void RecordingDisplay::setPortEntryChecked(int port, bool checked)
{
    m_checked[port] = checked;
    m_log << QStringLiteral("checked %1=%2").arg(port).arg(int(checked));
}

void RecordingDisplay::reportFailure(const QString &what)
{
    m_failures << what;
    m_shown = what;
    m_log << QStringLiteral("failure");
}

bool RecordingDisplay::withdrawFailure(const QString &what)
{
    if (what != m_shown || what.isEmpty())
        return false;
    m_shown.clear();
    m_log << QStringLiteral("withdrawn");
    return true;
}

void RecordingDisplay::endProgram()
{
    m_ended = true;
    m_log << QStringLiteral("end");
}

QString RecordingDisplay::name(Field field)
{
    switch (field) {
    case Field::OperatingState:
        return QStringLiteral("OperatingState");
    case Field::CycleTime:
        return QStringLiteral("CycleTime");
    case Field::Patient:
        return QStringLiteral("Patient");
    case Field::PumpUp:
        return QStringLiteral("PumpUp");
    case Field::Systolic:
        return QStringLiteral("Systolic");
    case Field::Diastolic:
        return QStringLiteral("Diastolic");
    case Field::MeanPressure:
        return QStringLiteral("MeanPressure");
    case Field::PulseRate:
        return QStringLiteral("PulseRate");
    case Field::ReplyLine:
        return QStringLiteral("ReplyLine");
    }
    return {};
}

QList<int> RecordingDisplay::enabledPorts() const
{
    QList<int> ports;
    for (int port = 1; port <= 8; ++port) {
        if (portEnabled(port))
            ports << port;
    }
    return ports;
}

QList<int> RecordingDisplay::checkedPorts() const
{
    QList<int> ports;
    for (int port = 1; port <= 8; ++port) {
        if (portChecked(port))
            ports << port;
    }
    return ports;
}
