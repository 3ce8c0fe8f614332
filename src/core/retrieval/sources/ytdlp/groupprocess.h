#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace Tarnwick {

// What to start and how long to let it run.
struct GroupProcessRequest {
    QString program;
    QStringList arguments;
    QString workingFolder; // empty: the caller's
    // The process is ended when it writes nothing, on either stream, for this long.
    int silenceLimitMs = 60000;
    // Standard output beyond this many bytes ends the process (when it is kept, not streamed).
    qint64 outputCap = 64 * 1024 * 1024;
    // Standard error keeps at most its last this many bytes.
    qint64 errorCap = 256 * 1024;
    // When set, standard output is handed over line by line (without the line end) instead of
    // being kept.
    std::function<void(const QByteArray& line)> outputLine;
    // Asked about ten times a second; true ends the process.
    std::function<bool()> shouldStop;
};

struct GroupProcessResult {
    enum class End {
        Exited,       // ran to its end; exitCode tells how
        NotStarted,   // the program could not be started
        Crashed,      // ended by a signal it did not get from us
        Stopped,      // shouldStop asked for it
        Silent,       // nothing written for the silence limit
        OutputTooLong // more standard output than the cap
    };
    End end = End::NotStarted;
    int exitCode = -1;
    QByteArray output; // standard output, unless it was streamed
    QByteArray error;  // the last errorCap bytes of standard error
};

// Runs a program from its argument list (never through a shell) in a process group of its
// own, so that ending it also ends every process it started, and waits for its end on the
// calling thread. Whatever way it ends, no process of the group is left running.
GroupProcessResult RunGroupProcess(const GroupProcessRequest& request);

} // namespace Tarnwick
