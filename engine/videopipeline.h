#pragma once

#include "convertoptions.h"
#include "decoder.h"
#include "videoencoder.h"
#include "videofilter.h"

#include <memory>

namespace VarnexEngine {

class InputFile;
class OutputFile;

// One video stream from its input to the output: decode, crop, scale, fix the frame rate and
// pixel format, encode, and hand the packets to the muxer.
class VideoPipeline {
public:
    VideoPipeline(const InputFile& input, int streamIndex, const ConvertOptions& options, OutputFile& output);
    ~VideoPipeline();
    VideoPipeline(const VideoPipeline&) = delete;
    VideoPipeline& operator=(const VideoPipeline&) = delete;

    const InputFile& Input() const { return input_; }
    int StreamIndex() const { return streamIndex_; }

    void Feed(const AVPacket* packet);
    // Drains decoder, filter and encoder at the end of the input.
    void Finish();
    // The duration (-t) is reached; further packets are ignored.
    bool Done() const { return done_; }
    // How far into the source the decoded pictures reached, in microseconds of output time.
    int64_t ReachedUs() const { return reachedUs_; }
    const Decoder& SourceDecoder() const { return decoder_; }

private:
    void OnDecoded(AVFrame* frame);
    void Drain();
    void Encode(const AVFrame* frame);

    const InputFile& input_;
    int streamIndex_;
    int64_t durationUs_;
    CropMargins crop_;
    PictureTarget target_;
    OutputFile& output_;
    int outputIndex_ = -1;
    Decoder decoder_;
    std::unique_ptr<VideoEncoder> encoder_;
    std::unique_ptr<VideoFilter> filter_;
    AVFrame* filtered_ = nullptr;
    AVPacket* packet_ = nullptr;
    int64_t reachedUs_ = 0;
    bool done_ = false;
};

} // namespace VarnexEngine
