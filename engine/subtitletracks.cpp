#include "subtitletracks.h"

#include "engineerror.h"
#include "outputfile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstring>
#include <memory>
#include <string>

namespace VarnexEngine {

namespace {

constexpr AVRational kMilliseconds{1, 1000};
// An encoded cue is a few lines of text; this is far beyond any of them.
constexpr int kLargestCue = 1 << 20;

struct InputDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Input = std::unique_ptr<AVFormatContext, InputDeleter>;
using Codec = std::unique_ptr<AVCodecContext, CodecDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

// Owns one decoded cue.
class DecodedCue {
public:
    DecodedCue() { std::memset(&subtitle_, 0, sizeof subtitle_); }
    ~DecodedCue() { avsubtitle_free(&subtitle_); }
    DecodedCue(const DecodedCue&) = delete;
    DecodedCue& operator=(const DecodedCue&) = delete;
    AVSubtitle* Get() { return &subtitle_; }

private:
    AVSubtitle subtitle_;
};

// The text codec the container stores subtitles in.
AVCodecID TextCodecFor(const AVOutputFormat* format) {
    const std::string name = format->name;
    if (name == "webm")
        return AV_CODEC_ID_WEBVTT;
    if (name == "matroska")
        return AV_CODEC_ID_SUBRIP;
    if (name == "mp4" || name == "mov" || name == "3gp" || name == "3g2" || name == "ipod" || name == "psp")
        return AV_CODEC_ID_MOV_TEXT;
    throw EngineError(std::string("The ") + format->name + " container holds no text subtitles.");
}

// One subtitle file: read, decoded cue by cue, encoded for the output and queued on it.
class SubtitleTrack {
public:
    SubtitleTrack(const SubtitleOption& option, const ConvertOptions& options, OutputFile& output)
        : option_(option)
        , options_(options)
        , output_(output) {}

    void Add() {
        OpenInput();
        OpenCodecs();
        AVStream* stream = output_.AddStream();
        CheckAv(avcodec_parameters_from_context(stream->codecpar, encoder_.get()),
                "The subtitle stream's parameters");
        stream->time_base = kMilliseconds;
        if (!option_.language.empty())
            av_dict_set(&stream->metadata, "language", option_.language.c_str(), 0);
        if (!option_.title.empty())
            av_dict_set(&stream->metadata, "title", option_.title.c_str(), 0);
        streamIndex_ = output_.StreamCount() - 1;
        EncodeCues();
    }

private:
    void OpenInput() {
        AVFormatContext* context = nullptr;
        const int opened = avformat_open_input(&context, option_.path.c_str(), nullptr, nullptr);
        if (opened < 0)
            throw EngineError(DescribeFailure("Cannot open the subtitles \"" + option_.path + "\"", opened));
        input_.reset(context);
        CheckAv(avformat_find_stream_info(context, nullptr),
                "Cannot read the subtitles \"" + option_.path + "\"");
        for (unsigned i = 0; i < context->nb_streams; ++i) {
            if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE) {
                inputStream_ = static_cast<int>(i);
                return;
            }
        }
        throw EngineError("The file \"" + option_.path + "\" holds no subtitles.");
    }

