#include "audiocodec.h"

#include <algorithm>

namespace Tarnwick {

int ResolveAgainstList(int requested, int source, const std::vector<int>& allowed, int fallback) {
    const int candidate = requested > 0 ? requested : source;
    if (allowed.empty())
        return fallback;
    return std::find(allowed.begin(), allowed.end(), candidate) != allowed.end() ? candidate : fallback;
}

AudioCodec::~AudioCodec() = default;

int AudioCodec::ResolveSampleRate(int requested, int source) const {
    return ResolveAgainstList(requested, source, allowedSampleRates, defaultSampleRate);
}

int AudioCodec::ResolveBitRate(int requested, int source) const {
    return ResolveAgainstList(requested, source, allowedBitRates, defaultBitRate);
}

int AudioCodec::ResolveChannels(int requested, int source) const {
    return ResolveAgainstList(requested, source, allowedChannels, defaultChannels);
}

} // namespace Tarnwick
