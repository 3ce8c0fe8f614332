#include "windowjobcontext.h"

#include "retrieval/transfer/httptransfer.h"
#include "runwindow.h"
#include "ui/vendor.h"
#include "windowruncontext.h"

namespace Tarnwick {

WindowJobContext::WindowJobContext(WindowRunContext& run, DownloadJob record, bool alone)
    : run_(run)
    , record_(std::move(record))
    , alone_(alone) {
    if (alone_) {
        downloadSink_ = std::make_unique<RunProgressSink>(run.run_, run.board_, ProductTitle);
        conversionSink_ = std::make_unique<RunProgressSink>(run.run_, run.board_, ProductTitle);
    } else {
        const bool converts = run.options_.convert;
        downloadSink_ = std::make_unique<RowProgressSink>(record_.id, RunPhase::PhaseDownload, converts,
                                                          run.run_, run.rows_);
        conversionSink_ = std::make_unique<RowProgressSink>(record_.id, RunPhase::PhaseConvert, converts,
                                                            run.run_, run.rows_);
    }
}

WindowJobContext::~WindowJobContext() {
    run_.claims_.Release(record_.id);
    if (!alone_)
        run_.rows_.Remove(record_.id);
}

QString WindowJobContext::LastResult() {
    const auto take = [](ProgressSink* sink) {
        if (auto* run = dynamic_cast<RunProgressSink*>(sink))
            return run->TakeResult();
        if (auto* row = dynamic_cast<RowProgressSink*>(sink))
            return row->TakeResult();
        return QString();
    };
    const QString conversion = take(conversionSink_.get());
    const QString download = take(downloadSink_.get());
    return conversion.isEmpty() ? download : conversion;
}

void WindowJobContext::SetJobState(int, JobState state) {
    record_.state = state;
    if (state == JobState::Failed && run_.run_.StopRequested()) {
        // A stopped transfer or conversion ends without an error of its own; say who stopped it.
        record_.failureText = StopReasonText(static_cast<StopRequest>(run_.run_.stopRequest.load()));
    } else if (state == JobState::Failed && record_.failureText.isEmpty()) {
        // The procedure gave no reason of its own: the last error its transfer or conversion said.
        record_.failureText = LastResult();
    }
    const DownloadJob shown = record_;
    run_.OnWindowThread([this, &shown] {
        const int row = run_.window_.RowOfJob(shown.id);
        if (row >= 0)
            run_.window_.ShowJobRecord(row, shown);
    });
}

void WindowJobContext::PartialChanged(int) {
    const DownloadJob record = record_;
    run_.OnWindowThread([this, &record] {
        const int row = run_.window_.RowOfJob(record.id);
        if (row >= 0)
            run_.window_.UpdateJobRecord(row, record);
    });
}

bool WindowJobContext::InsertJobs(int, const QList<DownloadJob>& jobs) {
    bool inserted = false;
    run_.OnWindowThread([this, &jobs, &inserted] {
        const int row = run_.window_.RowOfJob(record_.id);
        if (row >= 0) {
            run_.window_.InsertJobs(row, jobs);
            inserted = true;
        }
    });
    return inserted;
}

QString WindowJobContext::OutputFolder() const {
    return run_.options_.outputFolder;
}

QString WindowJobContext::VideoHost() const {
    return run_.videoHost_;
}

int WindowJobContext::LargestPicture() const {
    return run_.options_.largestPicture;
}

QString WindowJobContext::PreferredCodec() const {
    return run_.options_.preferredCodec;
}

bool WindowJobContext::EmbedsMetadata() const {
    return run_.options_.embedMetadata;
}

CookieSources WindowJobContext::Cookies() const {
    return run_.options_.cookies;
}

const SubtitleWish& WindowJobContext::Subtitles() const {
    return run_.options_.subtitles;
}

const Preset* WindowJobContext::SelectedPreset() const {
    return run_.preset_ ? &*run_.preset_ : nullptr;
}

ConversionEngine* WindowJobContext::Engine() {
    return run_.engine_;
}

OverwritePolicy WindowJobContext::Policy() const {
    return OverwritePolicy(run_.policy_.load());
}

void WindowJobContext::SetPolicy(OverwritePolicy policy) {
    run_.policy_ = int(policy);
}

int WindowJobContext::AskOverwrite(const QString& fileName) {
    return run_.AskOverwrite(fileName);
}

void WindowJobContext::SetPhase(RunPhase phase) {
    if (alone_)
        run_.run_.phase = static_cast<int>(phase);
}

void WindowJobContext::ResetProgress() {
    if (alone_) {
        run_.board_.SetBar(0);
        run_.board_.SetPercent(QString());
    }
}

void WindowJobContext::ConfigureTransfer(HttpTransfer& transfer) {
    transfer.SetSegmentConnections(run_.options_.segmentConnections);
    transfer.SetNetwork(run_.options_.network);
}

bool WindowJobContext::KeepsUnfinished() const {
    return run_.keepsUnfinished_;
}

const YtDlpProgram& WindowJobContext::YtDlp() {
    return run_.ytDlp_.Get();
}

ConverterSlots* WindowJobContext::Converters() {
    return &run_.converters_;
}

bool WindowJobContext::ClaimOutput(const QString& path) {
    return run_.claims_.Claim(record_.id, path);
}

} // namespace Tarnwick
