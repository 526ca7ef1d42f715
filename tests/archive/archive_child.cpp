// SPDX-License-Identifier: MIT
// Another program at the archive, for the tests that need a second process:
//   archive_child store-loop FILE STATION PDF_BYTES   stores runs for ever, printing each
//                                                     run's UUID once store() returned
//   archive_child hold-lock FILE                      holds the write lock until its
//                                                     standard input closes ("locked")
//   archive_child fill FILE FILE_LIMIT PDF_BYTES      stores runs under a file size limit
//                                                     (0: none) until one fails, then
//                                                     verifies: "stored N", "failure ...",
//                                                     "kind N" (the failure's, as a number),
//                                                     "rows N breaks N runs N"
#include "archive_connection.h"
#include "archive_store.h"
#include "archive_test_data.h"
#include "chain_verifier.h"

#include <QCoreApplication>
#include <QSqlQuery>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>

namespace {

RunRecord nextRun(int n, qsizetype pdfBytes)
{
    RunRecord record = archive_test::run(QStringLiteral("B-%1").arg(n % 7), QStringLiteral("pass"),
                                         archive_test::at(1 + n % 28, 8), 2.5, {1.0, -0.5});
    record.pdf += QByteArray(pdfBytes, char('a' + n % 26));
    return record;
}

int storeLoop(const QString &file, const QString &station, qsizetype pdfBytes)
{
    ArchiveStore store(ArchiveLocation::sqliteFile(file), station);
    if (!store.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(store.failure().text));
        return 1;
    }
    for (int n = 0;; ++n) {
        const RunRecord record = nextRun(n, pdfBytes);
        if (!store.store(record)) {
            std::fprintf(stderr, "%s\n", qPrintable(store.failure().text));
            return 1;
        }
        std::printf("%s\n", qPrintable(record.id.toString(QUuid::WithoutBraces)));
        std::fflush(stdout);
    }
}

int holdLock(const QString &file)
{
    ArchiveConnection connection(ArchiveLocation::sqliteFile(file));
    Failure why;
    if (!connection.open(ArchiveConnection::Create::ExistingOnly, &why) ||
        !connection.begin(&why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why.text));
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    connection.rollback();
    return 0;
}

int fill(const QString &file, rlim_t limit, qsizetype pdfBytes)
{
    ArchiveStore store(ArchiveLocation::sqliteFile(file), QStringLiteral("fill"));
    if (!store.open())
        return std::printf("failure %s\n", qPrintable(store.failure().text)), 1;
    if (limit > 0) {
        const rlimit size{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &size);
    }
    int stored = 0;
    while (stored < 2000 && store.store(nextRun(stored, pdfBytes)))
        ++stored;
    std::printf("stored %d\nfailure %s\nkind %d\n", stored, qPrintable(store.failure().text),
                int(store.failure().kind));
    ArchiveConnection connection(ArchiveLocation::sqliteFile(file));
    ChainVerifier verifier(connection);
    Failure why;
    if (!connection.open(ArchiveConnection::Create::ExistingOnly, &why) || !verifier.verify(&why))
        return std::printf("verify failed %s\n", qPrintable(why.text)), 1;
    QSqlQuery count(connection.database());
    count.exec(QStringLiteral("SELECT count(*) FROM runs"));
    count.next();
    std::printf("rows %lld breaks %lld runs %d\n", static_cast<long long>(verifier.rowsChecked()),
                static_cast<long long>(verifier.breaks().size()), count.value(0).toInt());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("store-loop") && args.size() == 5)
        return storeLoop(args.at(2), args.at(3), args.at(4).toLongLong());
    if (mode == QLatin1String("hold-lock") && args.size() == 3)
        return holdLock(args.at(2));
    if (mode == QLatin1String("fill") && args.size() == 5)
        return fill(args.at(2), rlim_t(args.at(3).toULongLong()), args.at(4).toLongLong());
    std::fprintf(stderr, "usage: archive_child store-loop|hold-lock|fill ...\n");
    return 2;
}
