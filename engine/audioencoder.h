#pragma once

#include "namemap.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <cstdint>
#include <memory>

namespace VarnexEngine {

// What the option line asks of the audio encoder, with the source's values for whatever it
// leaves open. Zero means "not asked".
struct AudioRequest {
    EncoderChoice encoder;
    int sampleRate = 0;
    int channels = 0;
    int64_t bitRate = 0;
    int sourceSampleRate = 0;
    int sourceChannels = 0;
    AVSampleFormat sourceFormat = AV_SAMPLE_FMT_NONE;
    bool globalHeader = false;
};

// An open audio encoder: takes frames in its own format, rate and layout, gives packets whose
// timestamps are in TimeBase(). Failures throw EngineError.
class AudioEncoder {
public:
    virtual ~AudioEncoder() = default;

    virtual int SampleRate() const = 0;
    virtual const AVChannelLayout& ChannelLayout() const = 0;
    virtual AVSampleFormat SampleFormat() const = 0;
    // Samples per frame the encoder insists on; 0 when any count will do.
    virtual int FrameSize() const = 0;
    AVRational TimeBase() const { return AVRational{1, SampleRate()}; }

    // A null frame starts the flush.
    virtual void Send(const AVFrame* frame) = 0;
    // False when no packet is ready (or, after the flush, none is left).
    virtual bool Receive(AVPacket* packet) = 0;
    virtual void FillParameters(AVCodecParameters* parameters) const = 0;
};

// Opens the encoder that the request's codec name maps to.
std::unique_ptr<AudioEncoder> OpenAudioEncoder(const AudioRequest& request);

} // namespace VarnexEngine
