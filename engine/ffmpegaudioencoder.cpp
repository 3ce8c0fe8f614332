#include "ffmpegaudioencoder.h"

#include "engineerror.h"

#include <cstdlib>

namespace VarnexEngine {

namespace {

bool ListsFormat(const AVSampleFormat* formats, AVSampleFormat wanted) {
    for (; formats != nullptr && *formats != AV_SAMPLE_FMT_NONE; ++formats) {
        if (*formats == wanted)
            return true;
    }
    return false;
}

AVSampleFormat ChooseSampleFormat(const AVCodec* codec, AVSampleFormat source) {
    if (codec->sample_fmts == nullptr)
        return source != AV_SAMPLE_FMT_NONE ? source : AV_SAMPLE_FMT_S16;
    return ListsFormat(codec->sample_fmts, source) ? source : codec->sample_fmts[0];
}

// The encoder's supported rate nearest to the wanted one; the wanted one when it has no list.
int NearestSampleRate(const AVCodec* codec, int wanted) {
    if (codec->supported_samplerates == nullptr)
        return wanted;
    int best = codec->supported_samplerates[0];
    for (const int* rate = codec->supported_samplerates; *rate != 0; ++rate) {
        if (std::abs(*rate - wanted) < std::abs(best - wanted))
            best = *rate;
    }
    return best;
}

void ChooseLayout(const AVCodec* codec, int channels, AVChannelLayout* layout) {
    av_channel_layout_default(layout, channels);
    if (codec->ch_layouts == nullptr)
        return;
    const AVChannelLayout* best = nullptr;
    for (const AVChannelLayout* candidate = codec->ch_layouts; candidate->nb_channels != 0; ++candidate) {
        if (av_channel_layout_compare(candidate, layout) == 0)
            return;
        if (best == nullptr ||
            std::abs(candidate->nb_channels - channels) < std::abs(best->nb_channels - channels))
            best = candidate;
    }
    if (best != nullptr) {
        av_channel_layout_uninit(layout);
        av_channel_layout_copy(layout, best);
    }
}

} // namespace

const AVCodec* FindFfmpegEncoder(const std::string& name, AVMediaType type) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (codec == nullptr) {
        if (const AVCodecDescriptor* descriptor = avcodec_descriptor_get_by_name(name.c_str()))
            codec = avcodec_find_encoder(descriptor->id);
    }
    return codec != nullptr && codec->type == type ? codec : nullptr;
}

FfmpegAudioEncoder::FfmpegAudioEncoder(const AudioRequest& request) {
    const std::string& name = request.encoder.name;
    const AVCodec* codec = FindFfmpegEncoder(name, AVMEDIA_TYPE_AUDIO);
    if (codec == nullptr)
        throw EngineError("This build of FFmpeg has no encoder for the audio codec \"" + name + "\".");
    context_ = avcodec_alloc_context3(codec);
    if (context_ == nullptr)
        throw EngineError("Out of memory for the audio encoder.");

    context_->sample_fmt = ChooseSampleFormat(codec, request.sourceFormat);
    // An asked-for rate or channel count goes to the encoder as is, so that one it refuses
    // fails with its own message; values taken from the source are fitted to what it offers.
    context_->sample_rate =
        request.sampleRate > 0
            ? request.sampleRate
            : NearestSampleRate(codec, request.sourceSampleRate > 0 ? request.sourceSampleRate : 44100);
    if (request.channels > 0)
        av_channel_layout_default(&context_->ch_layout, request.channels);
    else
        ChooseLayout(codec, request.sourceChannels > 0 ? request.sourceChannels : 2, &context_->ch_layout);
    if (request.bitRate > 0)
        context_->bit_rate = request.bitRate;
    context_->time_base = AVRational{1, context_->sample_rate};
    if (request.globalHeader)
        context_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    const int result = avcodec_open2(context_, codec, nullptr);
    if (result < 0) {
        const std::string text =
            DescribeFailure("The audio encoder " + name + " refused the settings", result);
        avcodec_free_context(&context_);
        throw EngineError(text);
    }
}

FfmpegAudioEncoder::~FfmpegAudioEncoder() {
    avcodec_free_context(&context_);
}

int FfmpegAudioEncoder::FrameSize() const {
    if (context_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE)
        return 0;
    return context_->frame_size;
}

void FfmpegAudioEncoder::Send(const AVFrame* frame) {
    const int result = avcodec_send_frame(context_, frame);
    if (result < 0 && result != AVERROR_EOF)
        CheckAv(result, "The audio encoder failed");
}

bool FfmpegAudioEncoder::Receive(AVPacket* packet) {
    const int result = avcodec_receive_packet(context_, packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
        return false;
    CheckAv(result, "The audio encoder failed");
    return true;
}

void FfmpegAudioEncoder::FillParameters(AVCodecParameters* parameters) const {
    CheckAv(avcodec_parameters_from_context(parameters, context_), "Cannot describe the audio stream");
}

} // namespace VarnexEngine
