#include "audiopipeline.h"

#include "engineerror.h"
#include "inputfile.h"
#include "namemap.h"
#include "outputfile.h"

namespace VarnexEngine {

namespace {

constexpr AVRational kMicroseconds{1, AV_TIME_BASE};
// Samples per frame for encoders that take any count.
constexpr int kFreeFrameSize = 1024;

// Some decoders leave the layout unspecified; the usual layout for the channel count is meant.
void UsableLayout(const AVChannelLayout& given, AVChannelLayout* layout) {
    if (given.order == AV_CHANNEL_ORDER_UNSPEC || given.nb_channels <= 0)
        av_channel_layout_default(layout, given.nb_channels > 0 ? given.nb_channels : 2);
    else
        av_channel_layout_copy(layout, &given);
}

} // namespace

AudioPipeline::AudioPipeline(const InputFile& input, int streamIndex, const ConvertOptions& options,
                             OutputFile& output)
    : input_(input)
    , streamIndex_(streamIndex)
    , durationUs_(options.durationUs)
    , output_(output)
    , decoder_(input.Stream(streamIndex)) {
    const AVCodecContext* source = decoder_.Context();
    AudioRequest request;
    // Without -acodec the container's usual audio codec is used.
    request.encoder = MapCodecName(options.audioCodec.empty() ? avcodec_get_name(output.Format()->audio_codec)
                                                              : options.audioCodec);
    request.sampleRate = options.sampleRate;
    request.channels = options.channels;
    request.bitRate = options.audioBitRate;
    request.sourceSampleRate = source->sample_rate;
    request.sourceChannels = source->ch_layout.nb_channels;
    request.sourceFormat = source->sample_fmt;
    request.globalHeader = output.NeedsGlobalHeader();
    encoder_ = OpenAudioEncoder(request);

    AVStream* out = output.AddStream();
    outputIndex_ = out->index;
    encoder_->FillParameters(out->codecpar);
    out->time_base = encoder_->TimeBase();

    fifo_ =
        av_audio_fifo_alloc(encoder_->SampleFormat(), encoder_->ChannelLayout().nb_channels, kFreeFrameSize);
    converted_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (fifo_ == nullptr || converted_ == nullptr || packet_ == nullptr) {
        Release();
        throw EngineError("Out of memory for the audio stream.");
    }
}

AudioPipeline::~AudioPipeline() {
    Release();
}

void AudioPipeline::Release() {
    swr_free(&resampler_);
    av_channel_layout_uninit(&resamplerLayout_);
    if (fifo_ != nullptr)
        av_audio_fifo_free(fifo_);
    fifo_ = nullptr;
    av_frame_free(&converted_);
    av_packet_free(&packet_);
}

void AudioPipeline::Feed(const AVPacket* packet) {
    if (done_)
        return;
    decoder_.Decode(packet, [this](AVFrame* frame) { OnDecoded(frame); });
}

void AudioPipeline::OnDecoded(AVFrame* frame) {
    if (done_ || frame->nb_samples <= 0 || frame->sample_rate <= 0)
        return;
    const AVRational timeBase = input_.Stream(streamIndex_)->time_base;
    const int64_t stamp = frame->best_effort_timestamp;
    const int64_t lengthUs = av_rescale(frame->nb_samples, AV_TIME_BASE, frame->sample_rate);
    // Untimed frames follow on from the last one.
    const int64_t timeUs = stamp != AV_NOPTS_VALUE ? input_.OutputTimeUs(stamp, timeBase) : reachedUs_;
    if (timeUs + lengthUs <= 0)
        return; // before the start time (-ss)
    if (durationUs_ > 0 && timeUs >= durationUs_) {
        done_ = true;
        return;
    }
    if (timeUs + lengthUs > reachedUs_)
        reachedUs_ = timeUs + lengthUs;
    if (nextPts_ == AV_NOPTS_VALUE)
        nextPts_ = av_rescale_q(timeUs > 0 ? timeUs : 0, kMicroseconds, encoder_->TimeBase());
    Resample(frame);
    EncodeQueued(false);
}

void AudioPipeline::SetUpResampler(const AVFrame& frame) {
    swr_free(&resampler_);
    av_channel_layout_uninit(&resamplerLayout_);
    UsableLayout(frame.ch_layout, &resamplerLayout_);
    resamplerRate_ = frame.sample_rate;
    resamplerFormat_ = frame.format;
    CheckAv(swr_alloc_set_opts2(&resampler_, const_cast<AVChannelLayout*>(&encoder_->ChannelLayout()),
                                encoder_->SampleFormat(), encoder_->SampleRate(), &resamplerLayout_,
                                static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr),
            "Cannot set up the audio resampler");
    CheckAv(swr_init(resampler_), "Cannot set up the audio resampler");
}

void AudioPipeline::Resample(const AVFrame* frame) {
    if (frame != nullptr &&
        (resampler_ == nullptr || frame->sample_rate != resamplerRate_ || frame->format != resamplerFormat_ ||
         frame->ch_layout.nb_channels != resamplerLayout_.nb_channels)) {
        if (resampler_ != nullptr)
            Resample(nullptr); // what the old resampler still holds
        SetUpResampler(*frame);
    }
    if (resampler_ == nullptr)
        return;
    // The decoder's layout may be unspecified; the resampler was set up with a usable one.
    AVFrame* input = nullptr;
    if (frame != nullptr) {
        input = av_frame_clone(frame);
        if (input == nullptr)
            throw EngineError("Out of memory for audio samples.");
        av_channel_layout_uninit(&input->ch_layout);
        av_channel_layout_copy(&input->ch_layout, &resamplerLayout_);
    }
    converted_->format = encoder_->SampleFormat();
    converted_->sample_rate = encoder_->SampleRate();
    av_channel_layout_copy(&converted_->ch_layout, &encoder_->ChannelLayout());
    const int result = swr_convert_frame(resampler_, converted_, input);
    av_frame_free(&input);
    CheckAv(result, "The audio resampler failed");
    if (converted_->nb_samples > 0 &&
        av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_->extended_data),
                            converted_->nb_samples) < converted_->nb_samples) {
        av_frame_unref(converted_);
        throw EngineError("Out of memory for audio samples.");
    }
    av_frame_unref(converted_);
}

