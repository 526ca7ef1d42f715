// SPDX-License-Identifier: MIT
// The program's archive on a main window over the in-memory port, its
// settings naming a line database whose server is not there: the window is
// built and shown while the push finds the line down on its own thread; a
// free check's saved report is stored locally, counted as waiting in the
// status bar, and counts in the board's history.
#include "archive_pusher.h"
#include "archive_settings.h"
#include "bench_core.h"
#include "main_window.h"
#include "memory_serial_port.h"
#include "port_map.h"
#include "program_archive.h"
#include "report_files.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class ProgramArchiveTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lineDownAtStartLeavesRunsWaiting();

private:
    QTemporaryDir m_home;
};

// The default local archive in a folder of the test's own.
void ProgramArchiveTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath("data")));
}

void ProgramArchiveTest::lineDownAtStartLeavesRunsWaiting()
{
    QFile conf(m_home.filePath("tarnvik.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("[archive]\ndatabase=postgresql://bench@/tarnvik?host=" +
               QFile::encodeName(m_home.filePath("no-server")) + "\nstation=bench-t\n");
    conf.close();
    const ArchiveSettings settings = ArchiveSettings::load(conf.fileName());
    QVERIFY2(settings.line().has_value(), qPrintable(settings.problems().join('\n')));

    BenchCore core;
    core.start(std::make_unique<MemorySerialPort>(), PortMap(), QString());
    ProgramArchive archive(settings);
    MainWindow window(core);
    archive.start(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(archive.pusher());
    QSignalSpy failed(archive.pusher(), &ArchivePusher::failed);
    auto *waiting = window.findChild<QLabel *>("runsWaiting");
    QVERIFY(!waiting->isVisible());

    core.setSessionField(BenchCore::SessionField::Board, "SN-9");
    const BenchChecksWindow::Archive hooks = archive.windowArchive();
    QCOMPARE(hooks.history("SN-9"), QString("1st run of this board"));
    const QString pdf = m_home.filePath("free.pdf");
    const QString json = ReportFiles::jsonBeside(pdf);
    Failure why;
    const CheckReport report = core.report();
    QVERIFY2(ReportFiles::save(report, pdf, json, QDateTime::currentDateTime(), &why),
             qPrintable(why.text));
    QVERIFY2(hooks.store(report, pdf, json, &why), qPrintable(why.text));

    QTRY_VERIFY_WITH_TIMEOUT(waiting->isVisible(), 15000);
    QCOMPARE(waiting->text(), QString("1 run not yet in the line's database"));
    QTRY_VERIFY(failed.count() > 0);
    QVERIFY2(failed.constLast().at(0).toString().contains("cannot be reached"),
             qPrintable(failed.constLast().at(0).toString()));
    QVERIFY(hooks.history("SN-9").startsWith("2nd run of this board; last: INCOMPLETE on "));
}

QTEST_MAIN(ProgramArchiveTest)
#include "program_archive_test.moc"
