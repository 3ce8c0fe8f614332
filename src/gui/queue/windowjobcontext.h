#pragma once

#include "queue/rowprogress.h"
#include "queue/runprogress.h"
#include "retrieval/job/jobcontext.h"

#include <memory>

namespace Tarnwick {

class WindowRunContext;

// The context of one job of a window's run. The worker fills its own copy of the job and hands
// it to the window by value with each state change, so it never writes a record that the window
// reads while painting; the window finds the job's row by its id, since rows may be inserted
// or removed before it while it runs. A job that runs alone reports to the run's bar, status
// line and title as a run always did; one of several reports to its own row.
class WindowJobContext : public JobContext {
public:
    WindowJobContext(WindowRunContext& run, DownloadJob record, bool alone);

    DownloadJob& Job(int) override { return record_; }
    void SetJobState(int index, JobState state) override;
    QString OutputFolder() const override;
    QString VideoHost() const override;
    int LargestPicture() const override;
    QString PreferredCodec() const override;
    bool EmbedsMetadata() const override;
    CookieSources Cookies() const override;
    const SubtitleWish& Subtitles() const override;
    const Preset* SelectedPreset() const override;
    ConversionEngine* Engine() override;
    OverwritePolicy Policy() const override;
    void SetPolicy(OverwritePolicy policy) override;
    int AskOverwrite(const QString& fileName) override;
    ProgressSink* DownloadSink() override { return downloadSink_.get(); }
    ProgressSink* ConversionSink() override { return conversionSink_.get(); }
    void SetPhase(RunPhase phase) override;
    void ResetProgress() override;
    void ConfigureTransfer(HttpTransfer& transfer) override;
    bool KeepsUnfinished() const override;
    void PartialChanged(int index) override;
    const YtDlpProgram& YtDlp() override;
    bool InsertJobs(int index, const QList<DownloadJob>& jobs) override;
    ConverterSlots* Converters() override;
    bool ClaimOutput(const QString& path) override;
    ~WindowJobContext() override;

private:
    // The reason of the last error the sinks heard, the conversion's first.
    QString LastResult();

    WindowRunContext& run_;
    DownloadJob record_;
    bool alone_;
    std::unique_ptr<ProgressSink> downloadSink_;
    std::unique_ptr<ProgressSink> conversionSink_;
};

} // namespace Tarnwick
