#pragma once

#include "conversion/preset.h"
#include "queue/converterslots.h"
#include "queue/downloadrun.h"
#include "queue/outputclaims.h"
#include "queue/rowprogress.h"
#include "queue/runprogress.h"
#include "queue/scheduledrun.h"
#include "retrieval/sources/ytdlp/ytdlplocator.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

class QObject;

namespace Tarnwick {

class ConversionEngine;
class RunWindow;

// The worker's side of a run: what the run loop asks of the window, and what the jobs of the
// run share (the overwrite answers, yt-dlp, the preset, the engine's slots, the names being
// delivered). Each job gets a WindowJobContext of its own. Every call that touches the window
// runs on the window's thread and returns when the window has done it; progress and status go
// through the display boards instead, coalesced.
class WindowRunContext : public ScheduledFrontEnd {
public:
    // windowObject lives on the window's thread; window is the same window's run interface.
    // limits is asked before every start, on the window's thread.
    WindowRunContext(QObject& windowObject, RunWindow& window, RunState& run, RunDisplayBoard& board,
                     RowProgressBoard& rows, RunOptions options, QString videoHost, QString ytDlpPath,
                     const Preset* preset, ConversionEngine* engine, OverwritePolicy policy,
                     bool keepsUnfinished, std::function<RunLimits()> limits);

    // ScheduledFrontEnd
    QList<RowAddress> Rows() override;
    std::shared_ptr<JobContext> ContextFor(quint64 id, int index) override;
    RunLimits Limits() override;
    void InProgressChanged(int count) override;
    void FolderMissing(const QString& folder) override;
    void ShowProgressDisplay(bool shown) override;
    int SelectJob(int index) override;
    int ItemCount() override;
    void ShowSummary(const QString& text) override;

    const RunOptions& Options() const { return options_; }

    // Runs function on the window's thread and waits for it.
    template <typename Function>
    void OnWindowThread(Function&& function);

private:
    friend class WindowJobContext;

    int AskOverwrite(const QString& fileName);

    QObject& windowObject_;
    RunWindow& window_;
    RunState& run_;
    RunDisplayBoard& board_;
    RowProgressBoard& rows_;
    RunOptions options_;
    QString videoHost_;
    // Looked for on the worker when a page first needs it, once per run.
    YtDlpOnce ytDlp_;
    // A copy taken when the run starts: the Presets dialog may replace the catalogue's presets
    // while the worker converts with this one.
    std::optional<Preset> preset_;
    ConversionEngine* engine_;
    std::atomic<int> policy_;
    std::mutex askMutex_; // one overwrite question at a time
    bool keepsUnfinished_;
    std::function<RunLimits()> limits_;
    // As the last start was allowed: a job started one at a time reports to the run's bar.
    std::atomic<int> atOnce_{1};
    // One conversion at a time: the engine's notifications carry no context of their own.
    ConverterSlots converters_{ConvertersAtOnce()};
    OutputClaims claims_;
};

template <typename Function>
void WindowRunContext::OnWindowThread(Function&& function) {
    if (QThread::currentThread() == windowObject_.thread()) {
        function();
        return;
    }
    QMetaObject::invokeMethod(&windowObject_, std::forward<Function>(function), Qt::BlockingQueuedConnection);
}

} // namespace Tarnwick
