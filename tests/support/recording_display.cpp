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
    m_log << QStringLiteral("failure");
}

void RecordingDisplay::endProgram()
{
    m_ended = true;
    m_log << QStringLiteral("end");
}

QString RecordingDisplay::name(Field field)
{
    switch (field) {
    case Field::Label_Status:
        return QStringLiteral("Label_Status");
    case Field::Label_cycle:
        return QStringLiteral("Label_cycle");
    case Field::Label_Patient:
        return QStringLiteral("Label_Patient");
    case Field::Label_Pumpup:
        return QStringLiteral("Label_Pumpup");
    case Field::Sys:
        return QStringLiteral("Sys");
    case Field::Dia:
        return QStringLiteral("Dia");
    case Field::Map:
        return QStringLiteral("Map");
    case Field::Pulse:
        return QStringLiteral("Pulse");
    case Field::Label3:
        return QStringLiteral("Label3");
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
