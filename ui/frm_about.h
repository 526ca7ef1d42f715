// The About window: the program's icon, title line, version and a one-line
// description, closed by its OK button (Enter and Esc press it) or the title
// bar's close button. Modeless; it deletes itself when closed, so the main
// window, which creates it on "&About", holds it only through a QPointer.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class FrmAbout : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 382;
    static constexpr int kClientHeight = 212;

    explicit FrmAbout(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void cmdOK_Click();

    QLabel *m_lblVersion = nullptr;
    QPushButton *m_cmdOK = nullptr;
    bool m_placed = false;
};
