// SPDX-License-Identifier: MIT
// The [archive] group of the program's settings file (the file that holds
// [ports] and [checks]; PortMap::standardFile()):
//
//   [archive]
//   database=postgresql://bench@/tarnvik?host=/run/postgresql
//   station=bench-3
//
// database= is the SQLite archive (sqlite:PATH, a relative PATH from the
// settings file's folder) or the line's PostgreSQL database (a libpq URI).
// Every run goes into the local SQLite archive first: the one named, or
// archive.sqlite in the program's data folder when the line's database is
// named or nothing is. station= names the bench in the chains (default: the
// host name). The file is only read, and only when it is a regular file.
// A value that cannot be used is named in problems() and left out: a
// password in the URI among others, which leaves the line's database unset.
#pragma once

#include "archive_location.h"

#include <QString>
#include <QStringList>

#include <optional>

class ArchiveSettings
{
public:
    // archive.sqlite in the program's data folder (~/.local/share/Velsorin/tarnvik/
    // on Linux), whether or not it exists.
    static QString defaultArchiveFile();
    static QString defaultStation();

    // The program's settings file.
    static ArchiveSettings load();
    // `file`; one that does not exist gives the defaults and no problem.
    static ArchiveSettings load(const QString &file);
    // A local archive only, named by whoever holds it (the demo's own).
    static ArchiveSettings localOnly(const ArchiveLocation &local, const QString &station);

    // Where runs are stored first.
    const ArchiveLocation &local() const { return m_local; }
    // The line's database the push copies to, when one is named and usable.
    const std::optional<ArchiveLocation> &line() const { return m_line; }
    // What database= names, when usable: the line's database or the local file.
    ArchiveLocation named() const { return m_line ? *m_line : m_local; }
    QString station() const { return m_station; }
    QString file() const { return m_file; }
    // One line per problem, for the operator; empty when all is well.
    QStringList problems() const { return m_problems; }

    // Whether a station's name can be used: 1 to 64 characters, no control characters.
    static bool isStationName(const QString &name);

private:
    ArchiveSettings();
    void read(const QString &file);
    void take(const QString &key, const QString &value);

    ArchiveLocation m_local;
    std::optional<ArchiveLocation> m_line;
    QString m_station;
    QString m_file;
    QStringList m_problems;
};
