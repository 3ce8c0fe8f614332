#pragma once

#include "jobstate.h"
#include "progresssink.h"

#include <QMutex>
#include <QString>
#include <atomic>
#include <optional>
#include <utility>

namespace Tarnwick {

// The bar position for a reported position value of a job: a run without conversion fills the
// bar during each download; a run with conversion fills half during the download and the other
// half during the conversion. Positions while the page is fetched keep the bar at 0.
int ProgressBarPosition(int stepCount, RunPhase phase, int value, int total);

// The run-wide values shared by the window, the worker and the sinks. The window writes the
// stop request and the item count; the worker writes the rest.
struct RunState {
    std::atomic<int> stopRequest{static_cast<int>(StopRequest::None)};
    std::atomic<int> currentIndex{-1};
    std::atomic<int> itemCount{0};
    std::atomic<int> phase{static_cast<int>(RunPhase::PhasePrepare)};
    std::atomic<int> stepCount{2};
    std::atomic<int> total{100};

    bool StopRequested() const { return stopRequest.load() != static_cast<int>(StopRequest::None); }
    // Sets the stop request and wakes whatever waits for it, so the transfer ends at once.
    void RequestStop(StopRequest kind);
    RunPhase Phase() const { return static_cast<RunPhase>(phase.load()); }
};

// What a run wants shown, coalesced: the worker leaves the newest value of each display item
// here and the window takes them at its own pace, so a fast transfer cannot flood the
// window's thread, and the last value is never lost.
class RunDisplayBoard {
public:
    struct Snapshot {
        std::optional<int> bar;
        std::optional<QString> percent;
        std::optional<QString> status;
        std::optional<QString> title;
        bool IsEmpty() const { return !bar && !percent && !status && !title; }
    };

    void SetBar(int position);
    void SetPercent(const QString& text);
    void SetStatus(const QString& text);
    void SetTitle(const QString& text);
    // Hands over what changed since the last call, and forgets it.
    Snapshot Take();
    // Forgets a pending status line: a state change replaces it.
    void DropStatus();

private:
    QMutex mutex_;
    Snapshot pending_;
};

// One of the window's two progress sinks: turns a transfer's or a conversion's reports into
// the bar, the percentage, the status line and the window title of the run.
class RunProgressSink : public ProgressSink {
public:
    RunProgressSink(RunState& run, RunDisplayBoard& board, QString productTitle);

    int Begin() override;
    int End() override;
    int Progress(int kind, int value) override;
    int Status(int kind, const QString& text) override;
    int IsCancelled() override;

    // The last error text reported since the previous call (empty when none), and forgets it:
    // the reason a job failed, for the job's record.
    QString TakeResult() { return std::exchange(lastResult_, QString()); }

private:
    // What the bar, percent text and title were last set from. A transfer reports every 4 KiB,
    // but these change only with the whole percent, so the texts are built only when they do.
    struct ShownPosition {
        int position = -1;
        RunPhase phase = RunPhase::PhasePrepare;
        int index = -1;
        int itemCount = -1;
        bool operator==(const ShownPosition&) const = default;
    };

    RunState& run_;
    RunDisplayBoard& board_;
    QString productTitle_;
    ShownPosition shown_;
    QString lastResult_;
    // "[%d / %d] " for the job in progress, and the index and count it was made for.
    QString counterPrefix_;
    int prefixIndex_ = -1;
    int prefixCount_ = -1;

    const QString& CounterPrefix();
};

// Why a job ended by a stop request failed, as its failure text says it; empty for None.
QString StopReasonText(StopRequest request);

// What the status line says when a job enters the state; empty for states it does not announce.
QString JobStateStatusText(JobState state);

// "[%d / %d] " of the job in progress.
QString JobCounterPrefix(const RunState& run);

} // namespace Tarnwick
