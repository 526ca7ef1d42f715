// SPDX-License-Identifier: MIT
// SIGINT and SIGTERM (Ctrl+C and Ctrl+Break on a Windows console) as a Qt
// signal, so that tarnvik-run sends Break and saves what it has before it
// ends. The handler does nothing but write one byte into a pipe (POSIX) or
// set an event (Windows); the event loop reads it (QSocketNotifier,
// QWinEventNotifier) and emits stopAsked() there, never in the handler. One
// StopSignals at a time; the signals' previous handling comes back when it goes.
#pragma once

#include <QObject>
#include <QString>

class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // False when the handlers could not be installed.
    bool isWatching() const { return m_watching; }

signals:
    // "SIGINT", "SIGTERM"
    void stopAsked(const QString &signal);

private:
    void take();

    bool m_watching = false;
};
