// SPDX-License-Identifier: MIT
#include "recording_display.h"

RecordingDisplay::RecordingDisplay(const BoardPanel &panel)
    : RecordingDisplay(panel.state())
{
    connect(&panel, &BoardPanel::programEnded, this, [this] {
        m_ended = true;
        m_log << QStringLiteral("end");
    });
}

RecordingDisplay::RecordingDisplay(const BoardState &state)
    : m_state(state)
{
    connect(&state, &BoardState::textChanged, this, [this](Field field, const QString &text) {
        m_log << name(field) + QLatin1Char('=') + text;
    });
    connect(&state, &BoardState::captionChanged, this,
            [this](const QString &caption) { m_log << QStringLiteral("caption=") + caption; });
    connect(&state, &BoardState::barChanged, this,
            [this](int value) { m_log << QStringLiteral("bar=%1").arg(value); });
    connect(&state, &BoardState::portEntryEnabledChanged, this, [this](int port, bool enabled) {
        m_log << QStringLiteral("enabled %1=%2").arg(port).arg(int(enabled));
    });
    connect(&state, &BoardState::portEntryCheckedChanged, this, [this](int port, bool checked) {
        m_log << QStringLiteral("checked %1=%2").arg(port).arg(int(checked));
    });
    connect(&state, &BoardState::failureChanged, this, &RecordingDisplay::noteFailure);
    connect(&state, &BoardState::infoChanged, this, [this](const QString &notice) {
        if (!notice.isEmpty())
            m_infos << notice;
        m_log << (notice.isEmpty() ? QStringLiteral("info gone") : QStringLiteral("info"));
    });
}

void RecordingDisplay::noteFailure(const QString &notice)
{
    if (notice.isEmpty()) {
        m_log << QStringLiteral("withdrawn");
        return;
    }
    m_failures << notice;
    m_log << QStringLiteral("failure");
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
    for (int port = 1; port <= BoardState::kPortCount; ++port) {
        if (portEnabled(port))
            ports << port;
    }
    return ports;
}

QList<int> RecordingDisplay::checkedPorts() const
{
    QList<int> ports;
    for (int port = 1; port <= BoardState::kPortCount; ++port) {
        if (portChecked(port))
            ports << port;
    }
    return ports;
}
