#pragma once

#include "audioencoder.h"
#include "convertoptions.h"
#include "decoder.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <memory>

namespace VarnexEngine {

class InputFile;
class OutputFile;

// One audio stream from its input to the output: decode, resample and re-channel for the
// encoder, collect the samples in a FIFO so that encoders with a fixed frame size get whole
// frames, encode, and hand the packets to the muxer.
class AudioPipeline {
public:
    AudioPipeline(const InputFile& input, int streamIndex, const ConvertOptions& options, OutputFile& output);
    ~AudioPipeline();
    AudioPipeline(const AudioPipeline&) = delete;
    AudioPipeline& operator=(const AudioPipeline&) = delete;

    const InputFile& Input() const { return input_; }
    int StreamIndex() const { return streamIndex_; }

    void Feed(const AVPacket* packet);
    void Finish();
    bool Done() const { return done_; }
    int64_t ReachedUs() const { return reachedUs_; }
    const Decoder& SourceDecoder() const { return decoder_; }

private:
    void Release();
    void OnDecoded(AVFrame* frame);
    void SetUpResampler(const AVFrame& frame);
    void Resample(const AVFrame* frame);
    // Encodes whole frames from the FIFO; at the end also the rest, padded with silence.
    void EncodeQueued(bool final);
    void Encode(const AVFrame* frame);

    const InputFile& input_;
    int streamIndex_;
    int64_t durationUs_;
    OutputFile& output_;
    int outputIndex_ = -1;
    Decoder decoder_;
    std::unique_ptr<AudioEncoder> encoder_;
    SwrContext* resampler_ = nullptr;
    AVChannelLayout resamplerLayout_{};
    int resamplerRate_ = 0;
    int resamplerFormat_ = -1;
    AVAudioFifo* fifo_ = nullptr;
    AVFrame* converted_ = nullptr;
    AVPacket* packet_ = nullptr;
    int64_t nextPts_ = AV_NOPTS_VALUE; // in samples of the encoder's rate
    int64_t reachedUs_ = 0;
    bool done_ = false;
};

} // namespace VarnexEngine
