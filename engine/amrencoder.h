#pragma once

#include "audioencoder.h"

#include <deque>

namespace VarnexEngine {

// AMR speech encoding through the opencore-amrnb (narrow band, 8 kHz) and vo-amrwbenc (wide
// band, 16 kHz) libraries, which Debian's FFmpeg does not wrap. Each 20 ms frame becomes one
// packet in the storage format (table-of-contents byte, then the speech bits) that the 3GP
// and AMR muxers expect.
class AmrEncoder : public AudioEncoder {
public:
    explicit AmrEncoder(const AudioRequest& request);
    ~AmrEncoder() override;
    AmrEncoder(const AmrEncoder&) = delete;
    AmrEncoder& operator=(const AmrEncoder&) = delete;

    int SampleRate() const override { return wideBand_ ? 16000 : 8000; }
    const AVChannelLayout& ChannelLayout() const override { return layout_; }
    AVSampleFormat SampleFormat() const override { return AV_SAMPLE_FMT_S16; }
    int FrameSize() const override { return wideBand_ ? 320 : 160; }
    void Send(const AVFrame* frame) override;
    bool Receive(AVPacket* packet) override;
    void FillParameters(AVCodecParameters* parameters) const override;

    // The mode whose bit rate is nearest to bitRate (the default mode for 0), and that
    // mode's rate.
    static int ChooseMode(bool wideBand, int64_t bitRate, int* modeBitRate);

private:
    bool wideBand_;
    int mode_ = 0;
    int bitRate_ = 0;
    void* state_ = nullptr;
    AVChannelLayout layout_ = AV_CHANNEL_LAYOUT_MONO;
    std::deque<AVPacket*> ready_;
};

} // namespace VarnexEngine
