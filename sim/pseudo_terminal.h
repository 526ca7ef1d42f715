// SPDX-License-Identifier: MIT
// A pseudo-terminal pair in raw mode: the program opens the device path like a
// serial port, the other side (the master) is read and written here. Used by
// the simulated board, the end-to-end tests and the demo, so that the real
// serial-port path runs without hardware. POSIX only.
#pragma once

#include <QByteArray>
#include <QString>

class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    // Path of the device side, such as /dev/pts/7.
    QString devicePath() const { return m_path; }
    int masterFd() const { return m_master; }

    // Writes all bytes to the device side's input; false on error, or when
    // the input queue stays full for 100 ms (nobody reads the device side).
    bool write(const QByteArray &bytes);
    // Whatever the program has written so far, waiting up to timeoutMs for the
    // first byte; returns "" when nothing came.
    QByteArray read(int timeoutMs);
    // Reads until `count` bytes have come or timeoutMs has passed.
    QByteArray readExactly(qsizetype count, int timeoutMs);
    // Closes the master side: the program sees a hang-up.
    void closeMaster();

private:
    int m_master = -1;
    int m_slaveKeepAlive = -1;
    QString m_path;
};
