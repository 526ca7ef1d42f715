#include "panel_bench.h"

#include "port_table.h"

#include <QEventLoop>

#include <cmath>

PanelBench::PanelBench(const QList<int> &boardPorts, double timeScale, double failureRate,
                       QObject *parent)
    : QObject(parent)
{
    QStringList devices;
    for (int port = 1; port <= PortTable::kPortCount; ++port) {
        if (!boardPorts.contains(port)) {
            devices << QStringLiteral("/nonexistent/tarnvik-%1").arg(port);
            continue;
        }
        Slot &slot = m_boards[port];
        slot.terminal = std::make_unique<PseudoTerminal>();
        slot.board = std::make_unique<SimulatedBoard>();
        slot.board->setTimeScale(timeScale);
        slot.board->setSeed(quint32(port));
        slot.board->setFailureRate(failureRate);
        slot.link = std::make_unique<BoardTerminal>(*slot.board, *slot.terminal, port);
        devices << slot.terminal->devicePath();
    }
    m_port = std::make_unique<QtSerialPort>(PortTable(devices));
    m_panel = std::make_unique<BoardPanel>(*m_port, m_display);
    m_valUpdate.setTimerType(Qt::PreciseTimer);
    m_valUpdate.setInterval(std::max(1, int(std::lround(150.0 / timeScale))));
    connect(&m_valUpdate, &QTimer::timeout, m_panel.get(), &BoardPanel::Val_Update_Timer);
}

PanelBench::~PanelBench()
{
    m_valUpdate.stop();
    m_panel.reset();
    m_port.reset(); // closes the device side before the terminals go
}

void PanelBench::start()
{
    m_panel->Form_Load();
    for (auto &entry : m_boards)
        entry.second.board->start();
    m_valUpdate.start();
}

// A real event loop rather than QTest::qWaitFor, which sleeps 10 ms between
// rounds and would slow the boards' millisecond clocks down to its pace.
bool PanelBench::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

void PanelBench::run(int ms)
{
    waitFor([] { return false; }, ms);
}

bool PanelBench::waitForStartUp(int port)
{
    SimulatedBoard &b = board(port);
    return waitFor([&] {
        return b.commands().size() >= 4 && text(PanelDisplay::Field::Map) == QLatin1String("000");
    });
}
