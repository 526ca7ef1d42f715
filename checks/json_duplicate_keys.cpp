// SPDX-License-Identifier: MIT
#include "json_duplicate_keys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace {

// A walk over valid JSON text, one value at a time.
class Walk
{
public:
    explicit Walk(const QByteArray &text)
        : m_text(text)
    {}
    std::optional<QString> value(const QString &path);

private:
    std::optional<QString> object(const QString &path);
    std::optional<QString> array(const QString &path);
    QString string();
    void space();
    char at() const { return m_at < m_text.size() ? m_text.at(m_at) : '\0'; }

    const QByteArray &m_text;
    qsizetype m_at = 0;
};

void Walk::space()
{
    while (at() == ' ' || at() == '\t' || at() == '\n' || at() == '\r')
        ++m_at;
}

// The string that begins here, its escapes read as JSON reads them.
QString Walk::string()
{
    const qsizetype begin = m_at;
    for (++m_at; m_at < m_text.size() && at() != '"'; ++m_at) {
        if (at() == '\\')
            ++m_at;
    }
    ++m_at;
    const QByteArray token = m_text.mid(begin, m_at - begin);
    return QJsonDocument::fromJson('[' + token + ']').array().at(0).toString();
}

std::optional<QString> Walk::value(const QString &path)
{
    space();
    switch (at()) {
    case '{':
        return object(path);
    case '[':
        return array(path);
    case '"':
        string();
        return std::nullopt;
    default:
        break;
    }
    // A number, true, false or null.
    while (m_at < m_text.size() && !QByteArrayLiteral(",]} \t\n\r").contains(at()))
        ++m_at;
    return std::nullopt;
}

std::optional<QString> Walk::object(const QString &path)
{
    QSet<QString> seen;
    ++m_at;
    space();
    while (at() == '"') {
        const QString key = string();
        const QString inner = path.isEmpty() ? key : path + QLatin1Char('.') + key;
        if (seen.contains(key))
            return inner;
        seen.insert(key);
        space();
        ++m_at; // ':'
        if (std::optional<QString> twice = value(inner))
            return twice;
        space();
        if (at() == ',')
            ++m_at;
        space();
    }
    ++m_at; // '}'
    return std::nullopt;
}

std::optional<QString> Walk::array(const QString &path)
{
    ++m_at;
    space();
    for (int index = 0; at() != ']' && m_at < m_text.size(); ++index) {
        if (std::optional<QString> twice = value(QStringLiteral("%1[%2]").arg(path).arg(index)))
            return twice;
        space();
        if (at() == ',')
            ++m_at;
        space();
    }
    ++m_at; // ']'
    return std::nullopt;
}

} // namespace

std::optional<QString> JsonDuplicateKeys::first(const QByteArray &json)
{
    return Walk(json).value(QString());
}
