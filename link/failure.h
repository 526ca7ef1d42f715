// SPDX-License-Identifier: MIT
// What went wrong when something could not be done: a kind a caller can act
// on (retry when the device is back, tell the operator to free the disk, ask
// for other input) and the text the operator reads, whole, as the system's
// own words or what stands in the way ("cannot write report.pdf: No space
// left on device").
//
// One way through every layer: a function that does something and can fail
// returns bool (or an optional value) and fills a `Failure *` that may be
// null; a check that only judges its input returns a Failure, none when the
// input is taken; a result that can end in failure holds one. Callers pass a
// text on unchanged or put their own context before it.
#pragma once

#include <QString>

class QFileDevice;

struct Failure
{
    enum class Kind {
        None,             // nothing failed
        Refused,          // the input was not taken: a value, a name, a command line
        NotFound,         // no such file, folder or device (not plugged in)
        Unbound,          // a name that stands for nothing (a port number bound to no device)
        PermissionDenied, // there, but this user may not use it
        InUse,            // another program holds it
        NoSpace,          // the disk is full, or the file may grow no more
        Io,               // reading, writing or syncing failed otherwise
        Database,         // the archive's database refused or could not be reached
        NoAnswer,         // the other side stayed silent past its time
        Other             // anything else: the text says what
    };

    Failure() = default;
    Failure(Kind kind, const QString &text)
        : kind(kind)
        , text(text)
    {}

    static Failure refused(const QString &text) { return {Kind::Refused, text}; }
    // The kind that `error` (an errno value) stands for, and the system's
    // words for it after `context` and ": " (only the words when `context`
    // is empty).
    static Failure fromErrno(int error, const QString &context = QString());
    static Kind kindOfErrno(int error);
    // The kind of what `file` failed at: a resource error is the disk that
    // took no more, a permissions error a denial, anything else I/O.
    static Kind kindOfFile(const QFileDevice &file);

    bool failed() const { return kind != Kind::None; }
    // The same kind with `context` and ": " put before the text.
    Failure within(const QString &context) const;

    Kind kind = Kind::None;
    QString text;
};

// Stores `failure` where `out` points, when it points anywhere, and returns
// false: `return fail(why, Failure::refused(...));`.
inline bool fail(Failure *out, const Failure &failure)
{
    if (out)
        *out = failure;
    return false;
}
