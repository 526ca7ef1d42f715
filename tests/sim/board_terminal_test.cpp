// SPDX-License-Identifier: MIT
// The board's side of the line when nobody listens: a board streaming into a
// pseudo-terminal that no program reads must neither block nor hang.
#include "board_terminal.h"
#include "command_frame.h"
#include "pseudo_terminal.h"
#include "simulated_board.h"

#include <QElapsedTimer>
#include <QtTest>

class BoardTerminalTest : public QObject
{
    Q_OBJECT

private slots:
    void streamingIntoAnUnreadTerminalDropsInsteadOfBlocking();
    void pseudoTerminalWriteGivesUpWhenTheQueueStaysFull();
};

void BoardTerminalTest::streamingIntoAnUnreadTerminalDropsInsteadOfBlocking()
{
    PseudoTerminal terminal;
    QVERIFY(terminal.isValid());
    SimulatedBoard board;
    BoardTerminal link(board, terminal, 1);

    QElapsedTimer clock;
    clock.start();
    board.receive(CommandFrame::build(QStringLiteral("14;;DB")), 1);
    board.advance(20000); // 100 KB of pressure lines, far more than the queue holds
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));

    QVERIFY(link.bytesSent() > 0);
    QVERIFY(link.bytesDropped() > 0);
    QCOMPARE(link.bytesSent() + link.bytesDropped(), 20000 * 5);
}

void BoardTerminalTest::pseudoTerminalWriteGivesUpWhenTheQueueStaysFull()
{
    PseudoTerminal terminal;
    QVERIFY(terminal.isValid());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!terminal.write(QByteArray(256 * 1024, 'x')));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(BoardTerminalTest)
#include "board_terminal_test.moc"
