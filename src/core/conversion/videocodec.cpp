#include "videocodec.h"

#include <algorithm>

namespace Tarnwick {

namespace {

template <typename Pair>
Pair ResolvePair(const Pair& requested, const Pair& source, bool free, const std::vector<Pair>& allowed,
                 const Pair& fallback, bool requestCounts) {
    const Pair candidate = requestCounts ? requested : source;
    if (free)
        return candidate;
    if (allowed.empty())
        return fallback;
    return std::find(allowed.begin(), allowed.end(), candidate) != allowed.end() ? candidate : fallback;
}

} // namespace

VideoCodec::~VideoCodec() = default;

PictureSize VideoCodec::ResolveSize(int requestedWidth, int requestedHeight, int sourceWidth,
                                    int sourceHeight) const {
    return ResolvePair(PictureSize{requestedWidth, requestedHeight}, PictureSize{sourceWidth, sourceHeight},
                       (freedom & FreeSize) != 0, allowedSizes, defaultSize,
                       requestedWidth > 0 && requestedHeight > 0);
}

FrameRate VideoCodec::ResolveFrameRate(int requestedNum, int requestedDen, int sourceNum,
                                       int sourceDen) const {
    return ResolvePair(FrameRate{requestedNum, requestedDen}, FrameRate{sourceNum, sourceDen},
                       (freedom & FreeFrameRate) != 0, allowedFrameRates, defaultFrameRate,
                       requestedNum > 0 && requestedDen > 0);
}

int VideoCodec::ResolveBitRate(int requested, int source) const {
    if (freedom & FreeBitRate)
        return requested > 0 ? requested : source;
    return ResolveAgainstList(requested, source, allowedBitRates, defaultBitRate);
}

} // namespace Tarnwick
