// SPDX-License-Identifier: MIT
// The report of a bench check as a PDF on A4: a header (program and
// version, board, operator, reference instrument, when the session started
// and when the report was made, port and device, set point), the overall
// verdict with the test plan under it (its name, version, SHA-256 and a
// table of its steps; for a free check a banner that says it is no release
// verdict), a summary table with a place to sign, the gaps in the traffic,
// each plan step's values, then each check in detail (leak tests with their
// settling, window, outliers, curves and fitted lines; static points sorted
// by reference and the refused readings; over-pressure per stretch; the
// inflation time per measurement; the measurements with their statistics, a
// chart against the set point, a table and the pressure curves the checks
// kept), and the limits used (those the plan fixed marked).
// Every incomplete verdict says why. Long tables list their first and last
// rows and every failed or incomplete one (ListedRows); the JSON holds all.
// Values judged against a limit print with the decimals that show their
// side of it (NumberText). The layout is PageFlow's; no widgets, no display.
#pragma once

#include "check_report.h"
#include "failure.h"

#include <QDateTime>
#include <QString>

class QIODevice;
class PageFlow;

class ReportPdf
{
public:
    // `made` is the time the report is made, printed in the header.
    static bool write(const CheckReport &report, QIODevice &device, const QDateTime &made,
                      Failure *error = nullptr);

private:
    static void titleBlock(PageFlow &flow, const CheckReport &report, const QDateTime &made);
    static void banner(PageFlow &flow, const CheckReport &report);
    static void planBanner(PageFlow &flow, const CheckReport &report);
    static void stepsTable(PageFlow &flow, const CheckReport &report);
    static void summary(PageFlow &flow, const CheckReport &report);
    static void signatures(PageFlow &flow);
    static void gapSection(PageFlow &flow, const CheckReport &report);
    static void planSection(PageFlow &flow, const CheckReport &report);
    static void leakStep(PageFlow &flow, const CheckReport &report,
                         const CheckReport::PlanStep &step);
    static void staticStep(PageFlow &flow, const CheckReport &report,
                           const CheckReport::PlanStep &step);
    static void seriesStep(PageFlow &flow, const CheckReport &report,
                           const CheckReport::PlanStep &step);
    static void leakSection(PageFlow &flow, const CheckReport &report);
    static void leakTest(PageFlow &flow, const CheckReport &report, int index);
    static void staticSection(PageFlow &flow, const CheckReport &report);
    static void refusalTable(PageFlow &flow, const CheckReport &report);
    static void overPressureSection(PageFlow &flow, const CheckReport &report);
    static void inflationSection(PageFlow &flow, const CheckReport &report);
    static void measurementSection(PageFlow &flow, const CheckReport &report);
    static void statisticsTable(PageFlow &flow, const CheckReport::Measurements &m,
                                const CheckLimits &limits);
    static void measurementTable(PageFlow &flow, const CheckReport &report);
    static void curveSection(PageFlow &flow, const CheckReport &report);
    static void limitsSection(PageFlow &flow, const CheckReport &report);
};
