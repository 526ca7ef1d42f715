// SPDX-License-Identifier: MIT
// A text of a fixed number of lines in whatever width the layout gives it:
// it never widens its window nor makes it taller. It wraps at spaces as a
// label does; what does not fit ends its last line with an ellipsis, and the
// whole text is in the tooltip. A note that tells of a problem shows bold in
// the failure ink. The Bench checks window and its test plan page show their
// notes and values in it.
#pragma once

#include <QLabel>

class FittedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit FittedLabel(int lines, const QString &text = QString(), QWidget *parent = nullptr);

    int lines() const { return m_lines; }
    // What is to be shown; text() is as much of it as fits.
    QString fullText() const { return m_fullText; }
    void setFullText(const QString &text);
    // `text`, bold in the failure ink when it tells of a problem.
    void showNote(const QString &text, bool problem);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fit();

    int m_lines;
    QString m_fullText;
};
