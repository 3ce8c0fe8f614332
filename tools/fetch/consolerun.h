#pragma once

#include "consolesink.h"
#include "queue/converterslots.h"
#include "queue/outputclaims.h"
#include "queue/scheduledrun.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/job/journal/journalchangemaker.h"
#include "retrieval/transfer/httptransfer.h"
#include "retrieval/transfer/sharedrate.h"

#include <QList>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace Tarnwick {

class JobJournal;

// A run from the command line: the list of jobs, what they share (the overwrite answers, the
// engine, yt-dlp, the journal, the speed limit) and the terminal they print to. States are
// printed as they change, one line per event with its "[i/n]", so that the lines of several
// jobs at once stay readable; the overwrite question is asked on the terminal, one at a time
// (or answered "no" when there is none to ask on), and the summary is the window's.
//
// Each job runs with a ConsoleJob of its own; every member here may be reached from several
// job threads at once.
class ConsoleRun : public ScheduledFrontEnd {
public:
    ConsoleRun(QString outputFolder, QString videoHost, QString ytDlpPath, OverwritePolicy policy);
    ~ConsoleRun() override;

    // A job for url, to go into the output folder at quality.
    // exactFormat: the one format to take (an id --list-formats printed); empty: the rule's.
    void AddJob(const QString& url, VideoQuality quality, const QString& exactFormat = QString());
    // A job an earlier run left unfinished, with its own choices and kept download.
    void AddJob(const DownloadJob& job);
    // Records the unfinished jobs in journal at every change from now on; a stopped job then
    // keeps its download.
    void SetJournal(JobJournal* journal);

    // Shorter waits for scripted runs against a local service; 0 and 1.0 keep the defaults.
    void SetStallSeconds(int seconds) { stallSeconds_ = seconds; }
    void SetRetryWaitScale(double scale) { retryWaitScale_ = scale; }
    void SetSegmentConnections(int connections) { segmentConnections_ = connections; }
    void SetEmbedMetadata(bool embed) { embedMetadata_ = embed; }
    void SetCookies(const CookieSources& cookies) { cookies_ = cookies; }
    void SetSubtitles(const SubtitleWish& wish) { subtitles_ = wish; }
    void SetPictureWish(int largestPicture, const QString& preferredCodec) {
        largestPicture_ = largestPicture;
        preferredCodec_ = preferredCodec;
    }
    void SetLimits(const RunLimits& limits) { limits_ = limits; }
    // KiB/s, 0: none.
    void SetSpeedLimit(int kibPerSecond) { rate_.SetLimit(qint64(kibPerSecond) * 1024); }
    void SetProxy(const QString& proxy) { proxy_ = proxy; }

    QString OutputFolder() const { return outputFolder_; }
    // Safe in a signal handler: one lock-free store, which every job's sink looks at.
    void RequestStop() { stop_ = true; }

    // ScheduledFrontEnd
    QList<RowAddress> Rows() override;
    std::shared_ptr<JobContext> ContextFor(quint64 id, int index) override;
    RunLimits Limits() override { return limits_; }
    void InProgressChanged(int count) override;
    void FolderMissing(const QString& folder) override;
    void ShowProgressDisplay(bool) override {}
    int SelectJob(int) override;
    int ItemCount() override;
    void ShowSummary(const QString& text) override;

private:
    friend class ConsoleJob;

    // What a job's context asks of the run, by the job's id (its row may move meanwhile).
    void SetState(quint64 id, JobState state);
    void Record(quint64 id);
    bool InsertAfter(quint64 id, const QList<DownloadJob>& jobs);
    int AskOverwrite(const QString& fileName);
    ConversionEngine* Engine();
    void ConfigureTransfer(HttpTransfer& transfer);
    // The row of id now, or -1; called with mutex_ held.
    int RowOf(quint64 id) const;
    // Records the rows from first to last as they are now; called with mutex_ held.
    void RecordRows(int first, int last);

    mutable std::mutex mutex_; // guards the list, the journal and the terminal
    // Records behind stable pointers: a job's procedure holds its own while rows are inserted.
    std::vector<std::unique_ptr<DownloadJob>> jobs_;
    JobJournal* journal_ = nullptr;
    JournalChangeMaker changeMaker_;
    QString outputFolder_;
    QString videoHost_;
    YtDlpOnce ytDlp_;
    std::mutex engineMutex_;
    std::unique_ptr<ConversionEngine> engine_;
    bool engineTried_ = false;
    std::mutex askMutex_; // one overwrite question at a time
    std::atomic<int> policy_;
    std::atomic<bool> stop_{false};
    int stallSeconds_ = 0;
    double retryWaitScale_ = 1.0;
    int segmentConnections_ = HttpTransfer::DefaultSegmentConnections;
    int largestPicture_ = 0;
    QString preferredCodec_;
    bool embedMetadata_ = true;
    CookieSources cookies_;
    SubtitleWish subtitles_;
    RunLimits limits_;
    SharedRate rate_;
    QString proxy_;
    // One conversion at a time: the engine's notifications carry no context of their own.
    ConverterSlots converters_{ConvertersAtOnce()};
    OutputClaims claims_;
};

// The state's name as the job list shows it.
QString JobStateName(JobState state);

} // namespace Tarnwick
