// SPDX-License-Identifier: MIT
#include "pty_rig.h"

#include "port_map.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QtGlobal>

PtyRig::PtyRig(const QList<int> &boardPorts, double timeScale, double failureRate,
               const QString &portSettings)
    : m_boards(boardPorts)
    , m_port(portSettings.isEmpty()
                 ? PortTable(m_boards.devicePaths())
                 : PortMap::load(portSettings, PortTable(m_boards.devicePaths())).table())
{
    if (!m_boards.isValid())
        qFatal("cannot create a pseudo-terminal");
    m_boards.setTimeScale(timeScale);
    m_boards.setFailureRate(failureRate);
}

// The boards' clocks stop first; then the port closes the device side
// before the terminals go.
PtyRig::~PtyRig()
{
    m_boards.stop();
}

// A real event loop rather than QTest::qWaitFor, which sleeps 10 ms between
// rounds and would hold the boards' millisecond clocks back to its pace.
bool PtyRig::waitFor(const std::function<bool()> &done, int timeoutMs, int pollMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(pollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return done();
}

void PtyRig::run(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool PtyRig::waitForStartUp(int port, const std::function<QString()> &mapText, int timeoutMs,
                            int pollMs)
{
    const SimulatedBoard &b = board(port);
    return waitFor([&] { return b.commands().size() >= 4 && mapText() == QLatin1String("000"); },
                   timeoutMs, pollMs);
}

const QStringList PtyRig::kStartUp{"03;;D9", "24;;DC", "22;;DA", "18;;DF"};

QList<SimulatedBoard::Command> PtyRig::onPort(const QStringList &texts, int port)
{
    QList<SimulatedBoard::Command> commands;
    for (const QString &text : texts)
        commands << SimulatedBoard::Command{text, port};
    return commands;
}

QString PtyRig::padded(int value)
{
    return QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0'));
}

QString PtyRig::writePortSettings(const QString &dir, const QByteArray &ports)
{
    QFile settings(QDir(dir).filePath(QStringLiteral("tarnvik.conf")));
    if (!settings.open(QIODevice::WriteOnly) || settings.write("[ports]\n" + ports) < 0)
        qFatal("cannot write the port settings file %s", qPrintable(settings.fileName()));
    return settings.fileName();
}
