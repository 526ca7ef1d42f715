// SPDX-License-Identifier: MIT
// Where the archive is: the database= text of the settings file or of
// --database (SQLite paths, libpq URIs and what is refused in them, above
// all a password), and the [archive] group as the program reads it.
#include "archive_location.h"
#include "archive_settings.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class ArchiveSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void location_data();
    void location();
    void settings_data();
    void settings();
};

void ArchiveSettingsTest::location_data()
{
    QTest::addColumn<QString>("text");
    // "sqlite PATH", "pg USER|HOST|PORT|DB|PARAMETERS", or "refused: words"
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const char *text, const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(expected);
    };
    row("sqlite, absolute", "sqlite:/var/lib/a.sqlite", "sqlite /var/lib/a.sqlite");
    row("sqlite, relative to the folder", "sqlite:data/../a.sqlite",
        "sqlite /etc/tarnvik/a.sqlite");
    row("sqlite without a path", "sqlite:", "refused: names no file");
    row("socket folder as host=", "postgresql://bench@/tarnvik?host=/run/postgresql",
        "pg bench|/run/postgresql|-1|tarnvik|");
    row("host and port", "postgresql://bench@db.line:5433/tarnvik",
        "pg bench|db.line|5433|tarnvik|");
    row("postgres:// and an IPv6 address", "postgres://[::1]:5432/tarnvik",
        "pg |::1|5432|tarnvik|");
    row("percent-encoded socket folder", "postgresql://bench@%2Frun%2Fpg/tarnvik",
        "pg bench|/run/pg|-1|tarnvik|");
    row("sslmode passed on", "postgresql://bench@db/tarnvik?sslmode=verify-full&connect_timeout=3",
        "pg bench|db|-1|tarnvik|sslmode=verify-full,connect_timeout=3");
    row("password after the user", "postgresql://bench:secret@db/tarnvik",
        "refused: holds a password (after \"bench:\")");
    row("empty password after the user", "postgresql://bench:@db/tarnvik",
        "refused: holds a password");
    row("password= parameter", "postgresql://bench@db/tarnvik?password=secret",
        "refused: holds a password (password=)");
    row("no database", "postgresql://bench@db", "refused: names no database");
    row("several hosts", "postgresql://bench@db1,db2/tarnvik", "refused: several hosts");
    row("port 0", "postgresql://db:0/tarnvik", "refused: port \"0\" is no port number");
    row("port 65536", "postgresql://db:65536/tarnvik", "refused: port \"65536\"");
    row("port 65535", "postgresql://db:65535/tarnvik", "pg |db|65535|tarnvik|");
    row("host twice", "postgresql://db/tarnvik?host=/run/pg", "refused: names its host twice");
    row("unknown parameter", "postgresql://db/tarnvik?sslmod=require",
        "refused: \"sslmod\" is unknown");
    row("parameter with a space", "postgresql://db/tarnvik?application_name=a%20b",
        "refused: holds a space");
    row("parameter given twice", "postgresql://db/tarnvik?sslmode=require&sslmode=disable",
        "refused: gives sslmode more than once");
    row("neither form", "mysql://db/tarnvik", "refused: neither sqlite:PATH nor");
}

void ArchiveSettingsTest::location()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Failure why;
    const std::optional<ArchiveLocation> location =
        ArchiveLocation::parse(text, QStringLiteral("/etc/tarnvik"), &why);
    if (expected.startsWith("refused: ")) {
        QVERIFY(!location);
        QCOMPARE(why.kind, Failure::Kind::Refused);
        QVERIFY2(why.text.contains(expected.mid(9)), qPrintable(why.text));
        QVERIFY2(!why.text.contains("secret"), qPrintable(why.text));
        return;
    }
    QVERIFY2(location, qPrintable(why.text));
    QString got;
    if (location->isSqlite()) {
        got = "sqlite " + location->path();
    } else {
        QStringList parameters;
        for (const auto &[key, value] : location->parameters())
            parameters << key + '=' + value;
        got = QStringLiteral("pg %1|%2|%3|%4|%5")
                  .arg(location->user(), location->host())
                  .arg(location->port())
                  .arg(location->databaseName(), parameters.join(','));
    }
    QCOMPARE(got, expected);
}

void ArchiveSettingsTest::settings_data()
{
    QTest::addColumn<QByteArray>("content"); // "FIFO" makes a FIFO, "NONE" no file
    QTest::addColumn<QString>("local");      // "default" or the file's name
    QTest::addColumn<QString>("line");       // the URI, or ""
    QTest::addColumn<QString>("station");    // "host" for the host name
    QTest::addColumn<QString>("problem");    // in problems(), or ""
    QTest::newRow("no file") << QByteArray("NONE") << "default"
                             << ""
                             << "host"
                             << "";
    QTest::newRow("a FIFO in the file's place is not read") << QByteArray("FIFO") << "default"
                                                            << ""
                                                            << "host"
                                                            << "it is a FIFO";
    QTest::newRow("sqlite relative to the settings file")
        << QByteArray("[archive]\ndatabase=sqlite:runs.sqlite\nstation=bench-3\n") << "runs.sqlite"
        << ""
        << "bench-3"
        << "";
    QTest::newRow("line database: runs stored in the default file first")
        << QByteArray("[archive]\ndatabase=postgresql://bench@/tarnvik?host=/run/postgresql\n")
        << "default"
        << "postgresql://bench@/tarnvik?host=/run/postgresql"
        << "host"
        << "";
    QTest::newRow("a password refused and named; runs stay local")
        << QByteArray("[archive]\ndatabase=postgresql://bench:hunter2@db/tarnvik\n") << "default"
        << ""
        << "host"
        << "holds a password";
    QTest::newRow("station of 65 characters refused")
        << QByteArray("[archive]\nstation=" + QByteArray(65, 'x') + "\n") << "default"
        << ""
        << "host"
        << "is no station name";
    QTest::newRow("station of 64 characters taken")
        << QByteArray("[archive]\nstation=" + QByteArray(64, 'x') + "\n") << "default"
        << "" << QString(64, 'x') << "";
    QTest::newRow("unknown entry named") << QByteArray("[archive]\ndatabse=sqlite:a\n") << "default"
                                         << ""
                                         << "host"
                                         << "unknown entry \"databse\"";
    QTest::newRow("other groups are not the archive's")
        << QByteArray("[ports]\nCOM1=/dev/null\n[checks]\nstation=x\n") << "default"
        << ""
        << "host"
        << "";
}

void ArchiveSettingsTest::settings()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, local);
    QFETCH(QString, line);
    QFETCH(QString, station);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString path = dir.filePath("tarnvik.conf");
    if (content == "FIFO") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (content != "NONE") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const ArchiveSettings settings = ArchiveSettings::load(path);
    QCOMPARE(settings.local().path(),
             local == "default" ? ArchiveSettings::defaultArchiveFile() : dir.filePath(local));
    QCOMPARE(settings.line() ? settings.line()->text() : QString(), line);
    QCOMPARE(settings.station(), station == "host" ? ArchiveSettings::defaultStation() : station);
    QCOMPARE(settings.problems().join('\n').contains(problem), true);
    QCOMPARE(settings.problems().isEmpty(), problem.isEmpty());
    QVERIFY(!settings.problems().join('\n').contains("hunter2"));
}

QTEST_GUILESS_MAIN(ArchiveSettingsTest)
#include "archive_settings_test.moc"
