// SPDX-License-Identifier: MIT
// The About window: its controls, its version line and title, opening it from
// the main window as one modeless instance, and every way of closing it.
#include "about_window.h"
#include "main_window.h"
#include "memory_serial_port.h"
#include <QApplication>

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestAboutWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void controls_data();
    void controls();
    void window();
    void singleModelessInstance();
    void closing_data();
    void closing();
    void goesWithMainWindow();

private:
    AboutWindow *openAbout();

    std::unique_ptr<MemorySerialPort> m_port;
    std::unique_ptr<BoardPanel> m_panel;
    std::unique_ptr<MainWindow> m_main;
};

void TestAboutWindow::init()
{
    m_port = std::make_unique<MemorySerialPort>();
    m_panel = std::make_unique<BoardPanel>(*m_port);
    m_main = std::make_unique<MainWindow>(*m_panel);
    m_panel->startUp();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

void TestAboutWindow::cleanup()
{
    m_main.reset();
    m_panel.reset();
    m_port.reset();
}

AboutWindow *TestAboutWindow::openAbout()
{
    m_main->findChild<QAction *>(QStringLiteral("menAbout"))->trigger();
    return m_main->aboutWindow();
}

void TestAboutWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pixelSize"); // 0: the platform's dialog font
    QTest::addColumn<QColor>("ink");
    const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
    QTest::newRow("NBIP") << "NBIP" << QRect(70, 32, 259, 32) << "NIBPTestprogramm" << 16
                          << QColor(Qt::black);
    QTest::newRow("lblVersion after load")
        << "lblVersion" << QRect(70, 72, 259, 15) << "Version 1.0.1" << 12 << buttonText;
    QTest::newRow("lblDescription") << "lblDescription" << QRect(70, 104, 291, 46)
                                    << "Test program for evaluation of the Velsorin NIBP boards. "
                                       "For bench testing only, not for clinical use."
                                    << 12 << QColor(Qt::black);
    QTest::newRow("cmdOK") << "cmdOK" << QRect(283, 175, 84, 23) << "OK" << 0 << QColor();
    QTest::newRow("picIcon") << "picIcon" << QRect(16, 16, 32, 32) << "" << 0 << QColor();
    QTest::newRow("Line1") << "Line1" << QRect(6, 163, 371, 3) << "" << 0 << QColor();
}

void TestAboutWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, pixelSize);
    QFETCH(QColor, ink);
    AboutWindow *about = openAbout();
    auto *widget = about->findChild<QWidget *>(name);
    QVERIFY(widget);
    QTEST(widget->geometry(), "geometry");
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        if (!text.isEmpty()) {
            QCOMPARE(label->font().family(), QStringLiteral("Liberation Sans"));
            QCOMPARE(label->font().pixelSize(), pixelSize);
            QCOMPARE(label->palette().color(QPalette::WindowText), ink);
            // The whole text shows inside the field, wrapped where it must be.
            const QRect needed = label->fontMetrics().boundingRect(
                label->contentsRect(), int(label->alignment()) | Qt::TextWordWrap, text);
            QVERIFY2(needed.height() <= label->height(), "text does not fit its field");
        } else {
            QCOMPARE(label->pixmap().size(), QSize(32, 32));
        }
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->text(), text);
        QVERIFY(button->isDefault());
        QCOMPARE(QApplication::focusWidget() == button || about->focusWidget() == button, true);
    } else {
        const auto *grey = widget->findChild<QWidget *>(QStringLiteral("Line1_1"));
        const auto *white = widget->findChild<QWidget *>(QStringLiteral("Line1_0"));
        QCOMPARE(grey->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
        QCOMPARE(grey->height(), 1);
        QCOMPARE(white->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(white->height(), 2);
        QCOMPARE(white->pos() - grey->pos(), QPoint(1, 1));
    }
}

void TestAboutWindow::window()
{
    AboutWindow *about = openAbout();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QCOMPARE(about->windowTitle(), QStringLiteral("tarnvik"));
    QCOMPARE(about->size(), QSize(382, 212));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    const Qt::WindowFlags flags = about->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(!about->isModal());
    const QPoint offset = about->frameGeometry().center() - m_main->frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, "centred over the main window");
}

void TestAboutWindow::singleModelessInstance()
{
    AboutWindow *first = openAbout();
    QVERIFY(first);
    QCOMPARE(openAbout(), first);
    QCOMPARE(m_main->findChildren<AboutWindow *>().size(), 1);

    // The main window keeps working while the About window is open.
    m_port->clearWritten();
    QTest::mouseClick(m_main->findChild<QPushButton *>(QStringLiteral("Reset")), Qt::LeftButton);
    QCOMPARE(m_port->written(), QByteArray("\x02"
                                           "18;;DF\x03"));
    QVERIFY(first->isVisible());
}

void TestAboutWindow::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK clicked") << "ok";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("title bar close") << "close";
}

void TestAboutWindow::closing()
{
    QFETCH(QString, how);
    QPointer<AboutWindow> about = openAbout();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    auto *ok = about->findChild<QPushButton *>(QStringLiteral("cmdOK"));
    QSignalSpy pressed(ok, &QPushButton::clicked);
    if (how == "ok")
        QTest::mouseClick(ok, Qt::LeftButton);
    else if (how == "enter")
        QTest::keyClick(about, Qt::Key_Return);
    else if (how == "escape")
        QTest::keyClick(about, Qt::Key_Escape);
    else
        about->close();
    QCOMPARE(pressed.count(), how == "close" ? 0 : 1); // Enter and Esc press OK
    QTRY_VERIFY(about.isNull());
    QVERIFY(!m_main->aboutWindow());

    // The next "&About" builds a new window with the same texts.
    AboutWindow *again = openAbout();
    QVERIFY(again);
    QCOMPARE(again->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(),
             QStringLiteral("Version 1.0.1"));
    QCOMPARE(again->windowTitle(), QStringLiteral("tarnvik"));
}

void TestAboutWindow::goesWithMainWindow()
{
    QPointer<AboutWindow> about = openAbout();
    QVERIFY(about);
    m_main.reset();
    QVERIFY(about.isNull());
}

QTEST_MAIN(TestAboutWindow)
#include "about_window_test.moc"
