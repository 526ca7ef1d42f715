// SPDX-License-Identifier: MIT
// Reply assembly must not depend on how the port cuts the bytes into reads:
// each case is fed whole, in reads of every size, and split in two at every
// boundary, and must give the same lines, flag and buffer each time.
#include "reply_assembler.h"

#include <QByteArrayList>
#include <QTest>

namespace {

template <qsizetype N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1); // keeps embedded NULs
}

struct Outcome
{
    QByteArrayList lines;
    bool flag;
    QByteArray buffer;
};

Outcome feedInReads(const QByteArray &input, const QList<qsizetype> &cuts)
{
    ReplyAssembler assembler;
    QByteArrayList lines;
    qsizetype from = 0;
    for (qsizetype to : cuts) {
        assembler.feed(input.constData() + from, to - from,
                       [&lines](const QByteArray &line) { lines << line; });
        from = to;
    }
    return {lines, assembler.lineComplete(), assembler.buffer()};
}

} // namespace

class ReplyAssemblerSplitTest : public QObject
{
    Q_OBJECT

private slots:
    void sameResultForEveryCut_data();
    void sameResultForEveryCut();
};

void ReplyAssemblerSplitTest::sameResultForEveryCut_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QByteArray>("buffer");

    // STX is written as the octal escape \002, which never swallows a following digit.
    const QByteArray longLine = "\002" + QByteArray(300, 'A');
    using L = QByteArrayList;

    QTest::newRow("nothing") << QByteArray() << L() << false << QByteArray();
    QTest::newRow("result line") << bytes("\002S120\r") << L{"\002S120"} << true
                                 << bytes("\002S120");
    QTest::newRow("STX alone") << bytes("\002\r") << L{"\002"} << true << bytes("\002");
    QTest::newRow("CR first") << bytes("\r") << L{QByteArray()} << true << QByteArray();
    QTest::newRow("bytes before any STX") << bytes("ab\r") << L{"ab"} << true << bytes("ab");
    QTest::newRow("two lines") << bytes("\002160\r\002150\r") << L{"\002160", "\002150"} << true
                               << bytes("\002150");
    QTest::newRow("lost STX joins")
        << bytes("\002A\rB\r") << L{"\002A", "\002AB"} << true << bytes("\002AB");
    QTest::newRow("STX clears flag")
        << bytes("\002160\r\00215") << L{"\002160"} << false << bytes("\00215");
    QTest::newRow("LF after CR stays")
        << bytes("\002160\r\n") << L{"\002160"} << true << bytes("\002160\n");
    QTest::newRow("short after long")
        << bytes("\002S00000000000000120080093\r\0027\r")
        << L{"\002S00000000000000120080093", "\0027"} << true << bytes("\0027");
    QTest::newRow("line longer than kept memory")
        << longLine + "\r\00299\r" << L{longLine, "\00299"} << true << bytes("\00299");
    QTest::newRow("NUL and high bytes kept")
        << bytes("\002\000\377\200\177\r") << L{bytes("\002\000\377\200\177")} << true
        << bytes("\002\000\377\200\177");
    QTest::newRow("repeated STX") << bytes("\002\002\0021\r") << L{"\0021"} << true
                                  << bytes("\0021");
    QTest::newRow("repeated CR") << bytes("\0021\r\r") << L{"\0021", "\0021"} << true
                                 << bytes("\0021");
}

void ReplyAssemblerSplitTest::sameResultForEveryCut()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, lines);
    QFETCH(bool, complete);
    QFETCH(QByteArray, buffer);

    QList<QList<qsizetype>> cutSets;
    for (qsizetype size = 1; size <= qMax<qsizetype>(1, input.size()); ++size) {
        QList<qsizetype> cuts;
        for (qsizetype at = size; at < input.size(); at += size)
            cuts << at;
        cutSets << (cuts << input.size());
    }
    for (qsizetype at = 0; at <= input.size(); ++at)
        cutSets << QList<qsizetype>{at, input.size()};

    for (const QList<qsizetype> &cuts : cutSets) {
        const Outcome got = feedInReads(input, cuts);
        QByteArray where = "reads end at";
        for (qsizetype cut : cuts)
            where += ' ' + QByteArray::number(cut);
        QVERIFY2(got.lines == lines, where.constData());
        QVERIFY2(got.flag == complete, where.constData());
        QVERIFY2(got.buffer == buffer, where.constData());
    }
}

QTEST_APPLESS_MAIN(ReplyAssemblerSplitTest)
#include "reply_assembler_split_test.moc"
