#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace Tarnwick {

// What a short helper program run (yt-dlp --version, gpgv) left.
struct ProgramRun {
    bool started = false;
    bool timedOut = false;
    bool stopped = false;
    int exitCode = -1;
    QString startError;
    QByteArray output;
    QByteArray errorOutput;

    bool Succeeded() const { return started && !timedOut && !stopped && exitCode == 0; }
    // Why it did not succeed, in a few words, for a message.
    QString FailureText(int timeoutSeconds) const;
};

// Runs the program with the arguments in a process group of its own (see RunGroupProcess) and
// waits for it, asking `stopRequested` every 100 ms. On a stop or when `timeoutSeconds` pass,
// the whole group is ended, so that nothing it started lives on.
ProgramRun RunProgram(const QString& program, const QStringList& arguments, int timeoutSeconds,
                      const std::function<bool()>& stopRequested);

} // namespace Tarnwick
