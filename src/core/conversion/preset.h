#pragma once

#include "conversionsettings.h"

#include <QString>

namespace Tarnwick {

class AudioCodec;
class OutputFormat;
class VideoCodec;

// The three parts of a preset's description.
struct PresetDescription {
    QString format;
    QString video; // empty without a video codec
    QString audio; // empty without an audio codec
};

// A settings record bound to its output format and to the codec entries it names. The preset
// owns neither the format nor the codecs.
class Preset {
public:
    explicit Preset(OutputFormat* format = nullptr);
    virtual ~Preset();
    Preset(const Preset&) = default;
    Preset& operator=(const Preset&) = default;

    // Copies the record in and binds its codec keys to the format's entries. Fails when the
    // format has video and does not offer the video key (the audio key is then not looked up),
    // or has audio and does not offer the audio key. The record stays copied either way.
    bool Apply(const ConversionSettings& record);
    void SetFavorite(bool on);

    // For preset lists: the name, with the size when there is a video codec and a size.
    QString DisplayText(bool tabbed) const;
    PresetDescription DescribeParts() const;
    // "3GPP2; Video: H.263, Size=176x144, ...; Audio: AMR Narrow-Band, ..."
    QString Describe() const;

    ConversionSettings settings = ZeroSettings();
    OutputFormat* format = nullptr;
    const VideoCodec* videoCodec = nullptr;
    const AudioCodec* audioCodec = nullptr;
};

// Whether two presets ask for the same conversion: names and presentation marks do not count,
// and frame rates that differ by less than 0.001 fps are the same.
bool SameSettings(const Preset& a, const Preset& b);

} // namespace Tarnwick
