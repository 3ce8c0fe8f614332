#pragma once

#include <QString>
#include <vector>

namespace Tarnwick {

// One audio codec as an output format offers it: its names and the values it accepts for
// each setting, with a default for each. The same engine codec may be offered under several
// keys with different values per device or container ("3g2.aac", "iPod.aac").
class AudioCodec {
public:
    AudioCodec() = default;
    virtual ~AudioCodec();

    // Each takes the requested value (0: Auto) and the source file's value, and answers the
    // value to use: the request, or the source value for Auto, when the codec accepts it;
    // otherwise the setting's default. A 0 in a list is an ordinary entry.
    virtual int ResolveSampleRate(int requested, int source) const;
    virtual int ResolveBitRate(int requested, int source) const;
    virtual int ResolveChannels(int requested, int source) const;

    QString key;         // the catalogue key that presets name
    QString displayName; // shown in lists and descriptions
    QString engineName;  // given to the engine after -acodec
    std::vector<int> allowedChannels;
    int defaultChannels = 0;
    std::vector<int> allowedSampleRates; // Hz
    int defaultSampleRate = 0;
    std::vector<int> allowedBitRates; // bits per second
    int defaultBitRate = 0;
};

// The resolution of one value against a list: the candidate is the request when it is
// greater than 0, else the source value; it stands when the list holds it.
int ResolveAgainstList(int requested, int source, const std::vector<int>& allowed, int fallback);

} // namespace Tarnwick
