#include "coverpicture.h"

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

struct InputDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

} // namespace

bool KeepsCover(const AVOutputFormat* format) {
    const std::string name = format->name;
    return name == "mp3" || name == "mp4" || name == "mov" || name == "ipod" || name == "matroska";
}

void AddCoverPicture(const ConvertOptions& options, OutputFile& output) {
    if (options.coverPath.empty() || !KeepsCover(output.Format()))
        return;
    const std::string& path = options.coverPath;
    AVFormatContext* opened = nullptr;
    const int result = avformat_open_input(&opened, path.c_str(), nullptr, nullptr);
    if (result < 0)
        throw EngineError(DescribeFailure("Cannot open the cover \"" + path + "\"", result));
    std::unique_ptr<AVFormatContext, InputDeleter> input(opened);
    CheckAv(avformat_find_stream_info(opened, nullptr), "Cannot read the cover \"" + path + "\"");
    const int index = av_find_best_stream(opened, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodecParameters* picture = index >= 0 ? opened->streams[index]->codecpar : nullptr;
    // Both containers store these two as they are; anything else would need re-encoding.
    if (picture == nullptr ||
        (picture->codec_id != AV_CODEC_ID_MJPEG && picture->codec_id != AV_CODEC_ID_PNG) ||
        picture->width <= 0 || picture->height <= 0)
        throw EngineError("The cover \"" + path + "\" is neither a JPEG nor a PNG picture.");

    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (packet == nullptr)
        throw EngineError("Out of memory for a packet.");
    do {
        av_packet_unref(packet.get());
        CheckAv(av_read_frame(opened, packet.get()), "Cannot read the cover \"" + path + "\"");
    } while (packet->stream_index != index);

    AVStream* stream = output.AddStream();
    const bool jpeg = picture->codec_id == AV_CODEC_ID_MJPEG;
    if (std::string(output.Format()->name) == "matroska") {
        // Matroska keeps its cover as an attachment of that name, the bytes in the stream's
        // extra data, with no packet.
        stream->codecpar->codec_type = AVMEDIA_TYPE_ATTACHMENT;
        stream->codecpar->codec_id = picture->codec_id;
        stream->codecpar->extradata = static_cast<uint8_t*>(
            av_mallocz(static_cast<size_t>(packet->size) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (stream->codecpar->extradata == nullptr)
            throw EngineError("Out of memory for the cover.");
        std::memcpy(stream->codecpar->extradata, packet->data, static_cast<size_t>(packet->size));
        stream->codecpar->extradata_size = packet->size;
        av_dict_set(&stream->metadata, "filename", jpeg ? "cover.jpg" : "cover.png", 0);
        av_dict_set(&stream->metadata, "mimetype", jpeg ? "image/jpeg" : "image/png", 0);
        return;
    }
    CheckAv(avcodec_parameters_copy(stream->codecpar, picture), "The cover's parameters");
    stream->codecpar->codec_tag = 0;
    stream->disposition = AV_DISPOSITION_ATTACHED_PIC;
    stream->time_base = AVRational{1, 90000};
    av_dict_set(&stream->metadata, "title", "Cover", 0);
    av_dict_set(&stream->metadata, "comment", "Cover (front)", 0);
    packet->stream_index = output.StreamCount() - 1;
    packet->pts = packet->dts = 0;
    packet->duration = 0;
    packet->flags |= AV_PKT_FLAG_KEY;
    output.QueueSidePacket(packet.get(), output.StreamCount() - 1, stream->time_base);
}

} // namespace VarnexEngine
