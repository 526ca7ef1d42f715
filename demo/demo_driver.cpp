// SPDX-License-Identifier: MIT
#include "demo_driver.h"

#include "demo_stage.h"
#include "main_window.h"
#include "simulated_board.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <cstdio>

using Field = BoardState::Field;

namespace {

void say(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("demo: %1\n").arg(text)), stdout);
    std::fflush(stdout);
}

QString threeDigits(int value)
{
    return QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0'));
}

} // namespace

DemoDriver::DemoDriver(MainWindow &window, SimulatedBoard &board, const QDir &output, int timeoutMs,
                       QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_board(board)
    , m_bar(window.findChild<QProgressBar *>(QStringLiteral("Press_bar")))
    , m_start(window.findChild<QPushButton *>(QStringLiteral("StartStop")))
    , m_exit(window.findChild<QAction *>(QStringLiteral("menEnde")))
    , m_output(output)
    , m_timeoutMs(timeoutMs)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &DemoDriver::poll);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        finish(1, QStringLiteral("the measurement did not complete within %1 s")
                      .arg(double(m_timeoutMs) / 1000.0));
    });
    connect(&m_board, &SimulatedBoard::measurementFinished, this, [this](bool failed) {
        if (failed)
            finish(1, QStringLiteral("the board ended the measurement with 999"));
    });
}

void DemoDriver::start()
{
    m_clock.start();
    m_deadline.start();
    m_poll.start();
}

void DemoDriver::poll()
{
    switch (m_stage) {
    case Stage::StartUp:
        // The four start-up frames are in and the answer to the status
        // request has been shown: the panel is where an operator finds it.
        if (m_board.commands().size() >= 4 &&
            m_window.panel().state().text(Field::MeanPressure) == QLatin1String("000"))
            clickStart();
        break;
    case Stage::Measuring:
        m_peak = std::max(m_peak, m_bar->value());
        // The cuff is deflating: the bar has come down from its peak.
        if (!m_midSaved && m_peak >= 100 && m_bar->value() <= m_peak - 10 &&
            m_window.panel().state().text(Field::OperatingState) == QLatin1String("MEASURE")) {
            if (!saveWindow(kMidPicture))
                return;
            m_midSaved = true;
        }
        if (!m_window.panel().state().text(Field::Systolic).isEmpty() &&
            m_window.panel().state().text(Field::OperatingState) == QLatin1String("IDLE")) {
            m_stage = Stage::Settling;
            m_poll.stop();
            QTimer::singleShot(kSettleMs, this, &DemoDriver::checkResult);
        }
        break;
    case Stage::Settling:
    case Stage::Done:
        break;
    }
}

void DemoDriver::clickStart()
{
    say(QStringLiteral("clicking START"));
    m_stage = Stage::Measuring;
    m_start->click();
}

bool DemoDriver::saveWindow(const char *name)
{
    const QString path = m_output.absoluteFilePath(QString::fromLatin1(name));
    if (!m_window.grab().save(path)) {
        finish(1, QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    say(QStringLiteral("saved %1").arg(path));
    return true;
}

void DemoDriver::checkResult()
{
    if (m_stage == Stage::Done)
        return;
    if (!m_midSaved) {
        finish(1, QStringLiteral("the window never showed the cuff deflating"));
        return;
    }
    if (!saveWindow(kResultPicture))
        return;
    const std::optional<SimulatedBoard::Result> measured = m_board.lastResult();
    const QString shown = QStringLiteral("SYS %1  DIA %2  MAP %3  Pulse %4")
                              .arg(m_window.panel().state().text(Field::Systolic),
                                   m_window.panel().state().text(Field::Diastolic),
                                   m_window.panel().state().text(Field::MeanPressure),
                                   m_window.panel().state().text(Field::PulseRate));
    if (!measured) {
        finish(1, QStringLiteral("the window shows %1, but the board measured nothing").arg(shown));
        return;
    }
    const QString expected =
        QStringLiteral("SYS %1  DIA %2  MAP %3  Pulse %4")
            .arg(threeDigits(measured->systolic), threeDigits(measured->diastolic),
                 threeDigits(measured->mean), threeDigits(measured->pulse));
    if (shown != expected) {
        finish(
            1,
            QStringLiteral("the window shows %1, but the board measured %2").arg(shown, expected));
        return;
    }
    finish(0, QStringLiteral("measurement complete after %1 s: %2")
                  .arg(double(m_clock.elapsed()) / 1000.0, 0, 'f', 1)
                  .arg(shown));
}

// Ends the run through the window's own File > Exit, which closes the port
// and ends the program.
void DemoDriver::finish(int exitCode, const QString &message)
{
    if (m_stage == Stage::Done)
        return;
    m_stage = Stage::Done;
    m_exitCode = exitCode;
    m_poll.stop();
    m_deadline.stop();
    say(message);
    if (exitCode == 0) {
        runStage(0);
        return;
    }
    m_exit->trigger();
}

// The stage at `index`, and the next once it went well; the exit after the
// last or after one that did not go well.
void DemoDriver::runStage(int index)
{
    if (index >= m_stages.size()) {
        m_exit->trigger();
        return;
    }
    DemoStage *stage = m_stages.at(index);
    connect(stage, &DemoStage::finished, this, [this, stage, index] {
        m_exitCode = stage->exitCode();
        if (m_exitCode == 0)
            runStage(index + 1);
        else
            m_exit->trigger();
    });
    stage->start();
}
