#include "programrun.h"

#include "retrieval/sources/ytdlp/groupprocess.h"

#include <QDeadlineTimer>

namespace Tarnwick {

QString ProgramRun::FailureText(int timeoutSeconds) const {
    if (!started)
        return QStringLiteral("cannot be started (%1)").arg(startError);
    if (stopped)
        return QStringLiteral("was stopped");
    if (timedOut)
        return QStringLiteral("gave no answer within %1 s").arg(timeoutSeconds);
    const QString firstError = QString::fromUtf8(errorOutput).trimmed().section(QLatin1Char('\n'), 0, 0);
    QString text =
        exitCode < 0 ? QStringLiteral("crashed") : QStringLiteral("ended with exit code %1").arg(exitCode);
    if (!firstError.isEmpty())
        text += QStringLiteral(": ") + firstError.left(200);
    return text;
}

ProgramRun RunProgram(const QString& program, const QStringList& arguments, int timeoutSeconds,
                      const std::function<bool()>& stopRequested) {
    const QDeadlineTimer deadline{std::chrono::seconds(timeoutSeconds)};
    bool timedOut = false;
    GroupProcessRequest request;
    request.program = program;
    request.arguments = arguments;
    request.silenceLimitMs = timeoutSeconds * 1000;
    request.shouldStop = [&] {
        if (stopRequested && stopRequested())
            return true;
        timedOut = deadline.hasExpired();
        return timedOut;
    };
    const GroupProcessResult result = RunGroupProcess(request);

    ProgramRun run;
    run.started = result.end != GroupProcessResult::End::NotStarted;
    if (!run.started) {
        run.startError = QString::fromUtf8(result.error);
        return run;
    }
    run.timedOut = timedOut || result.end == GroupProcessResult::End::Silent;
    run.stopped = result.end == GroupProcessResult::End::Stopped && !timedOut;
    run.output = result.output;
    run.errorOutput = result.error;
    run.exitCode = result.end == GroupProcessResult::End::Exited ? result.exitCode : -1;
    return run;
}

} // namespace Tarnwick
