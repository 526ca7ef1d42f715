// SPDX-License-Identifier: MIT
// Lays the report out on the A4 pages of a QPdfWriter with Qt's rich-text
// layout: the report is built top to bottom as a QTextDocument (headings,
// text, tables whose cells wrap and whose header row is repeated on each
// page, and boxes that a chart function draws into), then printed page by
// page with a running footer below every page: the footer's text (board,
// session date), wrapped when long, and "Page n of m". Nothing is cut and
// nothing is drawn over the footer: the document's pages end above it.
// Every text that goes in is made printable first: control characters and
// the characters that reorder text (bidirectional overrides, embeddings,
// isolates, marks) are removed. Lengths are millimetres; the document works
// in the writer's device units.
#pragma once

#include "chart_object.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QTextCursor>
#include <QTextDocument>

class QPainter;
class QPdfWriter;
class QTextTable;

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
        double points = 0;     // 0: the table's size
        QColor ink = QColor(); // invalid: the text colour
    };

    // The writer's resolution and page are set before.
    explicit PageFlow(QPdfWriter &writer);

    // The width of the text on the page, in mm.
    static double width();
    double mm(double millimetres) const;
    static QFont font(double points, bool bold = false);
    // `text` without control characters and without the characters that
    // reorder text; line breaks and tabs become spaces.
    static QString printable(const QString &text);

    void heading(const QString &text);
    void subheading(const QString &text);
    void paragraph(const QString &text, double points = 9,
                   QColor colour = QColor(0x30, 0x30, 0x30));
    // A table; `ruled` tables have a header row (repeated on every page they
    // run over) and a rule under each row, the others neither.
    void table(const QList<Column> &columns, const QList<QList<Cell>> &rows, bool ruled = true);
    // A box of `height` mm across the page that `draw` paints (device units).
    void box(double height, ChartObject::Draw draw);

    // Prints the document page by page with `footer` below each; returns the
    // number of pages, or -1 when the writer failed.
    int print(QPainter &painter, const QString &footer);

private:
    // `millimetres` as a length of a text format.
    double length(double millimetres) const;
    void block(const QTextBlockFormat &format, const QTextCharFormat &chars);
    void spaceBelowTable();
    void fillCell(QTextTable &table, int row, int column, const Cell &cell, const Column &layout,
                  bool ruled, bool header);
    double footerHeight(QPainter &painter, const QString &footer) const;
    void keepHeadingsWithNext(double pageHeight);
    void drawPage(QPainter &painter, int page, double pageHeight);
    void drawFooter(QPainter &painter, const QString &footer, int page, int pages,
                    double top) const;

    QPdfWriter &m_writer;
    QTextDocument m_document;
    QTextCursor m_cursor;
    ChartObject *m_charts;
    double m_scale;        // device units per unit of a format's length
    QList<int> m_headings; // positions of the heading blocks
};
