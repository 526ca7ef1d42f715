// SPDX-License-Identifier: MIT
// The gauge's readings for tarnvik-run, one a line, from a file or standard
// input (--reference-from FILE|-), read a line at a time when one is asked
// for. On POSIX systems the waiting is the event loop's (a QSocketNotifier on
// the descriptor, enabled only while a line is asked for), so the board's
// lines, the runner's deadlines and a stop signal are taken meanwhile; an
// operator may type the readings at a terminal. On Windows a line is read
// at once when asked for, which holds the run up while it waits: give the
// readings in a file or a pipe there.
//
// A file must be a regular file: a FIFO, a device or a folder is refused
// before it is opened (PlainFileCheck), as tarnvik-report refuses them.
#pragma once

#include "failure.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>

class QSocketNotifier;

class ReadingInput : public QObject
{
    Q_OBJECT

public:
    // A line longer than this is no reading; it is cut there.
    static constexpr qsizetype kMaxLine = 256;

    explicit ReadingInput(QObject *parent = nullptr);
    ~ReadingInput() override;

    // Opens `source` ("-" for standard input); false, with the reason.
    bool open(const QString &source, Failure *why);
    // "standard input" or the file's name.
    QString name() const { return m_name; }

    // Asks for the next line: lineRead or ended follow, from the event loop.
    void ask();

signals:
    void lineRead(const QString &line);
    // Nothing more can be read: the end of the file, or a read error.
    void ended(const QString &why);

private:
    void readAvailable();
    bool handOutLine();

    QString m_name;
    QFile m_file;
    int m_descriptor = -1;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_buffer;
    bool m_asked = false;
    bool m_atEnd = false;
};
