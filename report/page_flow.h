// SPDX-License-Identifier: MIT
// Lays the report out on A4 pages of a QPdfWriter, top to bottom: headings,
// text, tables (which continue on the next page with their header row
// repeated) and boxes for charts, each moved to a new page when it does not
// fit. Every page carries a running footer (board, date, page n of m).
// Lengths are millimetres; the painter's device units are converted here.
#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>

class QPainter;
class QPdfWriter;

class PageFlow
{
public:
    struct Column
    {
        QString title;
        double width; // mm
        Qt::Alignment align = Qt::AlignLeft;
    };
    // A table cell with an optional background (a verdict's colour).
    struct Cell
    {
        QString text;
        QColor fill = QColor();
        bool bold = false;
    };

    PageFlow(QPdfWriter &writer, QPainter &painter, QString footer, int pageCount);

    double width() const;
    double mm(double millimetres) const;
    QFont font(double points, bool bold = false) const;
    QPainter &painter() { return m_painter; }
    int pages() const { return m_page; }

    void heading(const QString &text);
    void subheading(const QString &text);
    void paragraph(const QString &text, double points = 9,
                   QColor colour = QColor(0x30, 0x30, 0x30));
    void space(double millimetres);
    void table(const QList<Column> &columns, const QList<QList<Cell>> &rows);
    // A box of `height` mm across the page; `draw` paints into it (device units).
    void box(double height, const std::function<void(const QRectF &)> &draw);
    // Starts a new page unless this much room is left.
    void need(double millimetres);
    void newPage();

private:
    void footer();
    void tableRow(const QList<Column> &columns, const QList<Cell> &cells, bool header);

    QPdfWriter &m_writer;
    QPainter &m_painter;
    QString m_footer;
    int m_pageCount;
    int m_page = 1;
    double m_y = 0; // mm from the top of the printable area
};