    void OpenCodecs() {
        const AVStream* source = input_->streams[inputStream_];
        const AVCodec* decoder = avcodec_find_decoder(source->codecpar->codec_id);
        decoder_.reset(decoder != nullptr ? avcodec_alloc_context3(decoder) : nullptr);
        if (decoder_ == nullptr)
            throw EngineError("No decoder for the subtitles \"" + option_.path + "\".");
        CheckAv(avcodec_parameters_to_context(decoder_.get(), source->codecpar), "The subtitles' parameters");
        decoder_->pkt_timebase = source->time_base;
        CheckAv(avcodec_open2(decoder_.get(), decoder, nullptr), "Cannot decode the subtitles");

        const AVCodec* encoder = avcodec_find_encoder(TextCodecFor(output_.Format()));
        encoder_.reset(encoder != nullptr ? avcodec_alloc_context3(encoder) : nullptr);
        if (encoder_ == nullptr)
            throw EngineError("This engine has no encoder for the container's subtitles.");
        encoder_->time_base = AV_TIME_BASE_Q;
        // The text encoders take their styles from the decoder's header, as a player would.
        if (decoder_->subtitle_header != nullptr && decoder_->subtitle_header_size > 0) {
            encoder_->subtitle_header = static_cast<uint8_t*>(av_mallocz(decoder_->subtitle_header_size + 1));
            if (encoder_->subtitle_header == nullptr)
                throw EngineError("Out of memory for the subtitles.");
            std::memcpy(encoder_->subtitle_header, decoder_->subtitle_header, decoder_->subtitle_header_size);
            encoder_->subtitle_header_size = decoder_->subtitle_header_size;
        }
        if (output_.NeedsGlobalHeader())
            encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        CheckAv(avcodec_open2(encoder_.get(), encoder, nullptr), "Cannot encode the subtitles");
    }

    void EncodeCues() {
        Packet packet(av_packet_alloc());
        if (packet == nullptr)
            throw EngineError("Out of memory for a packet.");
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[kLargestCue]);
        while (true) {
            const int read = av_read_frame(input_.get(), packet.get());
            if (read == AVERROR_EOF)
                break;
            CheckAv(read, "Reading the subtitles \"" + option_.path + "\"");
            if (packet->stream_index == inputStream_)
                EncodeCue(*packet, buffer.get());
            av_packet_unref(packet.get());
        }
    }

    void EncodeCue(AVPacket& packet, uint8_t* buffer) {
        DecodedCue cue;
        int got = 0;
        // A cue the decoder cannot read is left out; the others still carry the track.
        if (avcodec_decode_subtitle2(decoder_.get(), cue.Get(), &got, &packet) < 0 || !got)
            return;
        AVSubtitle* subtitle = cue.Get();
        if (subtitle->pts == AV_NOPTS_VALUE || subtitle->num_rects == 0)
            return;
        // On the output's time line, in milliseconds: from the start (-ss) up to the length (-t).
        int64_t startMs = subtitle->pts / 1000 + subtitle->start_display_time - options_.startUs / 1000;
        int64_t endMs = subtitle->pts / 1000 + subtitle->end_display_time - options_.startUs / 1000;
        if (subtitle->end_display_time == 0 && packet.duration > 0)
            endMs = startMs +
                    av_rescale_q(packet.duration, input_->streams[inputStream_]->time_base, kMilliseconds);
        if (endMs <= 0 || (options_.durationUs > 0 && startMs * 1000 >= options_.durationUs))
            return;
        if (startMs < 0)
            startMs = 0;
        if (options_.durationUs > 0 && endMs * 1000 > options_.durationUs)
            endMs = options_.durationUs / 1000;
        subtitle->pts = startMs * 1000;
        subtitle->start_display_time = 0;
        subtitle->end_display_time = static_cast<uint32_t>(endMs - startMs);

        const int size = avcodec_encode_subtitle(encoder_.get(), buffer, kLargestCue, subtitle);
        if (size <= 0)
            return;
        Packet encoded(av_packet_alloc());
        if (encoded == nullptr || av_new_packet(encoded.get(), size) < 0)
            throw EngineError("Out of memory for a subtitle packet.");
        std::memcpy(encoded->data, buffer, size);
        encoded->pts = startMs;
        encoded->dts = startMs;
        encoded->duration = endMs - startMs;
        output_.QueueSidePacket(encoded.get(), streamIndex_, kMilliseconds);
    }

    const SubtitleOption& option_;
    const ConvertOptions& options_;
    OutputFile& output_;
    Input input_;
    int inputStream_ = -1;
    Codec decoder_;
    Codec encoder_;
    int streamIndex_ = -1;
};

} // namespace

void AddSubtitleTracks(const ConvertOptions& options, OutputFile& output) {
    for (const SubtitleOption& option : options.subtitles)
        SubtitleTrack(option, options, output).Add();
}

} // namespace VarnexEngine
