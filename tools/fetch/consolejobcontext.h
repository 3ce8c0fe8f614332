#pragma once

#include "consolesink.h"
#include "queue/downloadrun.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/transfer/httptransfer.h"

#include <QList>
#include <memory>

namespace Tarnwick {

// Runs jobs from the command line: states are printed as they change, the overwrite question is
// asked on the terminal (or answered "no" when there is none to ask on), and the run's summary
// is the window's.
class ConsoleJobContext : public JobContext, public RunFrontEnd {
public:
    ConsoleJobContext(QString outputFolder, QString videoHost, QString ytDlpPath, OverwritePolicy policy);
    ~ConsoleJobContext() override;

    int AddJob(const QString& url);
    int JobCount() const { return int(jobs_.size()); }
    ConsoleSink& Sink() { return sink_; }

    DownloadJob& Job(int index) override { return jobs_[index]; }
    void SetJobState(int index, JobState state) override;
    QString OutputFolder() const override { return outputFolder_; }
    QString VideoHost() const override { return videoHost_; }
    const Preset* SelectedPreset() const override { return nullptr; }
    // Opened when a job first needs it: a picture and its sound that come apart are merged.
    ConversionEngine* Engine() override;
    OverwritePolicy Policy() const override { return policy_; }
    void SetPolicy(OverwritePolicy policy) override { policy_ = policy; }
    int AskOverwrite(const QString& fileName) override;
    ProgressSink* DownloadSink() override { return &sink_; }
    ProgressSink* ConversionSink() override { return &sink_; }
    void SetPhase(RunPhase) override {}
    void ResetProgress() override {}
    void ConfigureTransfer(HttpTransfer& transfer) override;
    const YtDlpProgram& YtDlp() override { return ytDlp_.Get(); }
    bool InsertJobs(int index, const QList<DownloadJob>& jobs) override;

    // Shorter waits for scripted runs against a local service; 0 and 1.0 keep the defaults.
    void SetStallSeconds(int seconds) { stallSeconds_ = seconds; }
    void SetRetryWaitScale(double scale) { retryWaitScale_ = scale; }
    void SetSegmentConnections(int connections) { segmentConnections_ = connections; }

    // RunFrontEnd: the terminal has no list to select in and no progress display to switch.
    void FolderMissing(const QString& folder) override;
    void ShowProgressDisplay(bool) override {}
    int SelectJob(int) override { return JobCount(); }
    int ItemCount() override { return JobCount(); }
    void ShowSummary(const QString& text) override;

private:
    QList<DownloadJob> jobs_;
    QString outputFolder_;
    QString videoHost_;
    YtDlpOnce ytDlp_;
    std::unique_ptr<ConversionEngine> engine_;
    bool engineTried_ = false;
    OverwritePolicy policy_;
    ConsoleSink sink_{stdout};
    int stallSeconds_ = 0;
    double retryWaitScale_ = 1.0;
    int segmentConnections_ = HttpTransfer::DefaultSegmentConnections;
};

// The state's name as the job list shows it.
QString JobStateName(JobState state);

} // namespace Tarnwick
