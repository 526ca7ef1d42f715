// SPDX-License-Identifier: MIT
#include "app_under_test.h"

#include "monotonic_clock.h"
#include "proc_stats.h"

AppUnderTest::AppUnderTest(const QString &launcher, QObject *parent)
    : QObject(parent)
    , m_launcher(launcher)
{
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &AppUnderTest::onStdout);
    connect(&m_process, &QProcess::readyReadStandardError, this,
            [this] { m_stderr += m_process.readAllStandardError(); });
    // Whatever is still in the pipe when the launcher ends.
    connect(&m_process, &QProcess::finished, this, &AppUnderTest::onStdout);
}

AppUnderTest::~AppUnderTest()
{
    stop();
}

bool AppUnderTest::start(const QStringList &devices, const QStringList &options)
{
    m_pending.clear();
    m_stderr.clear();
    m_mainNs.reset();
    m_exposeNs.reset();
    m_shownNs.reset();
    m_mapChanges.clear();
    m_mapPaints.clear();
    m_launchNs = MonotonicClock::nowNs();
    m_process.start(m_launcher, options + devices);
    return m_process.waitForStarted(5000);
}

void AppUnderTest::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

std::optional<qint64> AppUnderTest::cpuTicks() const
{
    return isRunning() ? ProcStats::cpuTicks(pid()) : std::nullopt;
}

std::optional<qint64> AppUnderTest::residentKib() const
{
    return isRunning() ? ProcStats::residentKib(pid()) : std::nullopt;
}

void AppUnderTest::onStdout()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        parse(m_pending.left(end));
        m_pending.remove(0, end + 1);
    }
}

// "<kind> <ns>" or "<kind> <ns> <text>"; the text may hold blanks.
void AppUnderTest::parse(const QByteArray &line)
{
    const qsizetype first = line.indexOf(' ');
    if (first < 0)
        return;
    const QByteArray kind = line.left(first);
    qsizetype second = line.indexOf(' ', first + 1);
    const qint64 ns = line.mid(first + 1, second < 0 ? -1 : second - first - 1).toLongLong();
    const QString text = second < 0 ? QString() : QString::fromLatin1(line.mid(second + 1));
    if (kind == "map")
        m_mapChanges << LineDelay::Event{ns, text};
    else if (kind == "paint")
        m_mapPaints << ns;
    else if (kind == "main")
        m_mainNs = ns;
    else if (kind == "expose")
        m_exposeNs = ns;
    else if (kind == "shown")
        m_shownNs = ns;
}
