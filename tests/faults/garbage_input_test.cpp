// SPDX-License-Identifier: MIT
// Garbage on the line: endless streams without STX or CR, lines at the bound
// of the receive buffer, and pressure fields that are not numbers. The panel
// runs on the in-memory port, fed as the board would feed it.
#include "board_panel.h"
#include "memory_serial_port.h"
#include "recording_display.h"
#include "reply_assembler.h"

#include <QTest>

#include <memory>

using Field = BoardState::Field;

namespace {

constexpr qsizetype kBound = ReplyAssembler::kMaxLineBytes;

QByteArray line(const QByteArray &payload)
{
    return QByteArray(1, '\x02') + payload + '\r';
}

// Bytes of every value but STX and CR, in a repeating pattern.
QByteArray noise(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i) {
        char b = char((i * 131 + 7) & 0xff);
        if (b == '\x02' || b == '\r')
            b = 'x';
        bytes[i] = b;
    }
    return bytes;
}

} // namespace

class TestGarbageInput : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void endlessStreamStaysBounded_data();
    void endlessStreamStaysBounded();
    void lineAtTheBound_data();
    void lineAtTheBound();
    void pressureNotAnInteger_data();
    void pressureNotAnInteger();
    void negativePressureShowsBarAtZero_data();
    void negativePressureShowsBarAtZero();

private:
    void deliverInReads(const QByteArray &bytes, qsizetype readSize);

    std::unique_ptr<MemorySerialPort> m_port;
    std::unique_ptr<BoardPanel> m_panel;
    std::unique_ptr<RecordingDisplay> m_display;
};

void TestGarbageInput::init()
{
    m_port = std::make_unique<MemorySerialPort>();
    m_panel = std::make_unique<BoardPanel>(*m_port);
    m_display = std::make_unique<RecordingDisplay>(*m_panel);
    m_port->setOnlyOpenable({1});
    m_panel->startUp();
    QVERIFY(m_port->isOpen());
    m_port->clearWritten();
}

void TestGarbageInput::deliverInReads(const QByteArray &bytes, qsizetype readSize)
{
    for (qsizetype at = 0; at < bytes.size(); at += readSize)
        m_port->deliver(bytes.mid(at, readSize));
}

void TestGarbageInput::endlessStreamStaysBounded_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<qsizetype>("readSize");

    const QByteArray mb = noise(1 << 20);
    QTest::newRow("1 MiB of noise in one read") << QByteArray() << mb << qsizetype(mb.size());
    QTest::newRow("1 MiB of noise in 16-byte reads") << QByteArray() << mb << qsizetype(16);
    QTest::newRow("1 MiB of NUL bytes")
        << QByteArray() << QByteArray(1 << 20, '\0') << qsizetype(4096);
    QTest::newRow("noise after a finished line, no STX") << line("160") << mb << qsizetype(1000);
    QTest::newRow("STX then 1 MiB, CR lost") << QByteArray("\x02") << mb << qsizetype(333);
}

// The buffer keeps the first kMaxLineBytes bytes of a line and drops the rest
// until the next STX; a CR still shows what it kept, and the next real line is
// read as if nothing had happened.
void TestGarbageInput::endlessStreamStaysBounded()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, stream);
    QFETCH(qsizetype, readSize);

    m_port->deliver(before);
    const bool flag = m_panel->lineComplete();
    deliverInReads(stream, readSize);

    // The finished line's text stays the head of the buffer (a CR does not empty it).
    const QByteArray kept = (before.endsWith('\r') ? before.chopped(1) : before) + stream;
    QCOMPARE(m_panel->receiveBuffer().size(), kBound);
    QVERIFY(m_panel->receiveBuffer() == kept.left(kBound));
    QVERIFY(m_panel->receiveBuffer().capacity() <= 4 * kBound);
    QCOMPARE(m_panel->lineComplete(), flag);

    m_port->deliver("\r");
    QCOMPARE(m_display->text(Field::ReplyLine), QString::fromLatin1(kept.left(kBound)));
    QCOMPARE(m_panel->lineComplete(), true);

    m_port->deliver(line("123"));
    QCOMPARE(m_display->text(Field::ReplyLine), QStringLiteral("\x02"
                                                               "123"));
    m_panel->interpretLatestLine();
    QCOMPARE(m_display->text(Field::MeanPressure), QStringLiteral("123"));
    QCOMPARE(m_display->barValue(), 123);
    QCOMPARE(m_display->failures(), QStringList());
}

