// SPDX-License-Identifier: MIT
#include "board_state.h"

BoardState::BoardState(QObject *parent)
    : QObject(parent)
    , m_caption(QString::fromLatin1(kStartCaption))
{
    for (const Field field :
         {Field::Systolic, Field::Diastolic, Field::MeanPressure, Field::PulseRate})
        m_texts[static_cast<std::size_t>(field)] = QString::fromLatin1(kNoValue);
    m_enabled.fill(true);
    m_checked[0] = true; // "COM1" is checked before the start-up looks for a port
}

QString BoardState::text(Field field) const
{
    return m_texts[static_cast<std::size_t>(field)];
}

void BoardState::setText(Field field, const QString &text)
{
    m_texts[static_cast<std::size_t>(field)] = text;
    emit textChanged(field, text);
}

void BoardState::setBarValue(int value)
{
    m_bar = value;
    emit barChanged(value);
}

void BoardState::setStartCaption(const QString &caption)
{
    m_caption = caption;
    emit captionChanged(caption);
}

bool BoardState::portEntryEnabled(int port) const
{
    return isPort(port) && m_enabled[static_cast<std::size_t>(port - 1)];
}

bool BoardState::portEntryChecked(int port) const
{
    return isPort(port) && m_checked[static_cast<std::size_t>(port - 1)];
}

void BoardState::setPortEntryEnabled(int port, bool enabled)
{
    if (!isPort(port))
        return;
    m_enabled[static_cast<std::size_t>(port - 1)] = enabled;
    emit portEntryEnabledChanged(port, enabled);
}

void BoardState::setPortEntryChecked(int port, bool checked)
{
    if (!isPort(port))
        return;
    m_checked[static_cast<std::size_t>(port - 1)] = checked;
    emit portEntryCheckedChanged(port, checked);
    // The panel checks an entry only once its port is open: the link works
    // again, so an earlier failure no longer stands, nor what was said about
    // the port before.
    if (checked) {
        clearFailure();
        clearInfo();
    }
}

// A failure stays until a newer one replaces it, it is withdrawn or a port
// opens. A report identical to the one shown (the "999" status request
// repeats every tick while the port fails) leaves it as it is.
void BoardState::reportFailure(const QString &what)
{
    if (what.isEmpty() || what == m_failure)
        return;
    clearInfo();
    m_failure = what;
    emit failureChanged(m_failure);
}

bool BoardState::withdrawFailure(const QString &what)
{
    if (what.isEmpty() || what != m_failure)
        return false;
    clearFailure();
    return true;
}

void BoardState::clearFailure()
{
    if (m_failure.isEmpty())
        return;
    m_failure.clear();
    emit failureChanged(QString());
}

// An information takes the failure's place: the notice shown is always the
// newest. One identical to the information shown leaves it as it is.
void BoardState::reportInfo(const QString &what)
{
    if (what.isEmpty() || what == m_info)
        return;
    clearFailure();
    m_info = what;
    emit infoChanged(m_info);
}

void BoardState::clearInfo()
{
    if (m_info.isEmpty())
        return;
    m_info.clear();
    emit infoChanged(QString());
}

void BoardState::setRunDriven(bool driven)
{
    m_runDriven = driven;
    emit runDrivenChanged(driven);
}
