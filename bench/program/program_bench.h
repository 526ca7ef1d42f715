// SPDX-License-Identifier: MIT
// The whole-program measurements: the real main window (through the launcher)
// against the simulated board over a pseudo-terminal. Start-up runs the
// window on eight absent ports until its first frame is shown. One session
// then runs one window on the board's terminal through four phases: idle,
// line delay, streaming at the full line rate, and an hour of traffic pushed
// as fast as the window reads it, with CPU time and resident memory taken
// from /proc between them. The results are printed as a table.
#pragma once

#include "line_delay.h"
#include "sample_summary.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTextStream>

#include <functional>

class ProgramBench : public QObject
{
    Q_OBJECT

public:
    static constexpr int kLineRate = 480; // bytes a second at 4800 baud, 8N1

    struct Settings
    {
        QString launcher;
        qint64 startupRuns = 10;
        qint64 idleSeconds = 60;
        qint64 delayLines = 520;
        qint64 streamSeconds = 60;
        qint64 hourBytes = qint64(kLineRate) * 3600;
        quint32 seed = 1;
    };

    explicit ProgramBench(const Settings &settings, QObject *parent = nullptr);

    bool runStartup();
    bool runSession();
    QString error() const { return m_error; }
    void printTable(QTextStream &out) const;

private:
    struct Startup
    {
        SampleSummary shownMs;  // launch -> first frame shown
        SampleSummary exposeMs; // launch -> first expose
        SampleSummary mainMs;   // launch -> main() entered
        QString load;
    };
    struct Cpu
    {
        double wallSeconds = 0;
        double cpuSeconds = 0;
        qint64 bytes = 0;
        qint64 lines = 0;
        int mapChanges = 0;
        QString load;
        double percent() const { return wallSeconds > 0 ? 100.0 * cpuSeconds / wallSeconds : 0; }
    };
    struct Delay
    {
        LineDelay match;
        SampleSummary toField;
        SampleSummary toPaint;
        int lines = 0;
        QString load;
    };
    struct MemorySample
    {
        qint64 bytes = 0;
        qint64 kib = 0;
    };
    struct Hour
    {
        qint64 bytes = 0;
        qint64 lines = 0;
        double wallSeconds = 0;
        double cpuSeconds = 0;
        qint64 bytesFromProgram = 0;
        QList<MemorySample> samples;
        qint64 settledKib = 0;
        QString load;
    };

    struct Live;

    bool fail(const QString &why);
    void printNotes(QTextStream &out) const;
    bool startSession(Live &live);
    void measureIdle(Live &live);
    bool measureLineDelay(Live &live);
    void measureStream(Live &live);
    QByteArray hourOfTraffic();
    bool measureHour(Live &live);
    static void runFor(int ms);
    static bool waitUntil(const std::function<bool()> &done, int timeoutMs);
    static QStringList absentDevices(int count);

    Settings m_settings;
    QString m_error;
    QString m_platform;
    Startup m_startup;
    qint64 m_startedKib = 0;
    Cpu m_idle;
    Delay m_delay;
    qint64 m_afterDelayKib = 0;
    Cpu m_stream;
    qint64 m_afterStreamKib = 0;
    Hour m_hour;
};
