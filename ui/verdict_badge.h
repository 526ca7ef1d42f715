// SPDX-License-Identifier: MIT
// A check's verdict as a badge that reads at a glance: "PASS" white on green,
// "FAIL" white on red, "INCOMPLETE" black on amber, and a grey dash while
// the check has no verdict. The Bench checks window shows one per check and
// one for the whole board.
#pragma once

#include "verdict.h"

#include <QLabel>

class VerdictBadge : public QLabel
{
    Q_OBJECT

public:
    explicit VerdictBadge(QWidget *parent = nullptr);

    void setVerdict(Verdict verdict);
    Verdict verdict() const { return m_verdict; }

    // "PASS", "FAIL", "INCOMPLETE"; "—" for no verdict.
    static QString text(Verdict verdict);

private:
    Verdict m_verdict = Verdict::Incomplete; // differs from the first verdict set
};
