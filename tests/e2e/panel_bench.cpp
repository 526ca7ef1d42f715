// SPDX-License-Identifier: MIT
#include "panel_bench.h"

#include <algorithm>
#include <cmath>

std::unique_ptr<PtyBench> PtyBench::create(const Setup &setup)
{
    return std::make_unique<PanelBench>(setup);
}

PanelBench::PanelBench(const Setup &setup)
    : PtyBench(setup, setup.timeScale * kFaster, 15000, 1)
    , m_panel(rig().port(), m_display)
{
    m_interpretTimer.setTimerType(Qt::PreciseTimer);
    m_interpretTimer.setInterval(
        std::max(1, int(std::lround(150.0 / (setup.timeScale * kFaster)))));
    connect(&m_interpretTimer, &QTimer::timeout, &m_panel, &BoardPanel::interpretLatestLine);
    // Connected after the panel's handler, so it sees the tick's outcome.
    connect(&m_interpretTimer, &QTimer::timeout, this, &PanelBench::noteTick);
}

PanelBench::~PanelBench()
{
    m_interpretTimer.stop();
}

void PanelBench::start()
{
    m_panel.startUp();
    rig().boards().start();
    m_interpretTimer.start();
}

void PanelBench::press(Control control)
{
    switch (control) {
    case Control::Start:
        return m_panel.startMeasurement();
    case Control::Manometer:
        return m_panel.startManometer();
    case Control::LeakTest:
        return m_panel.startLeakTest();
    case Control::Break:
        return m_panel.breakOperation();
    case Control::Patient:
        return m_panel.togglePatient();
    case Control::ReadStatus:
        return m_panel.readStatus();
    case Control::PumpUp:
        return m_panel.stepPumpUp();
    case Control::Cycle:
        return m_panel.stepCycle();
    }
}

QString PanelBench::portEntryDevice(int port)
{
    return rig().port().deviceName(port);
}

// As the window shows it: the last failure, unless a port entry was checked
// (a port opened) after it.
QString PanelBench::failureNotice() const
{
    const QStringList log = m_display.log();
    const qsizetype failed = log.lastIndexOf(QStringLiteral("failure"));
    if (failed < 0 || m_display.failures().isEmpty())
        return QString();
    for (qsizetype i = failed + 1; i < log.size(); ++i) {
        if (log.at(i).startsWith(QLatin1String("checked ")) &&
            log.at(i).endsWith(QLatin1String("=1")))
            return QString();
    }
    return m_display.failures().last();
}
