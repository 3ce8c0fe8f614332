#pragma once

#include "consolesink.h"
#include "queue/downloadrun.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/job/journal/journalchangemaker.h"
#include "retrieval/transfer/httptransfer.h"

#include <QList>
#include <deque>
#include <memory>

namespace Tarnwick {

class JobJournal;

// Runs jobs from the command line: states are printed as they change, the overwrite question is
// asked on the terminal (or answered "no" when there is none to ask on), and the run's summary
// is the window's.
class ConsoleJobContext : public JobContext, public RunFrontEnd {
public:
    ConsoleJobContext(QString outputFolder, QString videoHost, QString ytDlpPath, OverwritePolicy policy);
    ~ConsoleJobContext() override;

    // A job for url, to go into the output folder at quality.
    int AddJob(const QString& url, VideoQuality quality);
    // A job an earlier run left unfinished, with its own choices and kept download.
    int AddJob(const DownloadJob& job);
    // Records the unfinished jobs in journal at every change from now on; a stopped job then
    // keeps its download.
    void SetJournal(JobJournal* journal);
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
    bool KeepsUnfinished() const override { return journal_ != nullptr; }
    void PartialChanged(int index) override;
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
    // Records the jobs from first to last as they are now.
    void Record(int first, int last);

    // A deque: the job procedure holds a reference to its job while others are recorded, which
    // an implicitly shared list would detach from.
    std::deque<DownloadJob> jobs_;
    JobJournal* journal_ = nullptr;
    JournalChangeMaker changeMaker_;
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