void TestGarbageInput::lineAtTheBound_data()
{
    QTest::addColumn<qsizetype>("payload");

    QTest::newRow("one byte short of the bound") << kBound - 2;
    QTest::newRow("exactly the bound with its STX") << kBound - 1;
    QTest::newRow("one byte over") << kBound;
    QTest::newRow("far over") << kBound * 3;
}

void TestGarbageInput::lineAtTheBound()
{
    QFETCH(qsizetype, payload);

    const QByteArray body = "S" + noise(payload - 1);
    m_port->deliver(line(body));
    const QByteArray shown = (QByteArray("\x02") + body).left(kBound);
    QCOMPARE(m_display->text(Field::ReplyLine).size(), shown.size());
    QCOMPARE(m_display->text(Field::ReplyLine), QString::fromLatin1(shown));
    QCOMPARE(m_panel->lineComplete(), true);

    // The fields sit at the head, so a long result line still reads right.
    m_panel->interpretLatestLine();
    QCOMPARE(m_display->text(Field::Systolic), QString::fromLatin1(shown.mid(16, 3)));
    QCOMPARE(m_display->text(Field::PulseRate), QString::fromLatin1(shown.mid(27, 3)));
    QCOMPARE(m_display->text(Field::OperatingState), QStringLiteral("IDLE"));
}

void TestGarbageInput::pressureNotAnInteger_data()
{
    QTest::addColumn<QByteArray>("field");

    QTest::newRow("letters") << QByteArray("abc");
    QTest::newRow("digits then a letter") << QByteArray("12a");
    QTest::newRow("fraction") << QByteArray("1.5");
    QTest::newRow("exponent") << QByteArray("1e2");
    QTest::newRow("sign alone") << QByteArray("-");
    QTest::newRow("two signs") << QByteArray("+-1");
    QTest::newRow("blank between digits") << QByteArray("1 2");
    QTest::newRow("lower-case s line") << QByteArray("s12");
    QTest::newRow("byte above 0x7f") << QByteArray("\xb9"
                                                   "23");
    QTest::newRow("NUL byte") << QByteArray("1\0"
                                            "2",
                                            3);
    QTest::newRow("two digits and 9, not 999") << QByteArray("99x");
}

// The field is shown as it came, the cuff pressure keeps its last value, and
// the steps of the tick run in their usual order around it.
void TestGarbageInput::pressureNotAnInteger()
{
    QFETCH(QByteArray, field);

    m_port->deliver(line("120"));
    m_panel->interpretLatestLine();
    QCOMPARE(m_panel->cuffPressure(), qint16(120));

    m_port->deliver(line(field));
    m_display->clearLog();
    m_panel->interpretLatestLine();

    QCOMPARE(m_panel->cuffPressure(), qint16(120));
    QCOMPARE(m_display->log(),
             (QStringList{QStringLiteral("MeanPressure=") + QString::fromLatin1(field),
                          QStringLiteral("Systolic="), QStringLiteral("Diastolic="),
                          QStringLiteral("PulseRate="), QStringLiteral("bar=120")}));
    QCOMPARE(m_port->written(), QByteArray());
    QCOMPARE(m_display->failures(), QStringList());
}

void TestGarbageInput::negativePressureShowsBarAtZero_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<qint16>("pressure");

    QTest::newRow("minus one") << QByteArray("-1") << qint16(-1);
    QTest::newRow("minus 99") << QByteArray("-99") << qint16(-99);
    QTest::newRow("blank then minus 5") << QByteArray(" -5") << qint16(-5);
    QTest::newRow("minus zero is zero") << QByteArray("-0") << qint16(0);
}

void TestGarbageInput::negativePressureShowsBarAtZero()
{
    QFETCH(QByteArray, field);
    QFETCH(qint16, pressure);

    m_port->deliver(line("150"));
    m_panel->interpretLatestLine();
    QCOMPARE(m_display->barValue(), 150);

    m_port->deliver(line(field));
    m_panel->interpretLatestLine();
    QCOMPARE(m_panel->cuffPressure(), pressure);
    QCOMPARE(m_display->barValue(), 0);
    QCOMPARE(m_display->text(Field::MeanPressure), QString::fromLatin1(field));
}

QTEST_GUILESS_MAIN(TestGarbageInput)
#include "garbage_input_test.moc"
