// SPDX-License-Identifier: MIT
// The report's charts as objects in its QTextDocument: each is a box of a
// given size in the text, moved to the next page with the line it stands
// in, and drawn by its own function with the painter the document is
// printed with, so that it stays a vector drawing in the PDF.
#pragma once

#include <QObject>
#include <QSizeF>
#include <QTextObjectInterface>

#include <functional>
#include <vector>

class ChartObject : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    static constexpr int kType = QTextFormat::UserObject + 1;
    using Draw = std::function<void(QPainter &, const QRectF &)>;

    explicit ChartObject(QObject *parent = nullptr);

    // The format of a chart of `size` (document units) drawn by `draw`.
    QTextCharFormat add(const QSizeF &size, Draw draw);

    QSizeF intrinsicSize(QTextDocument *document, int position, const QTextFormat &format) override;
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *document, int position,
                    const QTextFormat &format) override;

private:
    std::vector<Draw> m_draws;
};
