// SPDX-License-Identifier: MIT
#include "fitted_label.h"

#include "verdict_palette.h"

#include <QColor>
#include <QEvent>
#include <QTextLayout>

#include <optional>

namespace {

// `text` as it fits `lines` lines of `width` pixels in `font`, wrapped at
// spaces as a label wraps it; nothing when it fits as it is. What does not
// fit ends the last line with an ellipsis.
std::optional<QString> cutToLines(const QString &text, const QFont &font, int width, int lines)
{
    const QFontMetrics metrics(font);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList shown;
    bool fits = true;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (shown.size() == lines - 1) {
            const QString rest = text.mid(line.textStart());
            fits = fits && metrics.horizontalAdvance(rest) <= width;
            shown << metrics.elidedText(rest, Qt::ElideRight, width);
            break;
        }
        fits = fits && line.naturalTextWidth() <= width;
        shown << metrics.elidedText(text.mid(line.textStart(), line.textLength()).trimmed(),
                                    Qt::ElideRight, width);
    }
    layout.endLayout();
    if (fits)
        return std::nullopt;
    return shown.join(QLatin1Char('\n'));
}

} // namespace

FittedLabel::FittedLabel(int lines, const QString &text, QWidget *parent)
    : QLabel(parent)
    , m_lines(std::max(1, lines))
{
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setFullText(text);
}

void FittedLabel::setFullText(const QString &text)
{
    m_fullText = text;
    fit();
}

void FittedLabel::showNote(const QString &text, bool problem)
{
    const QString ink = QColor(QRgb(VerdictPalette::of(Verdict::Fail).ink)).name();
    setStyleSheet(problem ? QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(ink)
                          : QString());
    setFullText(text);
}

void FittedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fit();
}

void FittedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fit();
}

// As high as its lines in its font (a problem's bold font comes with its
// style); the whole text when it fits, else as much as does.
void FittedLabel::fit()
{
    ensurePolished();
    const QMargins margins = contentsMargins();
    setFixedHeight(m_lines * QFontMetrics(font()).lineSpacing() + margins.top() + margins.bottom());
    const int width = contentsRect().width();
    const std::optional<QString> cut =
        width > 0 ? cutToLines(m_fullText, font(), width, m_lines) : std::nullopt;
    QLabel::setText(cut.value_or(m_fullText));
    setToolTip(cut ? m_fullText : QString());
}
