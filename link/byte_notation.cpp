// SPDX-License-Identifier: MIT
#include "byte_notation.h"

#include "control_bytes.h"

namespace {

struct Name
{
    char byte;
    const char *text;
};

constexpr Name kNames[] = {{ControlBytes::kStx, "<STX>"},
                           {ControlBytes::kEtx, "<ETX>"},
                           {ControlBytes::kCr, "<CR>"},
                           {'\x0a', "<LF>"}};

int hexDigit(QChar c)
{
    const char l = c.toLatin1();
    if (l >= '0' && l <= '9')
        return l - '0';
    if (l >= 'A' && l <= 'F')
        return l - 'A' + 10;
    return -1;
}

} // namespace

QString ByteNotation::readable(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size() + 10);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const Name *named = nullptr;
        for (const Name &name : kNames) {
            if (name.byte == c)
                named = &name;
        }
        if (named)
            text += QLatin1String(named->text);
        else if (byte < 0x20 || byte >= 0x7F || c == '<')
            text += QStringLiteral("<x%1>").arg(
                QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0')));
        else
            text += QLatin1Char(c);
    }
    return text;
}

QByteArray ByteNotation::bytes(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text.at(i) == QLatin1Char('<')) {
            bool matched = false;
            for (const Name &name : kNames) {
                const QLatin1String spelt(name.text);
                if (text.mid(i).startsWith(spelt)) {
                    out += name.byte;
                    i += spelt.size();
                    matched = true;
                    break;
                }
            }
            if (matched)
                continue;
            if (i + 4 < text.size() && text.at(i + 1) == QLatin1Char('x') &&
                text.at(i + 4) == QLatin1Char('>') && hexDigit(text.at(i + 2)) >= 0 &&
                hexDigit(text.at(i + 3)) >= 0) {
                out += char(hexDigit(text.at(i + 2)) * 16 + hexDigit(text.at(i + 3)));
                i += 5;
                continue;
            }
        }
        out += text.at(i).toLatin1();
        ++i;
    }
    return out;
}
