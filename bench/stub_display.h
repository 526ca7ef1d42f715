// SPDX-License-Identifier: MIT
// A PanelDisplay for the micro-benchmarks: it keeps the last text of each field and
// the bar value, and counts failures, but records no history, so a benchmark
// measures the panel logic rather than the bookkeeping of a test double.
#pragma once

#include "panel_display.h"

#include <QString>

#include <array>

class StubDisplay : public PanelDisplay
{
public:
    void setText(Field field, const QString &text) override;
    QString text(Field field) const override;
    void setCaption(Button button, const QString &caption) override;
    void setBarValue(int value) override;
    void setPortEntryEnabled(int port, bool enabled) override;
    void setPortEntryChecked(int port, bool checked) override;
    void reportFailure(const QString &what) override;
    bool withdrawFailure(const QString &) override { return false; }
    void endProgram() override;

    int barValue() const { return m_bar; }
    int failures() const { return m_failures; }

private:
    static constexpr std::size_t kFieldCount = std::size_t(Field::ReplyLine) + 1;

    std::array<QString, kFieldCount> m_texts;
    int m_bar = 0;
    int m_failures = 0;
};
