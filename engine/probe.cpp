#include "probe.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <climits>
#include <cstdio>
#include <memory>
#include <vector>

namespace VarnexEngine {

namespace {

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextCloser>;

int32_t ClampToInt32(int64_t value) {
    if (value < 0)
        return 0;
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

bool IsProbedType(const AVStream* stream) {
    const AVMediaType type = stream->codecpar->codec_type;
    return type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_VIDEO;
}

// The stream's own bit rate; when the container does not state it, the container's overall
// rate less what the other streams state, which is exact for the common one-stream-per-kind file.
int64_t StreamBitRate(const AVFormatContext* context, const AVStream* stream) {
    if (stream->codecpar->bit_rate > 0)
        return stream->codecpar->bit_rate;
    if (context->bit_rate <= 0)
        return 0;
    int64_t others = 0;
    int unknownOthers = 0;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* other = context->streams[i];
        if (other == stream || !IsProbedType(other))
            continue;
        if (other->codecpar->bit_rate > 0)
            others += other->codecpar->bit_rate;
        else
            ++unknownOthers;
    }
    // With two streams of unknown rate there is no fair way to split the total.
    if (unknownOthers > 0 || others >= context->bit_rate)
        return 0;
    return context->bit_rate - others;
}

void DescribeVideo(AVFormatContext* context, AVStream* stream, VarnexStreamRecord& record) {
    record.type = VARNEX_STREAM_VIDEO;
    const AVRational rate = av_guess_frame_rate(context, stream, nullptr);
    if (rate.num > 0 && rate.den > 0) {
        record.values.video.frameRateNumerator = rate.num;
        record.values.video.frameRateDenominator = rate.den;
    }
    record.values.video.bitRate = ClampToInt32(StreamBitRate(context, stream));
    record.values.video.width = stream->codecpar->width;
    record.values.video.height = stream->codecpar->height;
}

void DescribeAudio(AVFormatContext* context, AVStream* stream, VarnexStreamRecord& record) {
    record.type = VARNEX_STREAM_AUDIO;
    record.values.audio.sampleRate = stream->codecpar->sample_rate;
    record.values.audio.bitRate = ClampToInt32(StreamBitRate(context, stream));
    record.values.audio.channels = stream->codecpar->ch_layout.nb_channels;
}

void NameCodec(const AVStream* stream, VarnexStreamRecord& record) {
    const char* name = avcodec_get_name(stream->codecpar->codec_id);
    std::snprintf(record.codecName, sizeof record.codecName, "%s", name != nullptr ? name : "");
}

} // namespace

int ProbeFile(const char* path, VarnexInfoBlock* info, VarnexAllocateFunction allocate) {
    if (path == nullptr || info == nullptr || allocate == nullptr)
        return VARNEX_BAD_ARGUMENT;

    AVFormatContext* rawContext = nullptr;
    if (avformat_open_input(&rawContext, path, nullptr, nullptr) < 0)
        return VARNEX_FAILED;
    FormatContextPtr context(rawContext);
    if (avformat_find_stream_info(context.get(), nullptr) < 0)
        return VARNEX_FAILED;

    std::vector<AVStream*> streams;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (IsProbedType(context->streams[i]))
            streams.push_back(context->streams[i]);
    }

    const int count = static_cast<int>(streams.size());
    if (allocate(info, count) != 0)
        return VARNEX_FAILED;
    info->streamCount = count;
    for (int i = 0; i < count; ++i) {
        AVStream* stream = streams[static_cast<size_t>(i)];
        NameCodec(stream, info->streams[i]);
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            DescribeVideo(context.get(), stream, info->streams[i]);
        else
            DescribeAudio(context.get(), stream, info->streams[i]);
    }
    return VARNEX_OK;
}

} // namespace VarnexEngine
