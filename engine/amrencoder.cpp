#include "amrencoder.h"

#include "engineerror.h"

extern "C" {
#include <opencore-amrnb/interf_enc.h>
#include <vo-amrwbenc/enc_if.h>
}

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace VarnexEngine {

namespace {

// Bit rates of the modes, in mode order.
constexpr int kNarrowBandRates[] = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
constexpr int kWideBandRates[] = {6600, 8850, 12650, 14250, 15850, 18250, 19850, 23050, 23850};
constexpr int kNarrowBandDefaultMode = 7; // 12.2 kbit/s
constexpr int kWideBandDefaultMode = 4;   // 15.85 kbit/s

// The longest encoded frame: 32 bytes narrow band, 61 wide band.
constexpr int kMaxFrameBytes = 64;

} // namespace

int AmrEncoder::ChooseMode(bool wideBand, int64_t bitRate, int* modeBitRate) {
    const int* rates = wideBand ? kWideBandRates : kNarrowBandRates;
    const int count = wideBand ? int(std::size(kWideBandRates)) : int(std::size(kNarrowBandRates));
    int mode = wideBand ? kWideBandDefaultMode : kNarrowBandDefaultMode;
    if (bitRate > 0) {
        for (int i = 0; i < count; ++i) {
            if (std::llabs(rates[i] - bitRate) < std::llabs(rates[mode] - bitRate))
                mode = i;
        }
    }
    *modeBitRate = rates[mode];
    return mode;
}

AmrEncoder::AmrEncoder(const AudioRequest& request)
    : wideBand_(request.encoder.source == EncoderSource::AmrWb) {
    const char* name = wideBand_ ? "AMR Wide-Band" : "AMR Narrow-Band";
    if (request.sampleRate > 0 && request.sampleRate != SampleRate())
        throw EngineError(std::string(name) + " is encoded at " + std::to_string(SampleRate()) +
                          " Hz only, not at " + std::to_string(request.sampleRate) + " Hz.");
    if (request.channels > 1)
        throw EngineError(std::string(name) + " is encoded in mono only, not with " +
                          std::to_string(request.channels) + " channels.");
    mode_ = ChooseMode(wideBand_, request.bitRate, &bitRate_);
    state_ = wideBand_ ? E_IF_init() : Encoder_Interface_init(0);
    if (state_ == nullptr)
        throw EngineError(std::string("Cannot start the ") + name + " encoder.");
}

AmrEncoder::~AmrEncoder() {
    for (AVPacket* packet : ready_)
        av_packet_free(&packet);
    if (wideBand_)
        E_IF_exit(state_);
    else
        Encoder_Interface_exit(state_);
}

void AmrEncoder::Send(const AVFrame* frame) {
    if (frame == nullptr)
        return; // each frame is encoded at once: nothing is held back to flush
    // The last frame of a stream may be short; the codec only takes whole frames.
    std::vector<short> speech(static_cast<size_t>(FrameSize()), 0);
    const int samples = frame->nb_samples < FrameSize() ? frame->nb_samples : FrameSize();
    std::memcpy(speech.data(), frame->data[0], static_cast<size_t>(samples) * sizeof(short));

    unsigned char encoded[kMaxFrameBytes];
    const int size =
        wideBand_ ? E_IF_encode(state_, mode_, speech.data(), encoded, 0)
                  : Encoder_Interface_Encode(state_, static_cast<Mode>(mode_), speech.data(), encoded, 0);
    if (size <= 0 || size > kMaxFrameBytes)
        throw EngineError("The AMR encoder failed on a frame.");

    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr || av_new_packet(packet, size) < 0) {
        av_packet_free(&packet);
        throw EngineError("Out of memory for an AMR frame.");
    }
    std::memcpy(packet->data, encoded, static_cast<size_t>(size));
    packet->pts = packet->dts = frame->pts;
    packet->duration = FrameSize();
    ready_.push_back(packet);
}

bool AmrEncoder::Receive(AVPacket* packet) {
    if (ready_.empty())
        return false;
    AVPacket* next = ready_.front();
    ready_.pop_front();
    av_packet_move_ref(packet, next);
    av_packet_free(&next);
    return true;
}

void AmrEncoder::FillParameters(AVCodecParameters* parameters) const {
    parameters->codec_type = AVMEDIA_TYPE_AUDIO;
    parameters->codec_id = wideBand_ ? AV_CODEC_ID_AMR_WB : AV_CODEC_ID_AMR_NB;
    parameters->sample_rate = SampleRate();
    parameters->frame_size = FrameSize();
    parameters->bit_rate = bitRate_;
    parameters->format = AV_SAMPLE_FMT_S16;
    av_channel_layout_uninit(&parameters->ch_layout);
    av_channel_layout_copy(&parameters->ch_layout, &layout_);
}

} // namespace VarnexEngine
