// SPDX-License-Identifier: MIT
#include "archive_location.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

namespace {

bool refuse(Failure *why, const QString &text)
{
    return fail(why, Failure::refused(text));
}

const QString kPasswordAdvice = QStringLiteral(
    "passwords come from libpq's password file (~/.pgpass) or PGPASSWORD, never from the "
    "settings or the command line");

// The libpq parameters a URI may carry beside host and port. Their values go
// into a connection string as they are, so they may hold no space, quote,
// backslash or semicolon.
const QStringList kParameters = {
    "application_name", "channel_binding",  "connect_timeout", "gssencmode",
    "keepalives",       "keepalives_count", "keepalives_idle", "keepalives_interval",
    "krbsrvname",       "passfile",         "sslcert",         "sslcrl",
    "sslkey",           "sslmode",          "sslrootcert",     "target_session_attrs",
    "tcp_user_timeout",
};

QString decoded(const QString &part)
{
    return QUrl::fromPercentEncoding(part.toUtf8());
}

bool portOf(const QString &text, int &port)
{
    bool ok = false;
    port = text.toInt(&ok);
    return ok && port >= 1 && port <= 65535 && !text.startsWith(QLatin1Char('+'));
}

} // namespace

ArchiveLocation ArchiveLocation::sqliteFile(const QString &path)
{
    ArchiveLocation location;
    location.m_kind = Kind::Sqlite;
    location.m_path = path;
    location.m_text = QStringLiteral("sqlite:") + path;
    return location;
}

std::optional<ArchiveLocation> ArchiveLocation::parse(const QString &written, const QString &folder,
                                                      Failure *why)
{
    const QString text = written.trimmed();
    if (text.startsWith(QLatin1String("sqlite:"))) {
        const QString path = text.mid(7);
        if (path.isEmpty()) {
            refuse(why, QStringLiteral("sqlite: names no file (sqlite:PATH)"));
            return std::nullopt;
        }
        return sqliteFile(QDir::cleanPath(QDir(folder).absoluteFilePath(path)));
    }
    if (text.startsWith(QLatin1String("postgresql://")) ||
        text.startsWith(QLatin1String("postgres://"))) {
        ArchiveLocation location;
        if (!parsePostgres(text, location, why))
            return std::nullopt;
        return location;
    }
    refuse(why, QStringLiteral("\"%1\" is neither sqlite:PATH nor "
                               "postgresql://USER@HOST/DBNAME")
                    .arg(text));
    return std::nullopt;
}

bool ArchiveLocation::parsePostgres(const QString &text, ArchiveLocation &location, Failure *why)
{
    location.m_kind = Kind::Postgres;
    location.m_text = text;
    QString rest = text.mid(text.indexOf(QLatin1String("//")) + 2);
    QString query;
    if (const qsizetype mark = rest.indexOf(QLatin1Char('?')); mark >= 0) {
        query = rest.mid(mark + 1);
        rest = rest.left(mark);
    }
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    const QString authority = slash < 0 ? rest : rest.left(slash);
    location.m_database = slash < 0 ? QString() : decoded(rest.mid(slash + 1));
    if (!parseAuthority(authority, location, why) || !parseQuery(query, location, why))
        return false;
    if (location.m_database.isEmpty())
        return refuse(
            why, QStringLiteral("%1 names no database (postgresql://USER@HOST/DBNAME)").arg(text));
    return true;
}

bool ArchiveLocation::parseAuthority(const QString &authority, ArchiveLocation &location,
                                     Failure *why)
{
    QString hostPart = authority;
    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = authority.left(at);
        if (userInfo.contains(QLatin1Char(':')))
            return refuse(
                why, QStringLiteral("the database URI holds a password (after \"%1:\"); "
                                    "it is refused: %2")
                         .arg(decoded(userInfo.section(QLatin1Char(':'), 0, 0)), kPasswordAdvice));
        location.m_user = decoded(userInfo);
        hostPart = authority.mid(at + 1);
    }
    if (hostPart.contains(QLatin1Char(',')))
        return refuse(why, QStringLiteral("the database URI names several hosts; give one"));
    static const QRegularExpression form(QStringLiteral("^(\\[[^\\]]*\\]|[^:\\[\\]]*)(?::(.*))?$"));
    const QRegularExpressionMatch match = form.match(hostPart);
    if (!match.hasMatch())
        return refuse(
            why, QStringLiteral("the database URI's host \"%1\" is not HOST[:PORT]").arg(hostPart));
    QString host = decoded(match.captured(1));
    if (host.startsWith(QLatin1Char('[')))
        host = host.mid(1, host.size() - 2);
    location.m_host = host;
    if (match.hasCaptured(2) && !portOf(match.captured(2), location.m_port))
        return refuse(why, QStringLiteral("the database URI's port \"%1\" is no port number")
                               .arg(match.captured(2)));
    return true;
}

bool ArchiveLocation::parseQuery(const QString &query, ArchiveLocation &location, Failure *why)
{
    QStringList seen;
    const QStringList pairs = query.split(QLatin1Char('&'), Qt::SkipEmptyParts);
    for (const QString &pair : pairs) {
        const QString key = decoded(pair.section(QLatin1Char('='), 0, 0));
        const QString value = decoded(pair.section(QLatin1Char('='), 1));
        if (seen.contains(key))
            return refuse(why, QStringLiteral("the database URI gives %1 more than once").arg(key));
        seen << key;
        if (key == QLatin1String("password"))
            return refuse(why,
                          QStringLiteral("the database URI holds a password (password=); it is "
                                         "refused: %1")
                              .arg(kPasswordAdvice));
        if (key == QLatin1String("host") || key == QLatin1String("hostaddr")) {
            if (!location.m_host.isEmpty())
                return refuse(why, QStringLiteral("the database URI names its host twice"));
            location.m_host = value;
        } else if (key == QLatin1String("port")) {
            if (location.m_port > 0 || !portOf(value, location.m_port))
                return refuse(why, QStringLiteral("the database URI's port \"%1\" is no port "
                                                  "number, or is given twice")
                                       .arg(value));
        } else if (key == QLatin1String("dbname") || key == QLatin1String("user")) {
            return refuse(why, QStringLiteral("give %1 in the URI's path or user part, not as "
                                              "%1=")
                                   .arg(key));
        } else if (!kParameters.contains(key)) {
            return refuse(
                why, QStringLiteral("the database URI's parameter \"%1\" is unknown").arg(key));
        } else if (value.isEmpty() ||
                   value.contains(QRegularExpression(QStringLiteral("[\\s'\\\\;]")))) {
            return refuse(why, QStringLiteral("the database URI's %1 \"%2\" is empty or holds a "
                                              "space, quote, backslash or semicolon")
                                   .arg(key, value));
        } else {
            location.m_parameters.append({key, value});
        }
    }
    return true;
}
