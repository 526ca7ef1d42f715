// SPDX-License-Identifier: MIT
// The report of a bench check as a PDF on A4: a header (program and
// version, board, operator, reference instrument, date and time with its
// offset, port and device), the overall verdict and a summary table with a
// place to sign, then each check in detail (leak tests with their curves and
// fitted lines, static points sorted by reference, over-pressure per
// stretch, the measurements with their statistics, a chart against the set
// point and the pressure curve of each), and the limits used. QPdfWriter
// and QPainter only: no widgets, no display.
#pragma once

#include "check_report.h"

#include <QDateTime>
#include <QString>

class QIODevice;
class QPdfWriter;
class PageFlow;

class ReportPdf
{
public:
    // `made` is the time the report is made, printed in the header.
    static bool write(const CheckReport &report, QIODevice &device, const QDateTime &made,
                      QString *error = nullptr);

private:
    static int render(const CheckReport &report, QPdfWriter &writer, const QDateTime &made,
                      int pageCount);
    static void titleBlock(PageFlow &flow, const CheckReport &report, const QDateTime &made);
    static void banner(PageFlow &flow, const CheckReport &report);
    static void summary(PageFlow &flow, const CheckReport &report);
    static void signatures(PageFlow &flow);
    static void leakSection(PageFlow &flow, const CheckReport &report);
    static void staticSection(PageFlow &flow, const CheckReport &report);
    static void overPressureSection(PageFlow &flow, const CheckReport &report);
    static void measurementSection(PageFlow &flow, const CheckReport &report);
    static void measurementTable(PageFlow &flow, const CheckReport &report);
    static void curveSection(PageFlow &flow, const CheckReport &report);
    static void limitsSection(PageFlow &flow, const CheckReport &report);
};
