// SPDX-License-Identifier: MIT
#include "panel_bench.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

std::unique_ptr<PtyBench> PtyBench::create(const Setup &setup)
{
    return std::make_unique<PanelBench>(setup);
}

PanelBench::PanelBench(const Setup &setup)
    : PtyBench(setup, setup.timeScale * kFaster, 15000, 1)
    , m_panel(rig().port())
    , m_display(m_panel)
{
    auto *interpretTimer = m_panel.findChild<QTimer *>(QStringLiteral("Val_Update"));
    interpretTimer->setTimerType(Qt::PreciseTimer);
    interpretTimer->setInterval(std::max(1, int(std::lround(150.0 / (setup.timeScale * kFaster)))));
    // Connected after the panel's handler, so it sees the tick's outcome.
    connect(interpretTimer, &QTimer::timeout, this, &PanelBench::noteTick);
}

PanelBench::~PanelBench()
{
    m_panel.findChild<QTimer *>(QStringLiteral("Val_Update"))->stop();
}

// The panel's start-up starts its tick.
void PanelBench::start()
{
    m_panel.startUp();
    rig().boards().start();
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
