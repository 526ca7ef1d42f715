// SPDX-License-Identifier: MIT
#include "about_window.h"

#include "artwork.h"
#include "tarnvik_version.h"
#include "ui_fonts.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace {

const char *const kDescription = "Test program for evaluation of the Velsorin NIBP boards. "
                                 "For bench testing only, not for clinical use.";

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &geometry, const QString &text,
                  const QFont &font, const QColor &colour)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QWidget *makeLine(QWidget *parent, const char *name, const QRect &geometry, const QColor &colour)
{
    auto *line = new QWidget(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setGeometry(geometry);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    return line;
}

} // namespace

AboutWindow::AboutWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setSizeGripEnabled(false);
    setFixedSize(kClientWidth, kClientHeight);
    setWindowTitle(QStringLiteral(TARNVIK_TITLE));

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setGeometry(16, 16, 32, 32);
    icon->setPixmap(Artwork::iconPixmap(32));

    makeLabel(this, "NBIP", QRect(70, 32, 259, 32), QStringLiteral("NIBPTestprogramm"),
              UiFonts::sans(12), Qt::black);
    m_versionLabel =
        makeLabel(this, "lblVersion", QRect(70, 72, 259, 15), QStringLiteral("Version 1.0"),
                  UiFonts::sans(9), palette().color(QPalette::ButtonText));
    QLabel *description = makeLabel(this, "lblDescription", QRect(70, 104, 291, 46),
                                    QString::fromLatin1(kDescription), UiFonts::sans(9), Qt::black);
    description->setWordWrap(true);

    // The etched separator: a grey line over a white one a pixel lower. The
    // lines run from x = 6 (grey) and 7 (white) up to, not including, x = 377.
    auto *separator = new QWidget(this);
    separator->setObjectName(QStringLiteral("Line1"));
    separator->setGeometry(6, 163, 371, 3);
    makeLine(separator, "Line1_1", QRect(0, 0, 371, 1), QColor(0x80, 0x80, 0x80));
    makeLine(separator, "Line1_0", QRect(1, 1, 370, 2), QColor(0xFF, 0xFF, 0xFF));

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("cmdOK"));
    m_okButton->setGeometry(283, 175, 84, 23);
    m_okButton->setDefault(true);
    m_okButton->setFocus();
    connect(m_okButton, &QPushButton::clicked, this, &AboutWindow::pressOk);

    showVersion();
}

void AboutWindow::showVersion()
{
    m_versionLabel->setText(QStringLiteral("Version %1.%2.%3")
                                .arg(TARNVIK_VERSION_MAJOR)
                                .arg(TARNVIK_VERSION_MINOR)
                                .arg(TARNVIK_VERSION_PATCH));
    setWindowTitle(QStringLiteral(TARNVIK_TITLE));
}

void AboutWindow::pressOk()
{
    close();
}

// Centred over the main window when first shown.
void AboutWindow::showEvent(QShowEvent *event)
{
    if (!m_placed && parentWidget()) {
        m_placed = true;
        QRect frame = frameGeometry();
        frame.moveCenter(parentWidget()->window()->frameGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

// Esc presses OK, as Enter does through the default button; the title bar's
// close button closes the window without it.
void AboutWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_okButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
