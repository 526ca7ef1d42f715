// SPDX-License-Identifier: MIT
// The History window's chart of the runs' figures over time, drawn with
// QPainter as vectors: above, each run's highest leak rate; below, its
// static error of largest size with its sign. A run whose report names its
// limits has them drawn beside its point, as a step line through the runs
// (the largest leak rate; the static error's largest size on either side of
// zero), and its point in the failure ink when it lies beyond them; a run
// without limits shows its value only. Time runs left to right from the
// first run to the last; each panel's scale holds its values, its limits
// and zero.
#pragma once

#include "run_figures.h"

#include <QList>
#include <QWidget>

#include <optional>

class QPainter;

class FigureChart : public QWidget
{
    Q_OBJECT

public:
    enum class Series { LeakRate, StaticError };

    explicit FigureChart(QWidget *parent = nullptr);

    void setFigures(const QList<RunFigures> &figures);
    // The points the series draws, and how many of them have their limit.
    int pointCount(Series series) const;
    int limitCount(Series series) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Point
    {
        qint64 ms;
        double value;
        std::optional<double> limit;
    };
    // How a panel maps times and values to pixels.
    struct Scale
    {
        QRectF plot;
        qint64 firstMs;
        qint64 lastMs;
        double low;
        double high;
        double x(qint64 ms) const;
        double y(double value) const;
    };

    const QList<Point> &points(Series series) const;
    Scale scaleOf(Series series, const QRectF &plot) const;
    void drawPanel(QPainter &painter, const QRect &area, Series series) const;
    void drawAxes(QPainter &painter, const Scale &scale, Series series) const;
    void drawLimits(QPainter &painter, const Scale &scale, const QList<Point> &points,
                    double sign) const;
    void drawPoints(QPainter &painter, const Scale &scale, Series series) const;
    void drawTimes(QPainter &painter, const Scale &scale) const;

    QList<Point> m_leak;
    QList<Point> m_static;
    qint64 m_firstMs = 0;
    qint64 m_lastMs = 0;
};
