#include "panel_bench.h"

#include <algorithm>
#include <cmath>

PanelBench::PanelBench(const QList<int> &boardPorts, double timeScale, double failureRate,
                       const QString &portSettings, QObject *parent)
    : QObject(parent)
    , m_rig(boardPorts, timeScale, failureRate, portSettings)
    , m_panel(m_rig.port(), m_display)
{
    m_valUpdate.setTimerType(Qt::PreciseTimer);
    m_valUpdate.setInterval(std::max(1, int(std::lround(150.0 / timeScale))));
    connect(&m_valUpdate, &QTimer::timeout, &m_panel, &BoardPanel::Val_Update_Timer);
}

PanelBench::~PanelBench()
{
    m_valUpdate.stop();
}

void PanelBench::start()
{
    m_panel.Form_Load();
    m_rig.boards().start();
    m_valUpdate.start();
}

bool PanelBench::waitForStartUp(int port)
{
    return m_rig.waitForStartUp(
        port, [this] { return text(PanelDisplay::Field::Map); }, kTimeoutMs, kPollMs);
}
