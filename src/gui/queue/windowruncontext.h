#pragma once

#include "conversion/preset.h"
#include "queue/downloadrun.h"
#include "queue/runprogress.h"
#include "retrieval/job/jobcontext.h"

#include <optional>

class QObject;

namespace Tarnwick {

class RunWindow;

// The worker's side of a run: what the per-job procedure and the run loop ask of the window.
// Every call that touches the window runs on the window's thread and returns when the window
// has done it; progress and status go through the display board instead, coalesced.
//
// The worker fills its own copy of the job in progress and hands it to the window by value
// with each state change, so it never writes a record that the window reads while painting.
class WindowRunContext : public JobContext, public RunFrontEnd {
public:
    // windowObject lives on the window's thread; window is the same window's run interface.
    WindowRunContext(QObject& windowObject, RunWindow& window, RunState& run, RunDisplayBoard& board,
                     RunOptions options, QString videoHost, QString ytDlpPath, const Preset* preset,
                     ConversionEngine* engine, OverwritePolicy policy, bool keepsUnfinished);

    // JobContext
    DownloadJob& Job(int index) override;
    void SetJobState(int index, JobState state) override;
    QString OutputFolder() const override { return options_.outputFolder; }
    QString VideoHost() const override { return videoHost_; }
    const Preset* SelectedPreset() const override { return preset_ ? &*preset_ : nullptr; }
    ConversionEngine* Engine() override { return engine_; }
    OverwritePolicy Policy() const override { return policy_; }
    void SetPolicy(OverwritePolicy policy) override { policy_ = policy; }
    int AskOverwrite(const QString& fileName) override;
    ProgressSink* DownloadSink() override { return &downloadSink_; }
    ProgressSink* ConversionSink() override { return &conversionSink_; }
    void SetPhase(RunPhase phase) override;
    void ResetProgress() override;
    void ConfigureTransfer(HttpTransfer& transfer) override;
    bool KeepsUnfinished() const override { return keepsUnfinished_; }
    void PartialChanged(int index) override;
    const YtDlpProgram& YtDlp() override { return ytDlp_.Get(); }
    bool InsertJobs(int index, const QList<DownloadJob>& jobs) override;

    // RunFrontEnd
    void FolderMissing(const QString& folder) override;
    void ShowProgressDisplay(bool shown) override;
    int SelectJob(int index) override;
    int ItemCount() override;
    void ShowSummary(const QString& text) override;

    const RunOptions& Options() const { return options_; }

private:
    // Runs function on the window's thread and waits for it.
    template <typename Function>
    void OnWindowThread(Function&& function);
    void TakeRecord(int index);

    QObject& windowObject_;
    RunWindow& window_;
    RunState& run_;
    RunDisplayBoard& board_;
    RunOptions options_;
    QString videoHost_;
    // Looked for on the worker when a page first needs it, once per run.
    YtDlpOnce ytDlp_;
    // A copy taken when the run starts: the Presets dialog may replace the catalogue's presets
    // while the worker converts with this one.
    std::optional<Preset> preset_;
    ConversionEngine* engine_;
    OverwritePolicy policy_;
    bool keepsUnfinished_;
    RunProgressSink downloadSink_;
    RunProgressSink conversionSink_;
    int jobIndex_ = -1;
    DownloadJob record_;
};

} // namespace Tarnwick
