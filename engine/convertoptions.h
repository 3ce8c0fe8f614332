#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace VarnexEngine {

// One input file with the offset its timestamps are shifted by (-itsoffset before its -i).
struct InputOption {
    std::string path;
    int64_t offsetUs = 0;
};

// A stream chosen with -map: input file index and stream index within that file, or that
// file's first video ("0:v") or first audio ("1:a") stream, which a host can name without
// knowing how the file numbers its streams.
struct StreamMap {
    static constexpr int kFirstVideo = -1;
    static constexpr int kFirstAudio = -2;
    int file = 0;
    int stream = 0;
};

// A text subtitle file to carry into the output as a stream of its own, in whatever text
// subtitle codec the output container holds (-subtitle, then -sublang and -subtitle_title).
struct SubtitleOption {
    std::string path;
    std::string language; // ISO 639-2, as the containers store it; empty: undetermined
    std::string title;
};

// A chapter of the output (-chapter <start>, then -chapter_title "<text>"): where it begins on
// the inputs' clock and what it is called. Each ends where the next begins, the last at the
// end of the output.
struct ChapterOption {
    int64_t startUs = 0;
    std::string title;
};

// The codec name that asks for a stream to be copied as it is, without decoding.
inline constexpr char kCopyCodec[] = "copy";

// Everything an option line asks for. Zero, empty or negative means "not given": the engine
// then keeps the source's value or lets the encoder choose.
struct ConvertOptions {
    std::vector<InputOption> inputs;
    std::vector<StreamMap> maps;
    int64_t startUs = 0;
    int64_t durationUs = 0;
    int64_t sizeLimit = 0;
    int cropLeft = 0;
    int cropTop = 0;
    int cropRight = 0;
    int cropBottom = 0;
    // Metadata as (today's key, value), in the order given.
    std::vector<std::pair<std::string, std::string>> metadata;
    std::vector<SubtitleOption> subtitles;
    std::vector<ChapterOption> chapters; // in the order of their starts
    std::string coverPath;               // a JPEG or PNG picture to attach (-cover)
    std::string format;

    bool disableVideo = false;
    std::string pixelFormat;
    std::string videoCodec;
    int width = 0;
    int height = 0;
    int frameRateNum = 0;
    int frameRateDen = 0;
    int64_t videoBitRate = 0;

    bool disableAudio = false;
    std::string audioCodec;
    int channels = 0;
    int sampleRate = 0;
    int64_t audioBitRate = 0;

    bool overwrite = false;
    std::string output;

    // A line that copies a stream copies every stream it keeps (see StreamCopier).
    bool CopiesStreams() const {
        return (!disableVideo && videoCodec == kCopyCodec) || (!disableAudio && audioCodec == kCopyCodec);
    }
};

} // namespace VarnexEngine
