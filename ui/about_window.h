// SPDX-License-Identifier: MIT
// The About window: the program's icon, title line, version and a one-line
// description, closed by its OK button (Enter and Esc press it) or the title
// bar's close button. Modeless; it deletes itself when closed, so the main
// window, which creates it on "&About", holds it only through a QPointer.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class AboutWindow : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 382;
    static constexpr int kClientHeight = 212;

    explicit AboutWindow(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showVersion();
    void pressOk();

    QLabel *m_versionLabel = nullptr;
    QPushButton *m_okButton = nullptr;
    bool m_placed = false;
};
