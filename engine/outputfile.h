#pragma once

#include "convertoptions.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <string>
#include <vector>

namespace VarnexEngine {

// The output container. The file is written under a temporary name beside the output and
// renamed into place when finished; one that was not finished is removed when this object
// goes, so a failed or stopped conversion leaves nothing half-written behind.
class OutputFile {
public:
    // Chooses the muxer (-f, else from the file name) and refuses an existing file unless
    // -y was given, or a path that is the input itself.
    explicit OutputFile(const ConvertOptions& options);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const AVOutputFormat* Format() const { return context_->oformat; }
    // The MP3 muxer's "video" is cover art, which a conversion does not make.
    bool CarriesVideo() const {
        return Format()->video_codec != AV_CODEC_ID_NONE && Format()->video_codec != AV_CODEC_ID_PNG;
    }
    bool CarriesAudio() const { return Format()->audio_codec != AV_CODEC_ID_NONE; }
    bool NeedsGlobalHeader() const { return (Format()->flags & AVFMT_GLOBALHEADER) != 0; }

    // A new stream; the caller fills its parameters and time base before Open.
    AVStream* AddStream();
    int StreamCount() const { return static_cast<int>(context_->nb_streams); }

    // A chapter from startUs to endUs on the output's clock, before Open.
    void AddChapter(int64_t startUs, int64_t endUs, const std::string& title);

    // Creates the file and writes the header with the metadata.
    void Open(const ConvertOptions& options);
    // Rescales the packet from the encoder's time base and hands it to the interleaver, after
    // every queued side packet that comes before it.
    void Write(AVPacket* packet, int streamIndex, AVRational encoderTimeBase);
    // Keeps a packet of a stream that is known whole before the conversion starts (subtitles),
    // to be written in time order among the others. Queued before Open; the packet is taken.
    void QueueSidePacket(AVPacket* packet, int streamIndex, AVRational timeBase);
    // The trailer; the file is complete and stays.
    void Finish();

    bool SizeLimitReached() const;
    int64_t PositionMs() const { return positionMs_; }
    int64_t PacketsWritten() const { return packetsWritten_; }

private:
    struct SidePacket {
        AVPacket* packet;
        int streamIndex;
        AVRational timeBase;
        int64_t timeUs;
    };
    void Put(AVPacket* packet, int streamIndex, AVRational timeBase);
    // Writes the queued side packets up to timeUs (all of them for INT64_MAX).
    void WriteSidePackets(int64_t timeUs);

    AVFormatContext* context_ = nullptr;
    std::vector<SidePacket> sidePackets_; // in time order once opened
    size_t sideWritten_ = 0;
    std::string path_;
    std::string partialPath_;
    int64_t sizeLimit_ = 0;
    int64_t positionMs_ = 0;
    int64_t packetsWritten_ = 0;
    bool overwrite_ = false;
    bool created_ = false;
    bool finished_ = false;
};

} // namespace VarnexEngine
