#include "groupprocess.h"

#include <QElapsedTimer>
#include <QProcess>

#ifndef Q_OS_WIN
#include <signal.h>
#include <unistd.h>
#endif

namespace Tarnwick {

namespace {

constexpr int PollMs = 100;

// Ends every process of the group that the started process leads. Children that put
// themselves into a group of their own are beyond reach, which yt-dlp and the tools it starts
// do not do.
void KillGroup(qint64 leader) {
#ifndef Q_OS_WIN
    if (leader > 0)
        ::kill(-static_cast<pid_t>(leader), SIGKILL);
#else
    Q_UNUSED(leader);
#endif
}

// Appends to a buffer that keeps only its last cap bytes.
void AppendTail(QByteArray& buffer, const QByteArray& data, qint64 cap) {
    buffer += data;
    if (buffer.size() > cap)
        buffer.remove(0, buffer.size() - cap);
}

class Runner {
public:
    explicit Runner(const GroupProcessRequest& request)
        : request_(request) {}

    GroupProcessResult Run() {
        process_.setProgram(request_.program);
        process_.setArguments(request_.arguments);
        if (!request_.workingFolder.isEmpty())
            process_.setWorkingDirectory(request_.workingFolder);
        process_.setInputChannelMode(QProcess::ManagedInputChannel);
#ifndef Q_OS_WIN
        process_.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
        process_.start(QIODevice::ReadOnly);
        if (!process_.waitForStarted(10000)) {
            result_.end = GroupProcessResult::End::NotStarted;
            result_.error = process_.errorString().toUtf8();
            return result_;
        }
        // Kept, because QProcess forgets the id once the process has ended, while what it
        // started may still run.
        leader_ = process_.processId();
        QElapsedTimer quiet;
        quiet.start();
        while (true) {
            const bool finished = process_.state() == QProcess::NotRunning;
            if (Drain())
                quiet.restart();
            if (finished)
                break;
            if (result_.end == GroupProcessResult::End::OutputTooLong)
                return Abort(result_.end);
            if (request_.shouldStop && request_.shouldStop())
                return Abort(GroupProcessResult::End::Stopped);
            if (quiet.elapsed() > request_.silenceLimitMs)
                return Abort(GroupProcessResult::End::Silent);
            process_.waitForReadyRead(PollMs);
            if (process_.state() == QProcess::NotRunning)
                process_.waitForFinished(0);
        }
        FlushPartialLine();
        // The process itself has ended; anything it left running in its group goes with it.
        KillGroup(leader_);
        if (process_.exitStatus() == QProcess::CrashExit) {
            result_.end = GroupProcessResult::End::Crashed;
        } else {
            result_.end = GroupProcessResult::End::Exited;
            result_.exitCode = process_.exitCode();
        }
        return result_;
    }

private:
    // Reads what both streams hold; true when there was anything.
    bool Drain() {
        const QByteArray error = process_.readAllStandardError();
        AppendTail(result_.error, error, request_.errorCap);
        const QByteArray output = process_.readAllStandardOutput();
        if (request_.outputLine) {
            pending_ += output;
            qsizetype start = 0;
            qsizetype end = 0;
            while ((end = pending_.indexOf('\n', start)) >= 0) {
                request_.outputLine(StripCarriageReturn(pending_.mid(start, end - start)));
                start = end + 1;
            }
            pending_.remove(0, start);
            // A line that never ends is cut rather than grown without bound.
            if (pending_.size() > 64 * 1024)
                FlushPartialLine();
        } else {
            result_.output += output;
            if (result_.output.size() > request_.outputCap)
                result_.end = GroupProcessResult::End::OutputTooLong;
        }
        return !error.isEmpty() || !output.isEmpty();
    }

    void FlushPartialLine() {
        if (request_.outputLine && !pending_.isEmpty())
            request_.outputLine(StripCarriageReturn(pending_));
        pending_.clear();
    }

    static QByteArray StripCarriageReturn(QByteArray line) {
        if (line.endsWith('\r'))
            line.chop(1);
        return line;
    }

    GroupProcessResult Abort(GroupProcessResult::End end) {
        KillGroup(leader_);
        process_.kill();
        process_.waitForFinished(5000);
        result_.end = end;
        return result_;
    }

    const GroupProcessRequest& request_;
    QProcess process_;
    GroupProcessResult result_;
    QByteArray pending_;
    qint64 leader_ = 0;
};

} // namespace

GroupProcessResult RunGroupProcess(const GroupProcessRequest& request) {
    return Runner(request).Run();
}

} // namespace Tarnwick
