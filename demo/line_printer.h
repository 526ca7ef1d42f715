// SPDX-License-Identifier: MIT
// Prints what goes over the line between the program and simulated boards:
// every command frame a board takes (or ignores) and every reply line it
// sends, with the time since the printer was made and the port. Control
// characters are spelt out in ByteNotation (<STX>, <ETX>, <CR>, <LF>, other
// bytes as <xNN>) so the output stays readable on a terminal and in a log.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdio>

class SimulatedBoard;

class LinePrinter : public QObject
{
    Q_OBJECT

public:
    explicit LinePrinter(std::FILE *out, QObject *parent = nullptr);

    // Prints the traffic of `board`, which sits on port number `port`.
    void watch(SimulatedBoard &board, int port);

    int framesPrinted() const { return m_frames; }
    int linesPrinted() const { return m_lines; }

private:
    void print(const QString &direction, const QString &what);

    std::FILE *m_out;
    QElapsedTimer m_clock;
    int m_frames = 0;
    int m_lines = 0;
};
