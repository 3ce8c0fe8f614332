#pragma once

#include "consolesink.h"
#include "retrieval/job/jobcontext.h"

namespace Tarnwick {

class ConsoleRun;

// The context of one job of a ConsoleRun: its own record and sink; the rest is the run's.
// The index the procedure passes is only where the row was when it started.
class ConsoleJob : public JobContext {
public:
    // interactive: progress may rewrite one terminal line (only while the job runs alone).
    ConsoleJob(ConsoleRun& run, DownloadJob& record, bool interactive);
    ~ConsoleJob() override;

    DownloadJob& Job(int) override { return record_; }
    void SetJobState(int index, JobState state) override;
    QString OutputFolder() const override;
    QString VideoHost() const override;
    int LargestPicture() const override;
    QString PreferredCodec() const override;
    bool EmbedsMetadata() const override;
    CookieSources Cookies() const override;
    const SubtitleWish& Subtitles() const override;
    const Preset* SelectedPreset() const override { return nullptr; }
    // Opened when a job first needs it: a picture and its sound that come apart are merged.
    ConversionEngine* Engine() override;
    OverwritePolicy Policy() const override;
    void SetPolicy(OverwritePolicy policy) override;
    int AskOverwrite(const QString& fileName) override;
    ProgressSink* DownloadSink() override { return &sink_; }
    ProgressSink* ConversionSink() override { return &sink_; }
    void SetPhase(RunPhase) override {}
    void ResetProgress() override {}
    void ConfigureTransfer(HttpTransfer& transfer) override;
    bool KeepsUnfinished() const override;
    void PartialChanged(int index) override;
    ConverterSlots* Converters() override;
    bool ClaimOutput(const QString& path) override;
    const YtDlpProgram& YtDlp() override;
    bool InsertJobs(int index, const QList<DownloadJob>& jobs) override;

private:
    ConsoleRun& run_;
    DownloadJob& record_;
    ConsoleSink sink_;
};

} // namespace Tarnwick
