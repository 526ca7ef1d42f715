// SPDX-License-Identifier: MIT
#include "page_flow.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextTable>

#include <cmath>

namespace {

constexpr double kPageWidthMm = 210.0 - 2 * 15.0;
constexpr double kPageHeightMm = 297.0 - 2 * 15.0;
constexpr double kFooterGapMm = 3.0; // between the last line and the footer's rule
constexpr double kFooterPoints = 7.5;
constexpr double kKeepMm = 30.0; // a heading needs this much room below it
const QColor kText(0x20, 0x20, 0x20);
const QColor kGrey(0x60, 0x60, 0x60);
const QColor kRule(0xb0, 0xb0, 0xb0);
const QColor kHeaderFill(0xe8, 0xec, 0xf2);
const QColor kHeading(0x1a, 0x3a, 0x6a);

bool reorders(char16_t c)
{
    // Arabic letter mark, LRM and RLM, the embeddings and overrides, the isolates.
    return c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069);
}

QTextOption wrapping(Qt::Alignment align = Qt::AlignLeft)
{
    QTextOption option(align);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// The layout takes the lengths of its formats (margins, padding, borders,
// column widths) as at the screen's resolution and scales them to the
// device; measured here, once.
double layoutScale(QPaintDevice &device)
{
    QTextDocument probe;
    probe.documentLayout()->setPaintDevice(&device);
    probe.setDocumentMargin(0);
    const double without = probe.documentLayout()->documentSize().height();
    probe.setDocumentMargin(100);
    const double with = probe.documentLayout()->documentSize().height();
    return with > without ? (with - without) / 200 : 1.0;
}

QString pageText(int page, int pages)
{
    return QStringLiteral("Page %1 of %2").arg(page).arg(pages);
}

} // namespace

PageFlow::PageFlow(QPdfWriter &writer)
    : m_writer(writer)
    , m_cursor(&m_document)
    , m_charts(new ChartObject(&m_document))
    , m_scale(layoutScale(writer))
{
    // The layout is made when the document is printed: made now, it would
    // lay the document out again after every insertion.
    m_document.setDocumentMargin(0);
    m_document.setDefaultFont(font(9));
    m_document.setDefaultTextOption(wrapping());
    m_document.setUndoRedoEnabled(false);
}

double PageFlow::width()
{
    return kPageWidthMm;
}

double PageFlow::mm(double millimetres) const
{
    return millimetres * m_writer.resolution() / 25.4;
}

double PageFlow::length(double millimetres) const
{
    return mm(millimetres) / m_scale;
}

QFont PageFlow::font(double points, bool bold)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QString PageFlow::printable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            out += QLatin1Char(' ');
        else if (c.category() != QChar::Other_Control && !reorders(c.unicode()))
            out += c;
    }
    return out;
}

void PageFlow::block(const QTextBlockFormat &format, const QTextCharFormat &chars)
{
    // The empty block a new document or a table leaves is used, not skipped.
    if (m_cursor.block().length() <= 1) {
        m_cursor.setBlockFormat(format);
        m_cursor.setBlockCharFormat(chars);
        m_cursor.setCharFormat(chars);
    } else {
        m_cursor.insertBlock(format, chars);
    }
}

void PageFlow::heading(const QString &text)
{
    QTextBlockFormat format;
    format.setTopMargin(length(5));
    format.setBottomMargin(length(2.5));
    format.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                       QTextLength(QTextLength::PercentageLength, 100));
    QTextCharFormat chars;
    chars.setFont(font(13, true));
    chars.setForeground(kHeading);
    block(format, chars);
    m_headings.append(m_cursor.block().position());
    m_cursor.insertText(printable(text), chars);
}

void PageFlow::subheading(const QString &text)
{
    QTextBlockFormat format;
    format.setTopMargin(length(3));
    format.setBottomMargin(length(1.5));
    QTextCharFormat chars;
    chars.setFont(font(10.5, true));
    chars.setForeground(kText);
    block(format, chars);
    m_headings.append(m_cursor.block().position());
    m_cursor.insertText(printable(text), chars);
}

void PageFlow::paragraph(const QString &text, double points, QColor colour)
{
    QTextBlockFormat format;
    format.setTopMargin(length(0.5));
    format.setBottomMargin(length(1.5));
    QTextCharFormat chars;
    chars.setFont(font(points));
    chars.setForeground(colour);
    block(format, chars);
    m_cursor.insertText(printable(text), chars);
}

void PageFlow::box(double height, ChartObject::Draw draw)
{
    QTextBlockFormat format;
    format.setTopMargin(length(1));
    format.setBottomMargin(length(2));
    QTextCharFormat chars;
    chars.setFont(font(2)); // the line is as high as the box, not more
    block(format, chars);
    m_cursor.insertText(QString(QChar::ObjectReplacementCharacter),
                        m_charts->add(QSizeF(mm(kPageWidthMm), mm(height)), std::move(draw)));
}

void PageFlow::table(const QList<Column> &columns, const QList<QList<Cell>> &rows, bool ruled)
{
    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(length(ruled ? 1.0 : 0.8));
    format.setHeaderRowCount(ruled ? 1 : 0);
    QList<QTextLength> widths;
    for (const Column &column : columns)
        widths.append(QTextLength(QTextLength::FixedLength, length(column.width)));
    format.setColumnWidthConstraints(widths);
    format.setAlignment(Qt::AlignLeft);
    const int header = ruled ? 1 : 0;
    QTextTable *table = m_cursor.insertTable(rows.size() + header, columns.size(), format);
    for (int c = 0; c < columns.size(); ++c) {
        if (ruled)
            fillCell(*table, 0, c, Cell{columns.at(c).title, kHeaderFill, true}, columns.at(c),
                     true, true);
        for (int r = 0; r < rows.size(); ++r)
            fillCell(*table, r + header, c, c < rows.at(r).size() ? rows.at(r).at(c) : Cell(),
                     columns.at(c), ruled, false);
    }
    m_cursor.movePosition(QTextCursor::End);
    spaceBelowTable();
}

