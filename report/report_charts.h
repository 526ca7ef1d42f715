// SPDX-License-Identifier: MIT
// The report's charts, drawn with QPainter into a box: the leak test (the
// whole stretch, and its window with the fitted line), the series of
// systolic and diastolic values against the set point and its band, and
// the cuff-pressure curve of one measurement. `unit` is device units per mm.
#pragma once

#include "check_report.h"

#include <QRectF>

class QPainter;

class ReportCharts
{
public:
    static void leakStretch(QPainter &painter, const QRectF &box, double unit,
                            const CheckReport::LeakTest &test);
    static void leakWindow(QPainter &painter, const QRectF &box, double unit,
                           const CheckReport::LeakTest &test);
    static void series(QPainter &painter, const QRectF &box, double unit,
                       const CheckReport::Measurements &measurements,
                       const std::optional<SetPoint> &setPoint, double band);
    static void curve(QPainter &painter, const QRectF &box, double unit,
                      const CheckReport::Measurement &measurement, int number);
};
