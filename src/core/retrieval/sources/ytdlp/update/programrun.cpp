#include "programrun.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <csignal>
#include <unistd.h>

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
    ProgramRun run;
    QProcess process;
#ifndef Q_OS_WIN
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(10000)) {
        run.startError = process.errorString();
        return run;
    }
    run.started = true;
    process.closeWriteChannel();
    const auto endGroup = [&process] {
#ifndef Q_OS_WIN
        ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
#endif
        process.kill();
        process.waitForFinished(5000);
    };
    QDeadlineTimer deadline{std::chrono::seconds(timeoutSeconds)};
    while (!process.waitForFinished(50)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (stopRequested && stopRequested()) {
            run.stopped = true;
            endGroup();
            return run;
        }
        if (deadline.hasExpired()) {
            run.timedOut = true;
            endGroup();
            return run;
        }
    }
    run.output = process.readAllStandardOutput();
    run.errorOutput = process.readAllStandardError();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

} // namespace Tarnwick