void PageFlow::spaceBelowTable()
{
    // The room below a table is a line of its own, not the table's bottom
    // margin: the layout placed a box that follows a table whose margin
    // reached a page's foot across the page's edge, drawn cut on both pages.
    QTextBlockFormat format;
    format.setBottomMargin(length(2));
    QTextCharFormat chars;
    chars.setFont(font(1));
    m_cursor.setBlockFormat(format);
    m_cursor.setBlockCharFormat(chars);
    m_cursor.insertText(QStringLiteral(" "), chars);
}

void PageFlow::fillCell(QTextTable &table, int row, int column, const Cell &cell,
                        const Column &layout, bool ruled, bool header)
{
    QTextTableCell place = table.cellAt(row, column);
    QTextTableCellFormat format = place.format().toTableCellFormat();
    if (cell.fill.isValid())
        format.setBackground(cell.fill);
    format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    if (ruled) {
        format.setBottomBorder(length(header ? 0.3 : 0.12));
        format.setBottomBorderBrush(kRule);
        format.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    }
    place.setFormat(format);
    QTextCursor cursor = place.firstCursorPosition();
    QTextBlockFormat align;
    align.setAlignment(layout.align);
    cursor.setBlockFormat(align);
    QTextCharFormat chars;
    chars.setFont(font(cell.points > 0 ? cell.points : 8.5, cell.bold));
    chars.setForeground(cell.ink.isValid() ? cell.ink : kText);
    cursor.insertText(printable(cell.text), chars);
}

double PageFlow::footerHeight(QPainter &painter, const QString &footer) const
{
    painter.setFont(font(kFooterPoints));
    const double number =
        painter.boundingRect(QRectF(), Qt::AlignLeft, pageText(88888, 88888)).width();
    const QRectF room(0, 0, mm(kPageWidthMm) - number - mm(4), 1e7);
    return painter.boundingRect(room, footer, wrapping()).height() + mm(1.2);
}

int PageFlow::print(QPainter &painter, const QString &footerText)
{
    const QString footer = printable(footerText);
    const double footerTop = mm(kPageHeightMm) - footerHeight(painter, footer);
    // Whole device units: a line the layout moves to the next page starts
    // exactly on the page's edge, not a rounding error above it (and so is
    // drawn on the one page only).
    const double pageHeight = std::floor(footerTop - mm(kFooterGapMm));
    m_document.documentLayout()->setPaintDevice(&m_writer);
    m_document.documentLayout()->registerHandler(ChartObject::kType, m_charts);
    m_document.setPageSize(QSizeF(mm(kPageWidthMm), pageHeight));
    keepHeadingsWithNext(pageHeight);
    const int pages = m_document.pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !m_writer.newPage())
            return -1;
        drawPage(painter, page, pageHeight);
        drawFooter(painter, footer, page + 1, pages, footerTop);
    }
    return pages;
}

void PageFlow::keepHeadingsWithNext(double pageHeight)
{
    // A heading at the foot of a page goes to the next with what follows it.
    QAbstractTextDocumentLayout *layout = m_document.documentLayout();
    bool moved = false;
    for (const int position : std::as_const(m_headings)) {
        const QTextBlock heading = m_document.findBlock(position);
        const QRectF rect = layout->blockBoundingRect(heading);
        const double pageTop = std::floor(rect.top() / pageHeight) * pageHeight;
        if (rect.top() - pageTop < mm(1) || pageTop + pageHeight - rect.bottom() >= mm(kKeepMm))
            continue;
        QTextBlockFormat format;
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(heading).mergeBlockFormat(format);
        moved = true;
    }
    // Laid out again from the start: drawing finds the blocks of a page by
    // positions the partial layouts above leave behind.
    if (moved)
        m_document.markContentsDirty(0, m_document.characterCount());
}

void PageFlow::drawPage(QPainter &painter, int page, double pageHeight)
{
    painter.save();
    const QRectF area(0, 0, mm(kPageWidthMm), pageHeight);
    painter.setClipRect(area);
    painter.translate(0, -page * pageHeight);
    QAbstractTextDocumentLayout::PaintContext context;
    // The layout draws a line that touches the clip: one starting on the
    // next page's edge would show at the foot of this page as well.
    context.clip = area.translated(0, page * pageHeight).adjusted(0, 0.5, 0, -0.5);
    context.palette.setColor(QPalette::Text, kText);
    context.palette.setColor(QPalette::Dark, kHeading);
    m_document.documentLayout()->draw(&painter, context);
    painter.restore();
}

void PageFlow::drawFooter(QPainter &painter, const QString &footer, int page, int pages,
                          double top) const
{
    painter.save();
    painter.setFont(font(kFooterPoints));
    painter.setPen(QPen(kRule, mm(0.2)));
    painter.drawLine(QPointF(0, top), QPointF(mm(kPageWidthMm), top));
    painter.setPen(kGrey);
    const QString number = pageText(page, pages);
    const double numberWidth = painter.boundingRect(QRectF(), Qt::AlignLeft, number).width();
    const QRectF area(0, top + mm(1.2), mm(kPageWidthMm), mm(kPageHeightMm) - top);
    painter.drawText(area, number, QTextOption(Qt::AlignRight | Qt::AlignTop));
    painter.drawText(area.adjusted(0, 0, -numberWidth - mm(4), 0), footer, wrapping());
    painter.restore();
}
