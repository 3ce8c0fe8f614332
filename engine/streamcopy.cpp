#include "streamcopy.h"

#include "chaptermarks.h"
#include "coverpicture.h"
#include "engineerror.h"
#include "progresspacer.h"
#include "streammap.h"
#include "subtitletracks.h"

#include <algorithm>

namespace VarnexEngine {

namespace {

constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

// The kept kind's codec must be "copy", or left to follow the other kind's copy.
bool CopiesOrFollows(bool disabled, const std::string& codec) {
    return disabled || codec.empty() || codec == kCopyCodec;
}

} // namespace

StreamCopier::StreamCopier(const ConvertOptions& options, Notifier& notifier)
    : options_(options)
    , notifier_(notifier)
    , progress_(notifier, " (copy)") {}

StreamCopier::~StreamCopier() = default;

void StreamCopier::CheckOptions() const {
    if (!CopiesOrFollows(options_.disableVideo, options_.videoCodec) ||
        !CopiesOrFollows(options_.disableAudio, options_.audioCodec))
        throw EngineError("A stream copy copies every stream it keeps: \"copy\" cannot be combined with "
                          "encoding the other stream (-vcodec " +
                          options_.videoCodec + ", -acodec " + options_.audioCodec + ").");
    const struct {
        bool given;
        const char* option;
    } decodingOptions[] = {
        {options_.width > 0 || options_.height > 0, "-s"},
        {options_.frameRateNum > 0, "-r"},
        {options_.videoBitRate > 0, "-b"},
        {!options_.pixelFormat.empty(), "-pix_fmt"},
        {options_.cropLeft > 0 || options_.cropTop > 0 || options_.cropRight > 0 || options_.cropBottom > 0,
         "-crop..."},
        {options_.channels > 0, "-ac"},
        {options_.sampleRate > 0, "-ar"},
        {options_.audioBitRate > 0, "-ab"},
        {options_.startUs > 0, "-ss"},
    };
    for (const auto& entry : decodingOptions) {
        if (entry.given)
            throw EngineError(std::string("The option ") + entry.option +
                              " needs the stream decoded, which a stream copy (\"copy\") does not do.");
    }
}

void StreamCopier::ChooseAndAddStreams() {
    StreamChoice video;
    StreamChoice audio;
    ChooseStreams(inputs_, options_.maps, &video, &audio);
    if (video.input == nullptr && audio.input == nullptr)
        throw EngineError("The input \"" + inputs_.front()->Path() + "\" holds no video or audio stream.");

    std::vector<StreamChoice> kept;
    if (!options_.disableVideo && output_->CarriesVideo() && video.input != nullptr)
        kept.push_back(video);
    if (!options_.disableAudio && output_->CarriesAudio() && audio.input != nullptr)
        kept.push_back(audio);
    if (kept.empty())
        throw EngineError("Nothing to copy: the output takes none of the input's streams.");

    for (const StreamChoice& choice : kept) {
        const AVStream* source = choice.input->Stream(choice.stream);
        AVStream* target = output_->AddStream();
        CheckAv(avcodec_parameters_copy(target->codecpar, source->codecpar),
                "Copying the stream's parameters");
        // The source container's tag may mean nothing in the target; its muxer picks its own.
        target->codecpar->codec_tag = 0;
        target->time_base = source->time_base;
        target->sample_aspect_ratio = source->sample_aspect_ratio;
        CopiedStream copied;
        copied.input = choice.input;
        copied.inputIndex = choice.stream;
        copied.outputIndex = output_->StreamCount() - 1;
        copied.shift =
            av_rescale_q(choice.input->OutputTimeUs(0, kMicroseconds), kMicroseconds, source->time_base);
        streams_.push_back(copied);
    }
    // The demuxers skip what is not copied instead of handing it over to be dropped.
    for (const auto& input : inputs_) {
        for (int i = 0; i < input->StreamCount(); ++i) {
            if (StreamOf(*input, i) == nullptr)
                input->Stream(i)->discard = AVDISCARD_ALL;
        }
    }
}

StreamCopier::CopiedStream* StreamCopier::StreamOf(const InputFile& input, int index) {
    for (CopiedStream& stream : streams_) {
        if (stream.input == &input && stream.inputIndex == index)
            return &stream;
    }
    return nullptr;
}

bool StreamCopier::InputNeeded(const InputFile& input) const {
    return std::any_of(streams_.begin(), streams_.end(),
                       [&](const CopiedStream& stream) { return stream.input == &input; });
}

InputFile* StreamCopier::NextInput() const {
    return NextInputInStep(inputs_, [this](const InputFile& input) { return InputNeeded(input); });
}

void StreamCopier::Copy() {
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (packet == nullptr)
        throw EngineError("Out of memory for a packet.");
    while (true) {
        if (notifier_.StopRequested())
            throw EngineError("The conversion was stopped.");
        InputFile* input = NextInput();
        if (input == nullptr)
            break;
        if (!input->Read(packet.get()))
            continue;
        CopiedStream* stream = StreamOf(*input, packet->stream_index);
        if (stream == nullptr) {
            av_packet_unref(packet.get());
            continue;
        }
        const AVRational timeBase = input->Stream(stream->inputIndex)->time_base;
        const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (stamp != AV_NOPTS_VALUE) {
            const int64_t startUs = input->OutputTimeUs(stamp, timeBase);
            if (options_.durationUs > 0 && startUs >= options_.durationUs) {
                // Past -t: this stream is done, the others may still fill up to it.
                cutShort_ = true;
                av_packet_unref(packet.get());
                streams_.erase(streams_.begin() + (stream - streams_.data()));
                continue;
            }
            stream->reachedUs =
                std::max(stream->reachedUs, input->OutputTimeUs(stamp + packet->duration, timeBase));
        }
        if (packet->pts != AV_NOPTS_VALUE)
            packet->pts += stream->shift;
        if (packet->dts != AV_NOPTS_VALUE)
            packet->dts += stream->shift;
        packet->pos = -1;
        ++stream->packets;
        output_->Write(packet.get(), stream->outputIndex, timeBase);
        av_packet_unref(packet.get());
        if (output_->SizeLimitReached()) {
            cutShort_ = true;
            break;
        }
        progress_.Report(output_->PositionMs(), false);
    }
    if (notifier_.StopRequested())
        throw EngineError("The conversion was stopped.");
}

// A copy that stopped well short of the length its input states did not succeed, however
// quietly the demuxer reached its end.
void StreamCopier::CheckComplete() const {
    if (output_->PacketsWritten() == 0)
        throw EngineError("Nothing was copied: the input holds no packets of the chosen streams.");
    if (cutShort_)
        return;
    for (const CopiedStream& copied : streams_) {
        const AVStream* stream = copied.input->Stream(copied.inputIndex);
        if (copied.packets == 0)
            throw EngineError("Nothing was copied from \"" + copied.input->Path() + "\".");
        if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0)
            continue;
        const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        const int64_t statedUs = copied.input->OutputTimeUs(start + stream->duration, stream->time_base);
        const int64_t toleranceUs = std::max<int64_t>(500000, statedUs / 20);
        if (copied.reachedUs + toleranceUs < statedUs)
            throw EngineError("The input \"" + copied.input->Path() + "\" ends at " +
                              FormatClock(copied.reachedUs / 1000) + ", before its stated length of " +
                              FormatClock(statedUs / 1000) + ": it is truncated or damaged.");
    }
}

void StreamCopier::Run() {
    progress_.Start();
    CheckOptions();
    for (const InputOption& option : options_.inputs)
        inputs_.push_back(std::make_unique<InputFile>(option, 0));
    output_ = std::make_unique<OutputFile>(options_);
    ChooseAndAddStreams();
    int64_t totalUs = 0;
    for (const auto& input : inputs_) {
        if (InputNeeded(*input) && input->DurationUs() > 0)
            totalUs = std::max(totalUs, input->DurationUs() + input->OffsetUs());
    }
    if (options_.durationUs > 0 && (totalUs == 0 || options_.durationUs < totalUs))
        totalUs = options_.durationUs;
    AddSubtitleTracks(options_, *output_);
    AddCoverPicture(options_, *output_);
    AddChapterMarks(options_, totalUs, *output_);
    output_->Open(options_);
    progress_.SetTotal(totalUs / 1000);

    Copy();
    CheckComplete();
    output_->Finish();
    progress_.Finish(output_->PositionMs());
}

} // namespace VarnexEngine
