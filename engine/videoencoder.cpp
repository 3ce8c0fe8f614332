#include "videoencoder.h"

#include "engineerror.h"
#include "ffmpegaudioencoder.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace VarnexEngine {

namespace {

constexpr AVRational kFallbackFrameRate{25, 1};

bool ListsPixelFormat(const AVPixelFormat* formats, AVPixelFormat wanted) {
    for (; formats != nullptr && *formats != AV_PIX_FMT_NONE; ++formats) {
        if (*formats == wanted)
            return true;
    }
    return false;
}

AVPixelFormat ChoosePixelFormat(const AVCodec* codec, const VideoRequest& request) {
    if (!request.pixelFormat.empty()) {
        const AVPixelFormat asked = av_get_pix_fmt(request.pixelFormat.c_str());
        if (asked == AV_PIX_FMT_NONE)
            throw EngineError("Unknown pixel format \"" + request.pixelFormat + "\" (-pix_fmt).");
        if (codec->pix_fmts != nullptr && !ListsPixelFormat(codec->pix_fmts, asked))
            throw EngineError("The video encoder " + request.encoderName +
                              " cannot take the pixel format \"" + request.pixelFormat + "\".");
        return asked;
    }
    if (codec->pix_fmts == nullptr)
        return AV_PIX_FMT_YUV420P;
    // M-JPEG takes limited-range pictures only when told to break the standard; its first
    // format is the full-range one that players expect.
    if (codec->id == AV_CODEC_ID_MJPEG)
        return codec->pix_fmts[0];
    // 4:2:0 plays on every device; other source formats are kept only when 4:2:0 is not offered.
    if (ListsPixelFormat(codec->pix_fmts, AV_PIX_FMT_YUV420P))
        return AV_PIX_FMT_YUV420P;
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, request.sourcePixelFormat, 0, nullptr);
}

AVRational ChooseFrameRate(const AVCodec* codec, const VideoRequest& request) {
    if (request.frameRate.num > 0 && request.frameRate.den > 0)
        return av_make_q(request.frameRate.num, request.frameRate.den);
    AVRational rate = request.sourceFrameRate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = kFallbackFrameRate;
    // Encoders with a fixed set of rates (MPEG-1/2) get the nearest one they offer.
    if (codec->supported_framerates != nullptr)
        rate = codec->supported_framerates[av_find_nearest_q_idx(rate, codec->supported_framerates)];
    return rate;
}

// Subsampled pictures need even sides; an odd source side loses its last line.
int EvenSide(int side) {
    return side > 1 ? side & ~1 : side;
}

} // namespace

VideoEncoder::VideoEncoder(const VideoRequest& request) {
    const AVCodec* codec = FindFfmpegEncoder(request.encoderName, AVMEDIA_TYPE_VIDEO);
    if (codec == nullptr)
        throw EngineError("This build of FFmpeg has no encoder for the video codec \"" + request.encoderName +
                          "\".");
    const AVPixelFormat pixelFormat = ChoosePixelFormat(codec, request);
    context_ = avcodec_alloc_context3(codec);
    if (context_ == nullptr)
        throw EngineError("Out of memory for the video encoder.");

    const bool sizeAsked = request.width > 0 && request.height > 0;
    context_->width = sizeAsked ? request.width : EvenSide(request.sourceWidth);
    context_->height = sizeAsked ? request.height : EvenSide(request.sourceHeight);
    context_->pix_fmt = pixelFormat;
    context_->sample_aspect_ratio = AVRational{1, 1};
    AVRational rate = ChooseFrameRate(codec, request);
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, 65535); // MPEG-4 time bases stop at 65535
    context_->framerate = rate;
    context_->time_base = av_inv_q(rate);
    if (request.bitRate > 0)
        context_->bit_rate = request.bitRate;
    context_->thread_count = 0; // as many as the machine has
    if (request.globalHeader)
        context_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    const int result = avcodec_open2(context_, codec, nullptr);
    if (result < 0) {
        const std::string text =
            DescribeFailure("The video encoder " + request.encoderName + " refused the settings", result);
        avcodec_free_context(&context_);
        throw EngineError(text);
    }
}

VideoEncoder::~VideoEncoder() {
    avcodec_free_context(&context_);
}

void VideoEncoder::Send(const AVFrame* frame) {
    const int result = avcodec_send_frame(context_, frame);
    if (result < 0 && result != AVERROR_EOF)
        CheckAv(result, "The video encoder failed");
}

bool VideoEncoder::Receive(AVPacket* packet) {
    const int result = avcodec_receive_packet(context_, packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
        return false;
    CheckAv(result, "The video encoder failed");
    return true;
}

void VideoEncoder::FillParameters(AVCodecParameters* parameters) const {
    CheckAv(avcodec_parameters_from_context(parameters, context_), "Cannot describe the video stream");
}

} // namespace VarnexEngine
