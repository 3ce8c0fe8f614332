#include "decoder.h"

#include "engineerror.h"

namespace VarnexEngine {

Decoder::Decoder(const AVStream* stream) {
    const char* kind = stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? "video" : "audio";
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr)
        throw EngineError(std::string("No decoder for the input's ") + kind + " codec \"" +
                          avcodec_get_name(stream->codecpar->codec_id) + "\".");
    context_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    if (context_ == nullptr || frame_ == nullptr) {
        Release();
        throw EngineError("Out of memory for a decoder.");
    }
    int result = avcodec_parameters_to_context(context_, stream->codecpar);
    if (result >= 0) {
        context_->pkt_timebase = stream->time_base;
        context_->thread_count = 0; // as many as the machine has
        result = avcodec_open2(context_, codec, nullptr);
    }
    if (result < 0) {
        const std::string text =
            DescribeFailure(std::string("Cannot open the ") + kind + " decoder " + codec->name, result);
        Release();
        throw EngineError(text);
    }
}

Decoder::~Decoder() {
    Release();
}

void Decoder::Release() {
    av_frame_free(&frame_);
    avcodec_free_context(&context_);
}

void Decoder::Decode(const AVPacket* packet, const std::function<void(AVFrame*)>& onFrame) {
    if (flushed_)
        return;
    int result = avcodec_send_packet(context_, packet);
    if (packet == nullptr)
        flushed_ = true;
    if (result < 0 && result != AVERROR_EOF) {
        if (result == AVERROR(ENOMEM))
            CheckAv(result, "The decoder ran out of memory");
        ++damagedPackets_;
        LogCapture::TakeErrors(); // the decoder's complaint about this packet is not the failure's
        return;
    }
    for (;;) {
        result = avcodec_receive_frame(context_, frame_);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        if (result < 0) {
            ++damagedPackets_;
            LogCapture::TakeErrors();
            return;
        }
        ++decodedFrames_;
        onFrame(frame_);
        av_frame_unref(frame_);
    }
}

} // namespace VarnexEngine
