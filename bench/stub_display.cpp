// SPDX-License-Identifier: MIT
#include "stub_display.h"

void StubDisplay::setText(Field field, const QString &text)
{
    m_texts[std::size_t(field)] = text;
}

QString StubDisplay::text(Field field) const
{
    return m_texts[std::size_t(field)];
}

void StubDisplay::setCaption(Button, const QString &) {}

void StubDisplay::setBarValue(int value)
{
    m_bar = value;
}

void StubDisplay::setPortEntryEnabled(int, bool) {}

void StubDisplay::setPortEntryChecked(int, bool) {}

void StubDisplay::reportFailure(const QString &)
{
    ++m_failures;
}

void StubDisplay::endProgram() {}
