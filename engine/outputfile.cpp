#include "outputfile.h"

#include "engineerror.h"
#include "namemap.h"

extern "C" {
#include <libavutil/random_seed.h>
}

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace VarnexEngine {

namespace {

namespace fs = std::filesystem;

// Paths travel as UTF-8 on every platform.
fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(PathOf(a), PathOf(b), error);
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(PathOf(path), error);
}

// A name beside the output that no file has yet.
std::string FreePartialName(const std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".partial-%08x", av_get_random_seed());
        if (!Exists(path + suffix))
            return path + suffix;
    }
    throw EngineError("Cannot find a free name beside \"" + path + "\".");
}

} // namespace

OutputFile::OutputFile(const ConvertOptions& options)
    : path_(options.output)
    , sizeLimit_(options.sizeLimit)
    , overwrite_(options.overwrite) {
    for (const InputOption& input : options.inputs) {
        if (SameFile(input.path, path_))
            throw EngineError("The output \"" + path_ + "\" is the input file itself.");
    }
    if (!options.overwrite && Exists(path_))
        throw EngineError("The output file \"" + path_ + "\" exists already (-y overwrites it).");

    const std::string format =
        MapContainerName(options.format, options.disableVideo ? "" : options.videoCodec,
                         options.disableAudio ? "" : options.audioCodec);
    const int result = avformat_alloc_output_context2(
        &context_, nullptr, format.empty() ? nullptr : format.c_str(), path_.c_str());
    if (result < 0 || context_ == nullptr) {
        LogCapture::TakeErrors();
        if (!format.empty())
            throw EngineError("Unknown output format \"" + options.format + "\".");
        throw EngineError("Cannot tell the output format from the name \"" + path_ + "\"; give it with -f.");
    }
}

OutputFile::~OutputFile() {
    for (SidePacket& side : sidePackets_)
        av_packet_free(&side.packet);
    if (context_ == nullptr)
        return;
    if (created_) {
        avio_closep(&context_->pb);
        if (!finished_) {
            std::error_code ignored;
            fs::remove(PathOf(partialPath_), ignored);
        }
    }
    avformat_free_context(context_);
}

AVStream* OutputFile::AddStream() {
    AVStream* stream = avformat_new_stream(context_, nullptr);
    if (stream == nullptr)
        throw EngineError("Out of memory for an output stream.");
    return stream;
}

void OutputFile::Open(const ConvertOptions& options) {
    for (const auto& [key, value] : options.metadata)
        av_dict_set(&context_->metadata, key.c_str(), value.c_str(), 0);
    if (!(Format()->flags & AVFMT_NOFILE)) {
        // The conversion is written beside the output and renamed over it only when complete,
        // so a failure never costs the file that -y would have replaced.
        partialPath_ = FreePartialName(path_);
        CheckAv(avio_open(&context_->pb, partialPath_.c_str(), AVIO_FLAG_WRITE),
                "Cannot create the output \"" + path_ + "\"");
        created_ = true;
    }
    std::stable_sort(sidePackets_.begin(), sidePackets_.end(),
                     [](const SidePacket& a, const SidePacket& b) { return a.timeUs < b.timeUs; });
    CheckAv(avformat_write_header(context_, nullptr),
            std::string("The ") + Format()->name + " container cannot take these streams");
}

void OutputFile::AddChapter(int64_t startUs, int64_t endUs, const std::string& title) {
    // The context owns its chapters from here on and frees them with itself.
    auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
    auto** grown = chapter == nullptr
                       ? nullptr
                       : static_cast<AVChapter**>(av_realloc_array(
                             context_->chapters, context_->nb_chapters + 1, sizeof(AVChapter*)));
    if (grown == nullptr) {
        av_free(chapter);
        throw EngineError("Out of memory for a chapter.");
    }
    context_->chapters = grown;
    context_->chapters[context_->nb_chapters++] = chapter;
    chapter->id = context_->nb_chapters;
    chapter->time_base = AV_TIME_BASE_Q;
    chapter->start = startUs;
    chapter->end = std::max(startUs, endUs);
    if (!title.empty())
        av_dict_set(&chapter->metadata, "title", title.c_str(), 0);
}

void OutputFile::QueueSidePacket(AVPacket* packet, int streamIndex, AVRational timeBase) {
    AVPacket* kept = av_packet_alloc();
    if (kept == nullptr)
        throw EngineError("Out of memory for a packet.");
    av_packet_move_ref(kept, packet);
    const int64_t stamp = kept->dts != AV_NOPTS_VALUE ? kept->dts : kept->pts;
    sidePackets_.push_back({kept, streamIndex, timeBase, av_rescale_q(stamp, timeBase, AV_TIME_BASE_Q)});
}

void OutputFile::WriteSidePackets(int64_t timeUs) {
    while (sideWritten_ < sidePackets_.size() && sidePackets_[sideWritten_].timeUs <= timeUs) {
        SidePacket& side = sidePackets_[sideWritten_++];
        Put(side.packet, side.streamIndex, side.timeBase);
        av_packet_free(&side.packet);
    }
}

void OutputFile::Write(AVPacket* packet, int streamIndex, AVRational encoderTimeBase) {
    if (sideWritten_ < sidePackets_.size()) {
        const int64_t stamp = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
        if (stamp != AV_NOPTS_VALUE)
            WriteSidePackets(av_rescale_q(stamp, encoderTimeBase, AV_TIME_BASE_Q));
    }
    Put(packet, streamIndex, encoderTimeBase);
}

void OutputFile::Put(AVPacket* packet, int streamIndex, AVRational encoderTimeBase) {
    AVStream* stream = context_->streams[streamIndex];
    packet->stream_index = streamIndex;
    av_packet_rescale_ts(packet, encoderTimeBase, stream->time_base);
    const int64_t end = packet->pts != AV_NOPTS_VALUE ? packet->pts + packet->duration : AV_NOPTS_VALUE;
    if (end != AV_NOPTS_VALUE) {
        const int64_t ms = av_rescale_q(end, stream->time_base, AVRational{1, 1000});
        if (ms > positionMs_)
            positionMs_ = ms;
    }
    ++packetsWritten_;
    CheckAv(av_interleaved_write_frame(context_, packet), "Writing \"" + path_ + "\" failed");
}

void OutputFile::Finish() {
    // Cues after the last picture or sound still belong to the file.
    WriteSidePackets(INT64_MAX);
    CheckAv(av_write_trailer(context_), "Finishing \"" + path_ + "\" failed");
    if (!created_) {
        finished_ = true;
        return;
    }
    CheckAv(avio_closep(&context_->pb), "Closing \"" + path_ + "\" failed");
    // Without -y an output that appeared meanwhile is not replaced either.
    if (!overwrite_ && Exists(path_))
        throw EngineError("The output file \"" + path_ + "\" exists already (-y overwrites it).");
    std::error_code error;
    fs::rename(PathOf(partialPath_), PathOf(path_), error);
    if (error)
        throw EngineError("Cannot put the output in place as \"" + path_ + "\": " + error.message());
    finished_ = true;
}

bool OutputFile::SizeLimitReached() const {
    return sizeLimit_ > 0 && context_->pb != nullptr && avio_tell(context_->pb) >= sizeLimit_;
}

} // namespace VarnexEngine
