// SPDX-License-Identifier: MIT
// What a reply line from the board says, read once for everyone who reads
// one: the panel at its interpretation tick, the checks engine and the curve
// tool's splitter from the traffic. ReplyLine knows where each field sits;
// this class knows which kind of line it is:
//   Result    "S" after the STX: systolic, diastolic, mean and pulse;
//   EndValue  "999" as the cuff pressure: the board gave up what it was doing;
//   Pressure  a cuff pressure that converts to a number;
//   Other     any other line, a status text or noise between STX and CR.
//
// A line counts only from STX to CR: the panel's assembler completes a line
// at a CR and at nothing else, and what is read from the traffic follows the
// same rule. A received entry without its CR (cut short by the next STX, by a
// port that closed or by the end of a trace) is no reply, and neither are
// bytes before an STX.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class BoardReply
{
public:
    enum class Kind { Pressure, Result, EndValue, Other };

    // A complete line as the panel holds it: the STX first, the CR dropped.
    explicit BoardReply(const QString &line = QString());
    // A received traffic entry: a reply when it runs from STX to CR, none
    // otherwise.
    static std::optional<BoardReply> fromReceived(const QByteArray &bytes);

    Kind kind() const { return m_kind; }
    const QString &line() const { return m_line; }

    // The cuff-pressure field as the board sent it ("" for a short line), and
    // its value when it converts; "999" converts too.
    const QString &pressureText() const { return m_pressureText; }
    std::optional<qint16> pressure() const { return m_pressure; }

    // The fields of a result line as sent; "" where a short line ends first.
    QString systolic() const;
    QString diastolic() const;
    QString mean() const;
    QString pulse() const;

private:
    QString m_line;
    QString m_pressureText;
    std::optional<qint16> m_pressure;
    Kind m_kind = Kind::Other;
};
