// SPDX-License-Identifier: MIT
// The report's charts, drawn with QPainter into a box: the leak test (the
// whole stretch, and its window with the fitted line; the readings left out
// of the fit marked ×), the series of systolic and diastolic values against
// the set point and its band (a long series as the range of each group of
// measurements), and the cuff-pressure curve of one measurement. `unit` is
// device units per mm.
#pragma once

#include "check_report.h"

#include <QRectF>

class QPainter;

class ReportCharts
{
public:
    static void leakStretch(QPainter &painter, const QRectF &box, double unit,
                            const CheckReport::LeakTest &test);
    // `limit` is the largest leak rate, for the decimals of the fit's rate.
    static void leakWindow(QPainter &painter, const QRectF &box, double unit,
                           const CheckReport::LeakTest &test, double limit);
    static void series(QPainter &painter, const QRectF &box, double unit,
                       const CheckReport::Measurements &measurements,
                       const std::optional<SetPoint> &setPoint, double band);
    static void curve(QPainter &painter, const QRectF &box, double unit,
                      const CheckReport::Measurement &measurement, int number);
};
