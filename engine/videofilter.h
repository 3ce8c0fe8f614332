#pragma once

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavutil/frame.h>
}

#include <string>

namespace VarnexEngine {

struct CropMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The pictures as the encoder wants them.
struct PictureTarget {
    int width = 0;
    int height = 0;
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    AVRational frameRate{25, 1};
};

// Crops, scales, converts the pixel format and fixes the frame rate (dropping or repeating
// pictures) between decoder and encoder. Pictures go in with timestamps in microseconds and
// come out numbered in frame intervals.
class VideoFilter {
public:
    VideoFilter(const AVFrame& first, const CropMargins& crop, const PictureTarget& target);
    ~VideoFilter();
    VideoFilter(const VideoFilter&) = delete;
    VideoFilter& operator=(const VideoFilter&) = delete;

    // True when a picture of this shape can go in without a new filter.
    bool Accepts(const AVFrame& frame) const;
    // A null frame ends the input.
    void Push(AVFrame* frame);
    // The next filtered picture into frame; false when none is ready.
    bool Pull(AVFrame* frame);

private:
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int format_ = -1;
};

} // namespace VarnexEngine
