// SPDX-License-Identifier: MIT
#include "page_flow.h"

#include <QPainter>
#include <QPdfWriter>

#include <utility>

namespace {
constexpr double kPageHeightMm = 297.0 - 2 * 15.0;
constexpr double kFooterMm = 8.0;
constexpr double kRowMm = 5.6;
const QColor kText(0x20, 0x20, 0x20);
const QColor kRule(0xb0, 0xb0, 0xb0);
const QColor kHeaderFill(0xe8, 0xec, 0xf2);
} // namespace

PageFlow::PageFlow(QPdfWriter &writer, QPainter &painter, QString footer, int pageCount)
    : m_writer(writer)
    , m_painter(painter)
    , m_footer(std::move(footer))
    , m_pageCount(pageCount)
{
    this->footer();
}

double PageFlow::mm(double millimetres) const
{
    return millimetres * m_writer.resolution() / 25.4;
}

double PageFlow::width() const
{
    return 210.0 - 2 * 15.0;
}

QFont PageFlow::font(double points, bool bold) const
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void PageFlow::need(double millimetres)
{
    if (m_y + millimetres > kPageHeightMm - kFooterMm)
        newPage();
}

void PageFlow::newPage()
{
    m_writer.newPage();
    ++m_page;
    m_y = 0;
    footer();
}

void PageFlow::footer()
{
    m_painter.save();
    m_painter.setFont(font(7.5));
    m_painter.setPen(QColor(0x60, 0x60, 0x60));
    const QRectF area(0, mm(kPageHeightMm - 5), mm(width()), mm(5));
    m_painter.setPen(QPen(kRule, mm(0.2)));
    m_painter.drawLine(area.topLeft(), area.topRight());
    m_painter.setPen(QColor(0x60, 0x60, 0x60));
    m_painter.drawText(area, Qt::AlignLeft | Qt::AlignBottom, m_footer);
    const QString page = m_pageCount > 0
                             ? QStringLiteral("Page %1 of %2").arg(m_page).arg(m_pageCount)
                             : QStringLiteral("Page %1").arg(m_page);
    m_painter.drawText(area, Qt::AlignRight | Qt::AlignBottom, page);
    m_painter.restore();
}

void PageFlow::heading(const QString &text)
{
    need(24); // a heading never stands alone at the foot of a page
    m_y += 4;
    m_painter.setFont(font(13, true));
    m_painter.setPen(QColor(0x1a, 0x3a, 0x6a));
    m_painter.drawText(QRectF(0, mm(m_y), mm(width()), mm(7)), Qt::AlignLeft | Qt::AlignBottom,
                       text);
    m_y += 7.5;
    m_painter.setPen(QPen(QColor(0x1a, 0x3a, 0x6a), mm(0.35)));
    m_painter.drawLine(QPointF(0, mm(m_y)), QPointF(mm(width()), mm(m_y)));
    m_y += 2.5;
}

void PageFlow::subheading(const QString &text)
{
    need(18);
    m_y += 1.5;
    m_painter.setFont(font(10.5, true));
    m_painter.setPen(kText);
    m_painter.drawText(QRectF(0, mm(m_y), mm(width()), mm(5.5)), Qt::AlignLeft | Qt::AlignBottom,
                       text);
    m_y += 7;
}

void PageFlow::paragraph(const QString &text, double points, QColor colour)
{
    m_painter.setFont(font(points));
    const QRectF room(0, 0, mm(width()), mm(kPageHeightMm));
    const QRectF used =
        m_painter.boundingRect(room, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    const double height = used.height() * 25.4 / m_writer.resolution();
    need(height + 1);
    m_painter.setPen(colour);
    m_painter.drawText(QRectF(0, mm(m_y), mm(width()), mm(height + 1)),
                       Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    m_y += height + 1.5;
}

void PageFlow::space(double millimetres)
{
    m_y += millimetres;
}

void PageFlow::table(const QList<Column> &columns, const QList<QList<Cell>> &rows)
{
    need(2 * kRowMm + 1);
    tableRow(columns, {}, true);
    for (const QList<Cell> &row : rows) {
        if (m_y + kRowMm > kPageHeightMm - kFooterMm) {
            newPage();
            tableRow(columns, {}, true);
        }
        tableRow(columns, row, false);
    }
    m_y += 2;
}

void PageFlow::tableRow(const QList<Column> &columns, const QList<Cell> &cells, bool header)
{
    double x = 0;
    const double top = m_y;
    for (int i = 0; i < columns.size(); ++i) {
        const Column &column = columns.at(i);
        const QRectF cell(mm(x), mm(top), mm(column.width), mm(kRowMm));
        const Cell content = header ? Cell{column.title, kHeaderFill, true}
                                    : (i < cells.size() ? cells.at(i) : Cell());
        if (content.fill.isValid())
            m_painter.fillRect(cell, content.fill);
        m_painter.setFont(font(8.5, content.bold));
        m_painter.setPen(kText);
        m_painter.drawText(cell.adjusted(mm(1.2), 0, -mm(1.2), 0), column.align | Qt::AlignVCenter,
                           content.text);
        x += column.width;
    }
    m_painter.setPen(QPen(kRule, mm(header ? 0.3 : 0.12)));
    m_painter.drawLine(QPointF(0, mm(top + kRowMm)), QPointF(mm(x), mm(top + kRowMm)));
    m_y += kRowMm;
}

void PageFlow::box(double height, const std::function<void(const QRectF &)> &draw)
{
    need(height + 2);
    m_painter.save();
    draw(QRectF(0, mm(m_y), mm(width()), mm(height)));
    m_painter.restore();
    m_y += height + 2;
}
