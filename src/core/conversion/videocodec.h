#pragma once

#include "audiocodec.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace Tarnwick {

struct PictureSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// Compared term by term: 25/1 and 50/2 are two different entries.
struct FrameRate {
    int num = 0;
    int den = 0;
    friend bool operator==(const FrameRate&, const FrameRate&) = default;
};

// One video codec as an output format offers it. A freedom bit lets any value of that
// setting through unchecked.
class VideoCodec {
public:
    static constexpr int FreeFrameRate = 0x1;
    static constexpr int FreeBitRate = 0x2;
    static constexpr int FreeSize = 0x4;

    VideoCodec() = default;
    virtual ~VideoCodec();

    // The requested pair counts only when both of its terms are greater than 0; otherwise
    // the source pair is the candidate.
    virtual PictureSize ResolveSize(int requestedWidth, int requestedHeight, int sourceWidth,
                                    int sourceHeight) const;
    virtual FrameRate ResolveFrameRate(int requestedNum, int requestedDen, int sourceNum,
                                       int sourceDen) const;
    virtual int ResolveBitRate(int requested, int source) const;

    QString key;
    QString displayName;
    QString engineName; // given to the engine after -vcodec
    int freedom = 0;
    std::vector<PictureSize> allowedSizes;
    PictureSize defaultSize;
    std::vector<FrameRate> allowedFrameRates;
    FrameRate defaultFrameRate;
    std::vector<int> allowedBitRates; // always StandardVideoBitRates()
    int defaultBitRate = 0;
    // Audio codecs allowed together with this one; when present they replace the format's
    // audio list. No entry of the catalogue restricts its audio.
    std::optional<std::vector<std::unique_ptr<AudioCodec>>> audioForVideo;
};

} // namespace Tarnwick
