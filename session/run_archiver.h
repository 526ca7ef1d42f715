// SPDX-License-Identifier: MIT
// Puts a finished run into the local archive (ArchiveStore, archive/) before
// its verdict is shown or returned: a plan run through the saver it makes for
// the plan runner, a free check when the window has saved its report. The
// record is made from what was written and judged: the report (board,
// operator, instrument, start, the plan or "free check", the verdict), each
// check's and step's verdict and values as the JSON report has them, the
// JSON report's and the PDF's bytes read
// back from the files as written, and the SHA-256 of the trace. The run
// ends when it is stored. A run that cannot be stored is a run not saved:
// the saver's Files say "not stored in the archive: <cause>", with the
// cause's kind (a file that cannot be read back, a record refused, the
// archive locked or full, its database failing), so the runner's outcome
// has no verdict. stored() tells the push and the history that a run
// went in. Qt Core only; for one thread, the store's.
#pragma once

#include "check_report.h"
#include "failure.h"
#include "plan_runner.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>

class ArchiveStore;
struct RunRecord;

class RunArchiver : public QObject
{
    Q_OBJECT

public:
    // `store` must outlive the archiver; it is opened at the first run when
    // it is not open yet (an archive that cannot be opened fails that run).
    explicit RunArchiver(ArchiveStore &store, QObject *parent = nullptr);

    // The reference instrument's calibration due date, given to each record
    // from now on (none: invalid).
    void setCalibrationDue(const QDate &due) { m_calibrationDue = due; }

    // A saver for the plan runner: `files` writes the run's files (RunFiles),
    // then the run is stored; a failure to store it becomes the Files'
    // failure. Use it while the archiver lives.
    PlanRunner::Saver saver(PlanRunner::Saver files);

    // Stores a run whose files are written: `pdf` and `json` are read back,
    // `trace` is hashed. False when it is not stored, with "not stored in
    // the archive: <cause>" in `why`.
    bool store(const CheckReport &report, const QDateTime &started, const QString &pdf,
               const QString &json, const QByteArray &trace, Failure *why);
    // A free check whose report was written to `pdf` and `json`: its run
    // began with the session's recording (now, when that is unknown); there
    // is no trace of its own.
    bool storeFreeCheck(const CheckReport &report, const QString &pdf, const QString &json,
                        Failure *why);
    // The board's earlier runs in a sentence ("3rd run of this board; last:
    // FAIL on 2026-12-01, leak 7.2 mmHg/min"); empty when the archive cannot
    // be read.
    QString boardHistory(const QString &board);

    // The record of a run, its files' bytes given; a new UUID, ended now.
    RunRecord record(const CheckReport &report, const QDateTime &started,
                     const QByteArray &reportJson, const QByteArray &pdf,
                     const QByteArray &trace) const;
    // Each check's verdict and, under a plan, each step's verdict, reason and
    // values: the JSON report's "check_verdicts" and "steps" (empty for a
    // free check), as one object.
    static QByteArray stepsJson(const QByteArray &reportJson);

signals:
    // The run `uuid` of `board` is committed to the local archive.
    void stored(const QString &uuid, const QString &board);

private:
    ArchiveStore &m_store;
    QDate m_calibrationDue;
};
