#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <functional>

namespace VarnexEngine {

// The decoder of one input stream. Damaged packets are counted and skipped, as a player
// would, rather than ending the conversion.
class Decoder {
public:
    explicit Decoder(const AVStream* stream);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    AVCodecContext* Context() const { return context_; }

    // Sends the packet (null: the end of the stream) and hands every frame it yields to
    // onFrame. The frame is only valid during the call.
    void Decode(const AVPacket* packet, const std::function<void(AVFrame*)>& onFrame);

    int DamagedPackets() const { return damagedPackets_; }
    int64_t DecodedFrames() const { return decodedFrames_; }

private:
    void Release();

    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    int damagedPackets_ = 0;
    int64_t decodedFrames_ = 0;
    bool flushed_ = false;
};

} // namespace VarnexEngine
