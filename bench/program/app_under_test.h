// SPDX-License-Identifier: MIT
// The window launcher (tarnvik-bench-app) as a child process: started on the
// device paths given for COM1..COM8, its trace read as it comes (the time the
// window was shown, each change of the Map field and each repaint of it), its
// CPU time and resident memory read from /proc while it runs.
#pragma once

#include "line_delay.h"

#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <optional>

class AppUnderTest : public QObject
{
    Q_OBJECT

public:
    explicit AppUnderTest(const QString &launcher, QObject *parent = nullptr);
    ~AppUnderTest() override;

    // Starts the launcher; launchNs() is the monotonic time taken just before.
    bool start(const QStringList &devices, const QStringList &options = {});
    // Ends the launcher (SIGTERM, then SIGKILL) and waits for it.
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }

    qint64 launchNs() const { return m_launchNs; }
    std::optional<qint64> mainNs() const { return m_mainNs; }
    std::optional<qint64> exposeNs() const { return m_exposeNs; }
    std::optional<qint64> shownNs() const { return m_shownNs; }
    const QList<LineDelay::Event> &mapChanges() const { return m_mapChanges; }
    const QList<qint64> &mapPaints() const { return m_mapPaints; }
    QString mapText() const
    {
        return m_mapChanges.isEmpty() ? QString() : m_mapChanges.last().text;
    }
    // Everything the launcher wrote on standard error.
    QByteArray errorOutput() const { return m_stderr; }

    std::optional<qint64> cpuTicks() const;
    std::optional<qint64> residentKib() const;

private:
    void onStdout();
    void parse(const QByteArray &line);

    QString m_launcher;
    QProcess m_process;
    QByteArray m_pending;
    QByteArray m_stderr;
    qint64 m_launchNs = 0;
    std::optional<qint64> m_mainNs;
    std::optional<qint64> m_exposeNs;
    std::optional<qint64> m_shownNs;
    QList<LineDelay::Event> m_mapChanges;
    QList<qint64> m_mapPaints;
};
