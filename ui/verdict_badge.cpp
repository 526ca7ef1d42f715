// SPDX-License-Identifier: MIT
// The badge's colours reach a contrast of at least 4.5 between text and
// background, so the verdict reads under bench lighting and in grey print.
#include "verdict_badge.h"

#include "ui_fonts.h"

VerdictBadge::VerdictBadge(QWidget *parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(UiFonts::sans(10, true));
    setMinimumWidth(fontMetrics().horizontalAdvance(text(Verdict::Incomplete)) + 16);
    setVerdict(Verdict::None);
}

QString VerdictBadge::text(Verdict verdict)
{
    return verdict == Verdict::None ? QStringLiteral("\u2014") : verdictName(verdict).toUpper();
}

void VerdictBadge::setVerdict(Verdict verdict)
{
    if (verdict == m_verdict)
        return;
    m_verdict = verdict;
    const char *colours = "color: #555555; background: #e6e6e6;";
    if (verdict == Verdict::Pass)
        colours = "color: white; background: #1b6e2a;";
    else if (verdict == Verdict::Fail)
        colours = "color: white; background: #b3261e;";
    else if (verdict == Verdict::Incomplete)
        colours = "color: black; background: #f2b400;";
    setStyleSheet(QStringLiteral("QLabel { %1 border-radius: 3px; padding: 2px 8px; }")
                      .arg(QLatin1String(colours)));
    QLabel::setText(text(verdict));
    setToolTip(verdict == Verdict::None ? tr("no verdict yet") : verdictName(verdict));
}
