#include "videofilter.h"

#include "engineerror.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/pixdesc.h>
}

namespace VarnexEngine {

namespace {

std::string Describe(const CropMargins& crop, const PictureTarget& target, int width, int height) {
    std::string chain;
    if (crop.left > 0 || crop.top > 0 || crop.right > 0 || crop.bottom > 0) {
        const int croppedWidth = width - crop.left - crop.right;
        const int croppedHeight = height - crop.top - crop.bottom;
        if (croppedWidth <= 0 || croppedHeight <= 0)
            throw EngineError("The crop margins leave no picture of the " + std::to_string(width) + "x" +
                              std::to_string(height) + " source.");
        chain += "crop=" + std::to_string(croppedWidth) + ":" + std::to_string(croppedHeight) + ":" +
                 std::to_string(crop.left) + ":" + std::to_string(crop.top) + ",";
    }
    chain +=
        "scale=" + std::to_string(target.width) + ":" + std::to_string(target.height) + ":flags=bicubic,";
    chain += "setsar=1,";
    chain += "fps=" + std::to_string(target.frameRate.num) + "/" + std::to_string(target.frameRate.den) + ",";
    chain += std::string("format=pix_fmts=") + av_get_pix_fmt_name(target.pixelFormat);
    return chain;
}

} // namespace

VideoFilter::VideoFilter(const AVFrame& first, const CropMargins& crop, const PictureTarget& target)
    : width_(first.width)
    , height_(first.height)
    , format_(first.format) {
    graph_ = avfilter_graph_alloc();
    if (graph_ == nullptr)
        throw EngineError("Out of memory for the picture filter.");
    try {
        const AVRational sar =
            first.sample_aspect_ratio.num > 0 ? first.sample_aspect_ratio : AVRational{1, 1};
        const std::string sourceArgs =
            "video_size=" + std::to_string(first.width) + "x" + std::to_string(first.height) +
            ":pix_fmt=" + std::to_string(first.format) + ":time_base=1/" + std::to_string(AV_TIME_BASE) +
            ":pixel_aspect=" + std::to_string(sar.num) + "/" + std::to_string(sar.den);
        CheckAv(avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in",
                                             sourceArgs.c_str(), nullptr, graph_),
                "Cannot set up the picture filter");
        CheckAv(avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                             nullptr, graph_),
                "Cannot set up the picture filter");

        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        int result = AVERROR(ENOMEM);
        if (outputs != nullptr && inputs != nullptr) {
            outputs->name = av_strdup("in");
            outputs->filter_ctx = source_;
            inputs->name = av_strdup("out");
            inputs->filter_ctx = sink_;
            const std::string chain = Describe(crop, target, first.width, first.height);
            result = avfilter_graph_parse_ptr(graph_, chain.c_str(), &inputs, &outputs, nullptr);
        }
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        CheckAv(result, "Cannot set up the picture filter");
        CheckAv(avfilter_graph_config(graph_, nullptr), "Cannot set up the picture filter");
    } catch (...) {
        avfilter_graph_free(&graph_);
        throw;
    }
}

VideoFilter::~VideoFilter() {
    avfilter_graph_free(&graph_);
}

bool VideoFilter::Accepts(const AVFrame& frame) const {
    return frame.width == width_ && frame.height == height_ && frame.format == format_;
}

void VideoFilter::Push(AVFrame* frame) {
    CheckAv(av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF),
            "The picture filter failed");
}

bool VideoFilter::Pull(AVFrame* frame) {
    const int result = av_buffersink_get_frame(sink_, frame);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
        return false;
    CheckAv(result, "The picture filter failed");
    return true;
}

} // namespace VarnexEngine
