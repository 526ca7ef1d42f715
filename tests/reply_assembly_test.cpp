// SPDX-License-Identifier: MIT
// Bytes from the board into reply lines: the reply-line field, the
// line-complete flag, and independence from how the bytes are split up.
#include "panel_fixture.h"

#include <QtTest>

using Field = BoardState::Field;

class ReplyAssemblyTest : public QObject
{
    Q_OBJECT

private slots:
    void bytesBecomeTheReplyLine_data();
    void bytesBecomeTheReplyLine();
    void splittingTheStreamAnywhereGivesTheSameLines();
    void everyCrShowsTheLineSoFarInOrder();
    void stxClearsTheFlagBeforeTheLineWasRead();
    void otherNotificationsReadNothing_data();
    void otherNotificationsReadNothing();
    void highBytesMapOneToOne();
    void portThatClaimsBytesButYieldsNoneDoesNotHang();
};

void ReplyAssemblyTest::bytesBecomeTheReplyLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("replyLine");
    QTest::addColumn<bool>("flag");
    const QString stx(QChar(2));
    QTest::newRow("result line keeps STX first")
        << QByteArray("\x02S123\x0d") << stx + "S123" << true;
    QTest::newRow("STX and CR alone") << QByteArray("\x02\x0d") << stx << true;
    QTest::newRow("CR before any STX shows what came") << QByteArray("abc\x0d") << "abc" << true;
    QTest::newRow("CR as the very first byte") << QByteArray("\x0d") << "" << true;
    QTest::newRow("two lines in one read end with the second") << QByteArray("\x02"
                                                                             "120\x0d\x02"
                                                                             "115\x0d")
                                                               << stx + "115" << true;
    QTest::newRow("line without STX joins the previous one") << QByteArray("\x02"
                                                                           "A\x0d"
                                                                           "B\x0d")
                                                             << stx + "AB" << true;
    QTest::newRow("LF after CR stays in the buffer") << QByteArray("\x02"
                                                                   "A\x0d\x0a\x0d")
                                                     << stx + "A\n"
                                                     << true;
    QTest::newRow("unfinished line leaves the last one shown") << QByteArray("\x02"
                                                                             "160\x0d\x02"
                                                                             "15")
                                                               << stx + "160" << false;
    QTest::newRow("nothing complete yet") << QByteArray("\x02"
                                                        "160")
                                          << "" << false;
}

void ReplyAssemblyTest::bytesBecomeTheReplyLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, replyLine);
    QFETCH(bool, flag);
    PanelFixture f;
    f.start();
    f.port.deliver(bytes);
    QCOMPARE(f.field(Field::ReplyLine), replyLine);
    QCOMPARE(f.panel.lineComplete(), flag);
}

// Every split point, and every chunk size, must give the very same sequence of
// reply lines as the stream delivered whole.
void ReplyAssemblyTest::splittingTheStreamAnywhereGivesTheSameLines()
{
    const QByteArray stream("\x02"
                            "S12345678901234120080095xx072yy\x0d"
                            "\x02"
                            "085\x0d\x0a"
                            "\x02\x0d"
                            "junk\x0d\x02"
                            "999\x0d\x02"
                            "1");
    PanelFixture whole;
    whole.start();
    whole.port.deliver(stream);
    const QStringList expected = whole.display.log();
    QCOMPARE(expected.size(), 5);

    for (int split = 1; split < stream.size(); ++split) {
        PanelFixture f;
        f.start();
        f.port.deliver(stream.left(split));
        f.port.deliver(stream.mid(split));
        QVERIFY2(f.display.log() == expected, qPrintable(QString("split at %1").arg(split)));
        QCOMPARE(f.panel.lineComplete(), whole.panel.lineComplete());
        QCOMPARE(f.panel.receiveBuffer(), whole.panel.receiveBuffer());
    }
    for (int chunk = 1; chunk <= 17; ++chunk) {
        PanelFixture f;
        f.start();
        for (int i = 0; i < stream.size(); i += chunk)
            f.port.deliver(stream.mid(i, chunk));
        QVERIFY2(f.display.log() == expected, qPrintable(QString("chunks of %1").arg(chunk)));
    }
}

void ReplyAssemblyTest::everyCrShowsTheLineSoFarInOrder()
{
    PanelFixture f;
    f.start();
    f.port.deliver("\x02"
                   "A\x0d"
                   "B\x0d");
    const QString stx(QChar(2));
    QCOMPARE(f.display.log(), QStringList({"ReplyLine=" + stx + "A", "ReplyLine=" + stx + "AB"}));
}

void ReplyAssemblyTest::stxClearsTheFlagBeforeTheLineWasRead()
{
    PanelFixture f;
    f.start();
    f.port.deliver("\x02"
                   "160\x0d");
    QCOMPARE(f.panel.lineComplete(), true);
    f.port.deliver("\x02");
    QCOMPARE(f.panel.lineComplete(), false);
    QCOMPARE(f.field(Field::ReplyLine), QString(QChar(2)) + "160");
    f.panel.interpretLatestLine();
    // Untouched: the tick did nothing, the field still shows it has no value.
    QCOMPARE(f.field(Field::MeanPressure), QString::fromLatin1(BoardState::kNoValue));
}

void ReplyAssemblyTest::otherNotificationsReadNothing_data()
{
    QTest::addColumn<bool>("deviceLost");
    QTest::newRow("no notification") << false;
    QTest::newRow("device lost") << true;
}

void ReplyAssemblyTest::otherNotificationsReadNothing()
{
    QFETCH(bool, deviceLost);
    PanelFixture f;
    f.start();
    f.port.queue("\x02"
                 "160\x0d");
    if (deviceLost)
        emit f.port.deviceLost(QStringLiteral("Lost the device on COM1"));
    QCOMPARE(f.port.waitingBytes(), 5);
    QCOMPARE(f.field(Field::ReplyLine), QString());
    QCOMPARE(f.panel.lineComplete(), false);
    f.port.announceArrival();
    QCOMPARE(f.port.waitingBytes(), 0);
    QCOMPARE(f.field(Field::ReplyLine), QString(QChar(2)) + "160");
}

void ReplyAssemblyTest::highBytesMapOneToOne()
{
    PanelFixture f;
    f.start();
    f.port.deliver(QByteArray("\x02\xb0\xff\x80\x0d"));
    const QString line = f.field(Field::ReplyLine);
    QCOMPARE(line.size(), 4);
    QCOMPARE(line.at(1).unicode(), char16_t(0xb0));
    QCOMPARE(line.at(2).unicode(), char16_t(0xff));
    QCOMPARE(line.at(3).unicode(), char16_t(0x80));
}

// A port that announces bytes but whose read returns none.
class StuckPort : public MemorySerialPort
{
public:
    QByteArray input() override { return {}; }
};

void ReplyAssemblyTest::portThatClaimsBytesButYieldsNoneDoesNotHang()
{
    StuckPort port;
    BoardPanel panel(port);
    RecordingDisplay display(panel);
    port.announceArrival();
    QVERIFY(display.log().isEmpty());
}

QTEST_GUILESS_MAIN(ReplyAssemblyTest)
#include "reply_assembly_test.moc"
