#include "transcoder.h"

#include "chaptermarks.h"
#include "coverpicture.h"
#include "engineerror.h"
#include "streammap.h"
#include "subtitletracks.h"

#include <algorithm>

namespace VarnexEngine {

namespace {

struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

} // namespace

Transcoder::Transcoder(const ConvertOptions& options, Notifier& notifier)
    : options_(options)
    , notifier_(notifier)
    , progress_(notifier) {}

Transcoder::~Transcoder() = default;

void Transcoder::OpenInputs() {
    for (const InputOption& option : options_.inputs)
        inputs_.push_back(std::make_unique<InputFile>(option, options_.startUs));
}

void Transcoder::BuildPipelines() {
    output_ = std::make_unique<OutputFile>(options_);
    StreamChoice video;
    StreamChoice audio;
    ChooseStreams(inputs_, options_.maps, &video, &audio);

    const bool wantVideo = !options_.disableVideo && output_->CarriesVideo();
    const bool wantAudio = !options_.disableAudio && output_->CarriesAudio();
    if (wantVideo && video.input != nullptr)
        video_ = std::make_unique<VideoPipeline>(*video.input, video.stream, options_, *output_);
    if (wantAudio && audio.input != nullptr)
        audio_ = std::make_unique<AudioPipeline>(*audio.input, audio.stream, options_, *output_);
    if (video_ != nullptr || audio_ != nullptr) {
        DiscardUnusedStreams();
        return;
    }

    if (video.input == nullptr && audio.input == nullptr)
        throw EngineError("The input \"" + inputs_.front()->Path() + "\" holds no video or audio stream.");
    if (wantAudio && audio.input == nullptr)
        throw EngineError("Nothing to convert: the output takes audio, and the input has no audio stream.");
    if (wantVideo && video.input == nullptr)
        throw EngineError("Nothing to convert: the output takes video, and the input has no video stream.");
    throw EngineError("Nothing to convert: the output takes none of the input's streams.");
}

// The demuxers skip what no pipeline takes instead of handing it over to be dropped.
void Transcoder::DiscardUnusedStreams() {
    for (const auto& input : inputs_) {
        for (int i = 0; i < input->StreamCount(); ++i) {
            const bool used =
                (video_ != nullptr && &video_->Input() == input.get() && video_->StreamIndex() == i) ||
                (audio_ != nullptr && &audio_->Input() == input.get() && audio_->StreamIndex() == i);
            if (!used)
                input->Stream(i)->discard = AVDISCARD_ALL;
        }
    }
}

bool Transcoder::InputNeeded(const InputFile& input) const {
    return (video_ != nullptr && &video_->Input() == &input && !video_->Done()) ||
           (audio_ != nullptr && &audio_->Input() == &input && !audio_->Done());
}

InputFile* Transcoder::NextInput() const {
    return NextInputInStep(inputs_, [this](const InputFile& input) { return InputNeeded(input); });
}

bool Transcoder::AllDone() const {
    return (video_ == nullptr || video_->Done()) && (audio_ == nullptr || audio_->Done());
}

void Transcoder::Dispatch(const InputFile& input, const AVPacket* packet) {
    if (video_ != nullptr && &video_->Input() == &input && packet->stream_index == video_->StreamIndex())
        video_->Feed(packet);
    else if (audio_ != nullptr && &audio_->Input() == &input && packet->stream_index == audio_->StreamIndex())
        audio_->Feed(packet);
}

int64_t Transcoder::TotalMs() const {
    int64_t totalUs = 0;
    for (const auto& input : inputs_) {
        if (input->DurationUs() > 0)
            totalUs = std::max(totalUs, input->DurationUs() + input->OffsetUs() - options_.startUs);
    }
    if (options_.durationUs > 0 && (totalUs == 0 || options_.durationUs < totalUs))
        totalUs = options_.durationUs;
    return totalUs / 1000;
}

// A conversion that wrote nothing, or stopped well short of the length the input states,
// did not succeed, however quietly the demuxer reached its end.
void Transcoder::CheckComplete() const {
    if (output_->PacketsWritten() == 0)
        throw EngineError("Nothing was converted: no picture or sound could be decoded from the input.");
    if (options_.durationUs > 0 || sizeLimitReached_)
        return;
    for (const auto& input : inputs_) {
        // A stream that states its own length is held to it; otherwise the furthest of the
        // input's streams is held to the container's length, which is that of its longest.
        int64_t reachedUs = 0;
        bool judged = false;
        auto judge = [&](const InputFile& file, int streamIndex, int64_t streamReachedUs) {
            reachedUs = std::max(reachedUs, streamReachedUs);
            const AVStream* stream = file.Stream(streamIndex);
            if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0)
                return;
            const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
            RequireReached(file, streamReachedUs,
                           file.OutputTimeUs(start + stream->duration, stream->time_base));
            judged = true;
        };
        if (video_ != nullptr && &video_->Input() == input.get())
            judge(*input, video_->StreamIndex(), video_->ReachedUs());
        if (audio_ != nullptr && &audio_->Input() == input.get())
            judge(*input, audio_->StreamIndex(), audio_->ReachedUs());
        if (!judged && input->StatedDurationUs() > 0)
            RequireReached(*input, reachedUs,
                           input->StatedDurationUs() + input->OffsetUs() - options_.startUs);
    }
}

void Transcoder::RequireReached(const InputFile& input, int64_t reachedUs, int64_t statedUs) const {
    const int64_t toleranceUs = std::max<int64_t>(500000, statedUs / 20);
    if (statedUs > 0 && reachedUs > 0 && reachedUs + toleranceUs < statedUs)
        throw EngineError("The input \"" + input.Path() + "\" ends at " + FormatClock(reachedUs / 1000) +
                          ", before its stated length of " + FormatClock(statedUs / 1000) +
                          ": it is truncated or damaged.");
}

void Transcoder::Run() {
    progress_.Start();
    OpenInputs();
    BuildPipelines();
    AddSubtitleTracks(options_, *output_);
    AddCoverPicture(options_, *output_);
    AddChapterMarks(options_, TotalMs() * 1000, *output_);
    output_->Open(options_);
    progress_.SetTotal(TotalMs());

    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (packet == nullptr)
        throw EngineError("Out of memory for a packet.");
    while (!AllDone()) {
        if (notifier_.StopRequested())
            throw EngineError("The conversion was stopped.");
        InputFile* input = NextInput();
        if (input == nullptr)
            break;
        if (!input->Read(packet.get()))
            continue;
        Dispatch(*input, packet.get());
        av_packet_unref(packet.get());
        if (output_->SizeLimitReached()) {
            sizeLimitReached_ = true;
            break;
        }
        progress_.Report(output_->PositionMs(), false);
    }
    if (notifier_.StopRequested())
        throw EngineError("The conversion was stopped.");
    if (video_ != nullptr)
        video_->Finish();
    if (audio_ != nullptr)
        audio_->Finish();
    CheckComplete();
    output_->Finish();

    int damaged = 0;
    if (video_ != nullptr)
        damaged += video_->SourceDecoder().DamagedPackets();
    if (audio_ != nullptr)
        damaged += audio_->SourceDecoder().DamagedPackets();
    if (damaged > 0)
        notifier_.Activity(std::to_string(damaged) + " damaged packets of the input were skipped.");
    progress_.Finish(output_->PositionMs());
}

} // namespace VarnexEngine
