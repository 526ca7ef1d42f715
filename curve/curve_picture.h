// SPDX-License-Identifier: MIT
// Draws measurement curves as a picture: one panel per measurement, at most a
// page of kPageSize measurements in a grid of up to three columns, each with the cuff pressure in
// mmHg over the seconds since the measurement began, START, Break, result and "999" as marked
// vertical lines, and the result values (or how it ended) written beside the curve. The curve is
// drawn as CurveLine draws it and the axes step as AxisStep says, as in the report's charts. Plain
// QPainter on a QImage: no widgets and no display are needed, only a QGuiApplication for the fonts
// (the offscreen platform does).
#pragma once

#include "measurement_curve.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

class CurvePicture
{
public:
    static constexpr int kMaxColumns = 3;
    static constexpr int kPageSize = 24;

    // The size of one panel when there are `count` measurements.
    static QSize panelSize(int count);
    // The picture of the first kPageSize of `curves`, numbered from
    // `firstNumber`; a picture saying "no measurement" when empty.
    static QImage render(const QList<MeasurementCurve> &curves, int firstNumber = 1);

private:
    static void drawPanel(class QPainter &painter, const QRect &area, const MeasurementCurve &curve,
                          int number);
};
