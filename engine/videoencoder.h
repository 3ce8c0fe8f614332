#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstdint>
#include <string>

namespace VarnexEngine {

// What the option line asks of the video encoder, with the source's values for whatever it
// leaves open. Zero or empty means "not asked".
struct VideoRequest {
    std::string encoderName; // today's name
    std::string pixelFormat;
    int width = 0;
    int height = 0;
    AVRational frameRate{0, 0};
    int64_t bitRate = 0;
    int sourceWidth = 0; // after cropping
    int sourceHeight = 0;
    AVRational sourceFrameRate{0, 0};
    AVPixelFormat sourcePixelFormat = AV_PIX_FMT_NONE;
    bool globalHeader = false;
};

// An open video encoder of FFmpeg's libraries. Its time base is one frame interval, so frames
// are numbered 0, 1, 2, ... Failures, including the encoder's own refusal of a size or rate,
// throw EngineError with the encoder's text.
class VideoEncoder {
public:
    explicit VideoEncoder(const VideoRequest& request);
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    int Width() const { return context_->width; }
    int Height() const { return context_->height; }
    AVPixelFormat PixelFormat() const { return context_->pix_fmt; }
    AVRational FrameRate() const { return context_->framerate; }
    AVRational TimeBase() const { return context_->time_base; }

    // A null frame starts the flush.
    void Send(const AVFrame* frame);
    bool Receive(AVPacket* packet);
    void FillParameters(AVCodecParameters* parameters) const;

private:
    AVCodecContext* context_ = nullptr;
};

} // namespace VarnexEngine
