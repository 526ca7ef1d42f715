// SPDX-License-Identifier: MIT
// The badge's colours come from the verdict palette, which keeps a contrast of
// at least 4.5 between text and background, so the verdict reads under bench
// lighting and in grey print.
#include "verdict_badge.h"

#include "ui_fonts.h"
#include "verdict_palette.h"

#include <QColor>

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
    const VerdictPalette::Colours colours = VerdictPalette::of(verdict);
    setStyleSheet(
        QStringLiteral("QLabel { color: %1; background: %2; border-radius: 3px; "
                       "padding: 2px 8px; }")
            .arg(QColor(QRgb(colours.badgeText)).name(), QColor(QRgb(colours.badge)).name()));
    QLabel::setText(text(verdict));
    setToolTip(verdict == Verdict::None ? tr("no verdict yet") : verdictName(verdict));
}
