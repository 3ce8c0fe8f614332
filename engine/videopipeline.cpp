#include "videopipeline.h"

#include "engineerror.h"
#include "inputfile.h"
#include "namemap.h"
#include "outputfile.h"

namespace VarnexEngine {

namespace {
constexpr AVRational kMicroseconds{1, AV_TIME_BASE};
}

VideoPipeline::VideoPipeline(const InputFile& input, int streamIndex, const ConvertOptions& options,
                             OutputFile& output)
    : input_(input)
    , streamIndex_(streamIndex)
    , durationUs_(options.durationUs)
    , crop_{options.cropLeft, options.cropTop, options.cropRight, options.cropBottom}
    , output_(output)
    , decoder_(input.Stream(streamIndex)) {
    AVStream* stream = input.Stream(streamIndex);
    const AVCodecContext* source = decoder_.Context();

    VideoRequest request;
    // Without -vcodec the container's usual video codec is used.
    request.encoderName = options.videoCodec.empty() ? avcodec_get_name(output.Format()->video_codec)
                                                     : MapCodecName(options.videoCodec).name;
    request.pixelFormat = options.pixelFormat;
    request.width = options.width;
    request.height = options.height;
    request.frameRate = AVRational{options.frameRateNum, options.frameRateDen};
    request.bitRate = options.videoBitRate;
    request.sourceWidth = source->width - crop_.left - crop_.right;
    request.sourceHeight = source->height - crop_.top - crop_.bottom;
    if (source->width <= 0 || source->height <= 0)
        throw EngineError("The input's video stream does not tell its picture size.");
    if (request.sourceWidth <= 0 || request.sourceHeight <= 0)
        throw EngineError("The crop margins leave no picture of the " + std::to_string(source->width) + "x" +
                          std::to_string(source->height) + " source.");
    request.sourceFrameRate = av_guess_frame_rate(input.Context(), stream, nullptr);
    request.sourcePixelFormat = source->pix_fmt;
    request.globalHeader = output.NeedsGlobalHeader();
    encoder_ = std::make_unique<VideoEncoder>(request);
    target_ =
        PictureTarget{encoder_->Width(), encoder_->Height(), encoder_->PixelFormat(), encoder_->FrameRate()};

    AVStream* out = output.AddStream();
    outputIndex_ = out->index;
    encoder_->FillParameters(out->codecpar);
    out->time_base = encoder_->TimeBase();
    out->avg_frame_rate = encoder_->FrameRate();
    out->r_frame_rate = encoder_->FrameRate();
    out->sample_aspect_ratio = AVRational{1, 1};

    filtered_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (filtered_ == nullptr || packet_ == nullptr) {
        av_frame_free(&filtered_);
        av_packet_free(&packet_);
        throw EngineError("Out of memory for the video stream.");
    }
}

VideoPipeline::~VideoPipeline() {
    av_frame_free(&filtered_);
    av_packet_free(&packet_);
}

void VideoPipeline::Feed(const AVPacket* packet) {
    if (done_)
        return;
    decoder_.Decode(packet, [this](AVFrame* frame) { OnDecoded(frame); });
}

void VideoPipeline::OnDecoded(AVFrame* frame) {
    if (done_)
        return;
    const int64_t stamp = frame->best_effort_timestamp;
    if (stamp == AV_NOPTS_VALUE)
        return; // a picture with no time cannot be placed
    const AVRational timeBase = input_.Stream(streamIndex_)->time_base;
    const int64_t timeUs = input_.OutputTimeUs(stamp, timeBase);
    if (timeUs < 0)
        return; // before the start time (-ss)
    if (durationUs_ > 0 && timeUs >= durationUs_) {
        done_ = true;
        return;
    }
    const int64_t lengthUs =
        frame->pkt_duration > 0 ? av_rescale_q(frame->pkt_duration, timeBase, kMicroseconds) : 0;
    if (timeUs + lengthUs > reachedUs_)
        reachedUs_ = timeUs + lengthUs;

    // A stream whose picture size or format changes gets a filter for the new shape.
    if (filter_ == nullptr || !filter_->Accepts(*frame)) {
        if (filter_ != nullptr) {
            filter_->Push(nullptr);
            Drain();
        }
        filter_ = std::make_unique<VideoFilter>(*frame, crop_, target_);
    }
    frame->pts = timeUs;
    filter_->Push(frame);
    Drain();
}

void VideoPipeline::Drain() {
    while (filter_->Pull(filtered_)) {
        filtered_->pict_type = AV_PICTURE_TYPE_NONE; // let the encoder choose its own key frames
        Encode(filtered_);
        av_frame_unref(filtered_);
    }
}

void VideoPipeline::Encode(const AVFrame* frame) {
    encoder_->Send(frame);
    while (encoder_->Receive(packet_)) {
        output_.Write(packet_, outputIndex_, encoder_->TimeBase());
        av_packet_unref(packet_);
    }
}

void VideoPipeline::Finish() {
    if (!done_)
        decoder_.Decode(nullptr, [this](AVFrame* frame) { OnDecoded(frame); });
    if (filter_ != nullptr) {
        filter_->Push(nullptr);
        Drain();
    }
    Encode(nullptr);
}

} // namespace VarnexEngine