void AudioPipeline::EncodeQueued(bool final) {
    const int frameSize = encoder_->FrameSize() > 0 ? encoder_->FrameSize() : kFreeFrameSize;
    while (av_audio_fifo_size(fifo_) >= frameSize || (final && av_audio_fifo_size(fifo_) > 0)) {
        const int available = av_audio_fifo_size(fifo_);
        const int take = available < frameSize ? available : frameSize;
        // A fixed-size encoder gets a whole last frame, the missing part silent.
        const int samples = encoder_->FrameSize() > 0 ? frameSize : take;
        AVFrame* frame = av_frame_alloc();
        if (frame == nullptr)
            throw EngineError("Out of memory for audio samples.");
        frame->nb_samples = samples;
        frame->format = encoder_->SampleFormat();
        frame->sample_rate = encoder_->SampleRate();
        av_channel_layout_copy(&frame->ch_layout, &encoder_->ChannelLayout());
        int result = av_frame_get_buffer(frame, 0);
        if (result >= 0) {
            av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->extended_data), take);
            if (take < samples)
                av_samples_set_silence(frame->extended_data, take, samples - take,
                                       frame->ch_layout.nb_channels, encoder_->SampleFormat());
            frame->pts = nextPts_;
            nextPts_ += samples;
        }
        try {
            CheckAv(result, "Out of memory for audio samples");
            Encode(frame);
        } catch (...) {
            av_frame_free(&frame);
            throw;
        }
        av_frame_free(&frame);
    }
}

void AudioPipeline::Encode(const AVFrame* frame) {
    encoder_->Send(frame);
    while (encoder_->Receive(packet_)) {
        output_.Write(packet_, outputIndex_, encoder_->TimeBase());
        av_packet_unref(packet_);
    }
}

void AudioPipeline::Finish() {
    if (!done_)
        decoder_.Decode(nullptr, [this](AVFrame* frame) { OnDecoded(frame); });
    if (nextPts_ != AV_NOPTS_VALUE) {
        Resample(nullptr);
        EncodeQueued(true);
    }
    Encode(nullptr);
}

} // namespace VarnexEngine
