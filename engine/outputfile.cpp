#include "outputfile.h"

#include "engineerror.h"
#include "namemap.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace VarnexEngine {

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
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
    if (context_ == nullptr)
        return;
    if (created_) {
        avio_closep(&context_->pb);
        if (!finished_)
            unlink(partialPath_.c_str());
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
        std::string pattern = path_ + ".partial-XXXXXX";
        const int descriptor = mkstemp(pattern.data());
        if (descriptor < 0)
            throw EngineError("Cannot create a file beside \"" + path_ + "\": " + std::strerror(errno));
        // mkstemp makes the file private; the output gets the permissions of any new file.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(descriptor, 0666 & ~mask);
        close(descriptor);
        partialPath_ = pattern;
        created_ = true;
        CheckAv(avio_open(&context_->pb, partialPath_.c_str(), AVIO_FLAG_WRITE),
                "Cannot write \"" + partialPath_ + "\"");
    }
    CheckAv(avformat_write_header(context_, nullptr),
            std::string("The ") + Format()->name + " container cannot take these streams");
}

void OutputFile::Write(AVPacket* packet, int streamIndex, AVRational encoderTimeBase) {
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
    CheckAv(av_write_trailer(context_), "Finishing \"" + path_ + "\" failed");
    if (!created_) {
        finished_ = true;
        return;
    }
    CheckAv(avio_closep(&context_->pb), "Closing \"" + path_ + "\" failed");
    // Without -y an output that appeared meanwhile is not replaced either.
    const int renamed =
        overwrite_ ? std::rename(partialPath_.c_str(), path_.c_str())
                   : renameat2(AT_FDCWD, partialPath_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE);
    if (renamed != 0) {
        const int error = errno;
        if (error == EEXIST)
            throw EngineError("The output file \"" + path_ + "\" exists already (-y overwrites it).");
        throw EngineError("Cannot put the output in place as \"" + path_ + "\": " + std::strerror(error));
    }
    finished_ = true;
}

bool OutputFile::SizeLimitReached() const {
    return sizeLimit_ > 0 && context_->pb != nullptr && avio_tell(context_->pb) >= sizeLimit_;
}

} // namespace VarnexEngine
