#pragma once

#include "convertoptions.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace VarnexEngine {

// One opened input: its demuxer and where its timestamps land on the output's time line.
class InputFile {
public:
    // Opens and probes the file, then seeks to the start time (-ss).
    InputFile(const InputOption& option, int64_t startUs);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    AVFormatContext* Context() const { return context_; }
    const std::string& Path() const { return path_; }
    int StreamCount() const { return static_cast<int>(context_->nb_streams); }
    AVStream* Stream(int index) const { return context_->streams[index]; }

    // A stream timestamp as microseconds on the output's time line: the file's own start
    // is 0, less the start time, plus the file's offset (-itsoffset).
    int64_t OutputTimeUs(int64_t timestamp, AVRational timeBase) const;

    // The next packet; false at the end of the file. A read error other than the end throws.
    bool Read(AVPacket* packet);
    bool AtEnd() const { return atEnd_; }
    // The output time of the last packet read, for interleaving two inputs.
    int64_t LastReadUs() const { return lastReadUs_; }

    // The length the container states (not one estimated from the bit rate), or 0.
    int64_t StatedDurationUs() const;
    // The length the container states or estimates, or 0.
    int64_t DurationUs() const;
    int64_t OffsetUs() const { return offsetUs_; }

private:
    AVFormatContext* context_ = nullptr;
    std::string path_;
    int64_t shiftUs_ = 0;
    int64_t offsetUs_ = 0;
    int64_t lastReadUs_ = INT64_MIN;
    bool atEnd_ = false;
};

// Of the inputs still needed and not at their end, the one whose last packet is earliest: inputs
// read in step this way never make the interleaver hold much of any. Null when none is left.
InputFile* NextInputInStep(const std::vector<std::unique_ptr<InputFile>>& inputs,
                           const std::function<bool(const InputFile&)>& needed);

} // namespace VarnexEngine
