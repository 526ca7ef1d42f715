// SPDX-License-Identifier: MIT
// Command frames on the wire and the command set against the checksum rule.
#include "command_frame.h"
#include "command_set.h"
#include "panel_fixture.h"

#include <QSet>
#include <QtTest>

class CommandFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void frameHasExactBytes_data();
    void frameHasExactBytes();
    void everyCodedCommandObeysTheChecksumRule_data();
    void everyCodedCommandObeysTheChecksumRule();
    void commandSetHoldsTwentyOneDistinctTexts();
    void checksumDependsOnlyOnTheDigitSum();
    void sendCommandWritesEachCharacterSeparately_data();
    void sendCommandWritesEachCharacterSeparately();
    void twoCommandsFromOneHandlerAreBackToBack();
    void failedWriteStopsTheFrameAndIsReported_data();
    void failedWriteStopsTheFrameAndIsReported();
};

void CommandFrameTest::frameHasExactBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("start measurement")
        << "01;;D7" << QByteArray("\x02\x30\x31\x3b\x3b\x44\x37\x03");
    QTest::newRow("break is three bytes") << "X" << QByteArray("\x02\x58\x03");
    QTest::newRow("empty text is two bytes") << "" << QByteArray("\x02\x03");
    QTest::newRow("only checksum starting with E") << "19;;E0"
                                                   << QByteArray("\x02"
                                                                 "19;;E0"
                                                                 "\x03");
}

// The panel writes the same frame one byte at a time.
void CommandFrameTest::frameHasExactBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(CommandFrame::build(text), bytes);
    const QList<QByteArray> pieces = CommandFrame::pieces(text);
    QCOMPARE(pieces.join(), bytes);
    QCOMPARE(pieces.size(), bytes.size());
}

void CommandFrameTest::everyCodedCommandObeysTheChecksumRule_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text : CommandSet::kAll) {
        if (QByteArray(text) != CommandSet::kBreak)
            QTest::newRow(text) << QString::fromLatin1(text);
    }
}

void CommandFrameTest::everyCodedCommandObeysTheChecksumRule()
{
    QFETCH(QString, text);
    QCOMPARE(text.size(), 6);
    QCOMPARE(CommandFrame::codedText(text.left(2).toInt()), text);
    QVERIFY(CommandFrame::hasValidChecksum(text));
}

void CommandFrameTest::commandSetHoldsTwentyOneDistinctTexts()
{
    QSet<QByteArray> texts;
    int startingWithE = 0;
    for (const char *text : CommandSet::kAll) {
        texts.insert(text);
        if (QByteArray(text).size() == 6 && text[4] == 'E')
            ++startingWithE;
    }
    QCOMPARE(texts.size(), 21);
    QCOMPARE(startingWithE, 1);
}

void CommandFrameTest::checksumDependsOnlyOnTheDigitSum()
{
    QCOMPARE(CommandFrame::codedText(1), QStringLiteral("01;;D7"));
    QCOMPARE(CommandFrame::codedText(10), QStringLiteral("10;;D7"));
    QCOMPARE(CommandFrame::codedText(0), QStringLiteral("00;;D6"));
    QCOMPARE(CommandFrame::codedText(99), QStringLiteral("99;;E8"));
    QVERIFY(!CommandFrame::hasValidChecksum(QStringLiteral("01;;D8")));
    QVERIFY(!CommandFrame::hasValidChecksum(QStringLiteral("01;;d7")));
    QVERIFY(!CommandFrame::hasValidChecksum(QStringLiteral("X")));
}

void CommandFrameTest::sendCommandWritesEachCharacterSeparately_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("text");
    QTest::newRow("read status in idle") << "IDLE"
                                         << "18;;DF";
    QTest::newRow("break while measuring") << "MEASURE"
                                           << "X";
}

void CommandFrameTest::sendCommandWritesEachCharacterSeparately()
{
    QFETCH(QString, state);
    QFETCH(QString, text);
    PanelFixture f;
    f.start();
    f.setState(state);
    const int before = f.port.outputCalls();
    if (text == QLatin1String("X"))
        f.panel.breakOperation();
    else
        f.panel.readStatus();
    QCOMPARE(f.port.written(), CommandFrame::build(text));
    QCOMPARE(f.port.outputCalls() - before, int(text.size()) + 2);
}

void CommandFrameTest::twoCommandsFromOneHandlerAreBackToBack()
{
    PanelFixture f;
    f.port.setOnlyOpenable({1});
    f.panel.startUp();
    QCOMPARE(f.port.written(), PanelFixture::frames({"03;;D9", "24;;DC", "22;;DA", "18;;DF"}));
}

void CommandFrameTest::failedWriteStopsTheFrameAndIsReported_data()
{
    QTest::addColumn<int>("writesThatSucceed");
    QTest::addColumn<QByteArray>("onTheLine");
    QTest::newRow("fails at STX") << 0 << QByteArray();
    QTest::newRow("fails after two characters") << 3
                                                << QByteArray("\x02"
                                                              "18");
    QTest::newRow("fails at ETX") << 7
                                  << QByteArray("\x02"
                                                "18;;DF");
}

void CommandFrameTest::failedWriteStopsTheFrameAndIsReported()
{
    QFETCH(int, writesThatSucceed);
    QFETCH(QByteArray, onTheLine);
    PanelFixture f;
    f.start();
    f.port.failWritesAfter(writesThatSucceed);
    f.panel.readStatus();
    QCOMPARE(f.port.written(), onTheLine);
    QCOMPARE(f.display.failures().size(), 1);
    QVERIFY(f.display.failures().first().contains(QLatin1String("18;;DF")));
}

QTEST_GUILESS_MAIN(CommandFrameTest)
#include "command_frame_test.moc"
