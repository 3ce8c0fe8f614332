#include "runprogress.h"

#include "stopwakeup.h"

#include <QMutexLocker>

namespace Tarnwick {

int ProgressBarPosition(int stepCount, RunPhase phase, int value, int total) {
    const double t = total == 0 ? 100.0 : total;
    const double v = value;
    switch (phase) {
    case RunPhase::PhasePrepare:
        return 0;
    case RunPhase::PhaseDownload:
        return static_cast<int>(stepCount == 3 ? v * 50.0 / t : v * 100.0 / t);
    case RunPhase::PhaseConvert:
        return static_cast<int>(stepCount == 3 ? v * 50.0 / t + 50.0 : v);
    }
    return value;
}

void RunDisplayBoard::SetBar(int position) {
    QMutexLocker lock(&mutex_);
    pending_.bar = position;
}

void RunDisplayBoard::SetPercent(const QString& text) {
    QMutexLocker lock(&mutex_);
    pending_.percent = text;
}

void RunDisplayBoard::SetStatus(const QString& text) {
    QMutexLocker lock(&mutex_);
    pending_.status = text;
}

void RunDisplayBoard::SetTitle(const QString& text) {
    QMutexLocker lock(&mutex_);
    pending_.title = text;
}

RunDisplayBoard::Snapshot RunDisplayBoard::Take() {
    QMutexLocker lock(&mutex_);
    Snapshot taken = std::move(pending_);
    pending_ = {};
    return taken;
}

void RunDisplayBoard::DropStatus() {
    QMutexLocker lock(&mutex_);
    pending_.status.reset();
}

QString JobStateStatusText(JobState state) {
    switch (state) {
    case JobState::Preparing:
        return QStringLiteral("Preparing for download...");
    case JobState::Downloading:
        return QStringLiteral("Begin downloading...");
    case JobState::Converting:
        return QStringLiteral("Begin converting...");
    case JobState::Succeeded:
        return QStringLiteral("Download successfully");
    case JobState::Failed:
        return QStringLiteral("Download unsuccessfully");
    case JobState::Stopped:
        return QStringLiteral("Stopped");
    case JobState::Idle:
    case JobState::Skipped:
        break;
    }
    return {};
}

QString JobCounterPrefix(const RunState& run) {
    return QStringLiteral("[%1 / %2] ").arg(run.currentIndex.load() + 1).arg(run.itemCount.load());
}

RunProgressSink::RunProgressSink(RunState& run, RunDisplayBoard& board, QString productTitle)
    : run_(run)
    , board_(board)
    , productTitle_(std::move(productTitle)) {}

int RunProgressSink::Begin() {
    shown_ = {};
    return 0;
}

int RunProgressSink::End() {
    board_.SetTitle(productTitle_);
    shown_ = {};
    return 0;
}

int RunProgressSink::Progress(int kind, int value) {
    if (kind == ProgressTotal) {
        run_.total = value == 0 ? 100 : value;
        return 0;
    }
    const RunPhase phase = run_.Phase();
    const int position = ProgressBarPosition(run_.stepCount, phase, value, run_.total);
    const ShownPosition now{position, phase, run_.currentIndex.load(), run_.itemCount.load()};
    if (now == shown_)
        return 0;
    shown_ = now;
    board_.SetBar(position);
    if (phase != RunPhase::PhasePrepare) {
        board_.SetPercent(QStringLiteral("%1 %").arg(position));
        board_.SetTitle(QStringLiteral("%1% [%2/%3] - %4")
                            .arg(position)
                            .arg(run_.currentIndex.load() + 1)
                            .arg(run_.itemCount.load())
                            .arg(productTitle_));
    }
    return 0;
}

int RunProgressSink::Status(int kind, const QString& text) {
    if (kind == StatusResult && !text.isEmpty())
        lastResult_ = text;
    // The end of a wait needs no line of its own while data flows.
    if (kind == StatusWaiting && text.isEmpty() && run_.Phase() != RunPhase::PhasePrepare)
        return 0;
    switch (run_.Phase()) {
    case RunPhase::PhaseDownload:
        board_.SetStatus(CounterPrefix() + QStringLiteral("Downloading: ") + text);
        break;
    case RunPhase::PhaseConvert:
        board_.SetStatus(CounterPrefix() + QStringLiteral("Converting: ") + text);
        break;
    case RunPhase::PhasePrepare:
        // Resolving the page says nothing but that it prepares, except while it waits to try
        // again, which may take a while; once the wait is over it says so again.
        if (kind == StatusWaiting)
            board_.SetStatus(CounterPrefix() +
                             (text.isEmpty() ? JobStateStatusText(JobState::Preparing) : text));
        break;
    }
    return 0;
}

const QString& RunProgressSink::CounterPrefix() {
    const int index = run_.currentIndex.load();
    const int count = run_.itemCount.load();
    if (index != prefixIndex_ || count != prefixCount_) {
        counterPrefix_ = JobCounterPrefix(run_);
        prefixIndex_ = index;
        prefixCount_ = count;
    }
    return counterPrefix_;
}

void RunState::RequestStop(StopRequest kind) {
    stopRequest = static_cast<int>(kind);
    StopWakeup::WakeAll();
}

QString StopReasonText(StopRequest request) {
    switch (request) {
    case StopRequest::Stop:
        return QStringLiteral("Stopped by the user");
    case StopRequest::StopAndClose:
        return QStringLiteral("Stopped because the program was closed");
    case StopRequest::None:
        break;
    }
    return QString();
}

int RunProgressSink::IsCancelled() {
    return run_.StopRequested() ? 1 : 0;
}

} // namespace Tarnwick
