// SPDX-License-Identifier: MIT
#include "chart_object.h"

#include <QPainter>
#include <QTextCharFormat>

namespace {
constexpr int kIndex = QTextFormat::UserProperty + 1;
constexpr int kSize = QTextFormat::UserProperty + 2;
} // namespace

ChartObject::ChartObject(QObject *parent)
    : QObject(parent)
{}

QTextCharFormat ChartObject::add(const QSizeF &size, Draw draw)
{
    QTextCharFormat format;
    format.setObjectType(kType);
    format.setProperty(kIndex, int(m_draws.size()));
    format.setProperty(kSize, size);
    m_draws.push_back(std::move(draw));
    return format;
}

QSizeF ChartObject::intrinsicSize(QTextDocument *, int, const QTextFormat &format)
{
    return format.property(kSize).toSizeF();
}

void ChartObject::drawObject(QPainter *painter, const QRectF &rect, QTextDocument *, int,
                             const QTextFormat &format)
{
    const int index = format.property(kIndex).toInt();
    if (index < 0 || index >= int(m_draws.size()))
        return;
    painter->save();
    m_draws[index](*painter, rect);
    painter->restore();
}
