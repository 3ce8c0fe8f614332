#pragma once

#include "audioencoder.h"

namespace VarnexEngine {

// An audio encoder of FFmpeg's libraries.
class FfmpegAudioEncoder : public AudioEncoder {
public:
    explicit FfmpegAudioEncoder(const AudioRequest& request);
    ~FfmpegAudioEncoder() override;

    int SampleRate() const override { return context_->sample_rate; }
    const AVChannelLayout& ChannelLayout() const override { return context_->ch_layout; }
    AVSampleFormat SampleFormat() const override { return context_->sample_fmt; }
    int FrameSize() const override;
    void Send(const AVFrame* frame) override;
    bool Receive(AVPacket* packet) override;
    void FillParameters(AVCodecParameters* parameters) const override;

private:
    AVCodecContext* context_ = nullptr;
};

// Finds FFmpeg's encoder by its name, or by a codec name such as "mp3"; null when none.
const AVCodec* FindFfmpegEncoder(const std::string& name, AVMediaType type);

} // namespace VarnexEngine
