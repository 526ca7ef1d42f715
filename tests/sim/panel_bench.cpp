#include "panel_bench.h"

#include <algorithm>
#include <cmath>

PanelBench::PanelBench(const QList<int> &boardPorts, double timeScale, double failureRate,
                       const QString &portSettings, QObject *parent)
    : QObject(parent)
    , m_rig(boardPorts, timeScale, failureRate, portSettings)
    , m_panel(m_rig.port(), m_display)
{
    m_interpretTimer.setTimerType(Qt::PreciseTimer);
    m_interpretTimer.setInterval(std::max(1, int(std::lround(150.0 / timeScale))));
    connect(&m_interpretTimer, &QTimer::timeout, &m_panel, &BoardPanel::interpretLatestLine);
}

PanelBench::~PanelBench()
{
    m_interpretTimer.stop();
}

void PanelBench::start()
{
    m_panel.startUp();
    m_rig.boards().start();
    m_interpretTimer.start();
}

bool PanelBench::waitForStartUp(int port)
{
    return m_rig.waitForStartUp(
        port, [this] { return text(PanelDisplay::Field::MeanPressure); }, kTimeoutMs, kPollMs);
}
