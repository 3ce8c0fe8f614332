#pragma once

#include "retrieval/sources/mediaresolver.h"
#include "retrieval/sources/ytdlp/ytdlpextraction.h"

#include <functional>

namespace Tarnwick {

// Lets yt-dlp read the web pages that the resolver hands on, and keeps its answer for the job.
// yt-dlp is looked for only when a page comes to it: a direct link, a playlist or a watch page
// never needs it, and looking costs a start of the Python program.
class YtDlpPageReader : public PageReader {
public:
    using ProgramLookup = std::function<const YtDlpProgram&()>;

    // An extraction that stays silent for twice the transfer's stall limit has failed: yt-dlp
    // may load several pages of a site before it says anything.
    YtDlpPageReader(ProgramLookup program, ProgressSink* sink, int stallSeconds, TransferNetwork network = {})
        : program_(std::move(program))
        , sink_(sink)
        , silenceSeconds_(2 * stallSeconds)
        , network_(std::move(network)) {}

    Result Read(const QString& pageUrl) override {
        const YtDlpProgram& program = program_();
        if (!program.IsFound())
            return Result::Unavailable;
        extraction_ = ExtractWithYtDlp(program, pageUrl, sink_, silenceSeconds_, network_);
        switch (extraction_.outcome) {
        case YtDlpExtraction::Outcome::Found:
            return extraction_.generic ? Result::Generic : Result::Resolved;
        case YtDlpExtraction::Outcome::NoVideo:
            return Result::NoVideo;
        case YtDlpExtraction::Outcome::Stopped:
            return Result::Stopped;
        case YtDlpExtraction::Outcome::Failed:
            break;
        }
        return Result::Failed;
    }
    QString FailureReason() const override { return extraction_.reason; }

    const YtDlpExtraction& Extraction() const { return extraction_; }
    int SilenceSeconds() const { return silenceSeconds_; }

private:
    ProgramLookup program_;
    ProgressSink* sink_;
    int silenceSeconds_;
    TransferNetwork network_;
    YtDlpExtraction extraction_;
};

} // namespace Tarnwick
