#pragma once

#include "audiocodec.h"
#include "conversionsettings.h"
#include "preset.h"
#include "videocodec.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace Tarnwick {

struct ConversionParams;

// A factory preset as the catalogue lists it.
struct FactoryPreset {
    const char* name;
    uint32_t flags; // FavoriteMark, AudioDisabled
    const char* audioCodec;
    int sampleRate;
    int audioBitRate;
    int channels;
    const char* videoCodec;
    int frameRateNum;
    int frameRateDen;
    int videoBitRate;
    int width;
    int height;

    ConversionSettings Record() const;
};

// The fixed description of one output format.
struct FormatDefinition {
    const char* key;
    const char* displayName;
    const char* extension; // with its dot
    const char* description;
    const char* container;
    uint32_t flags; // HasAudio, HasVideo
    std::vector<const char*> audioCodecs;
    std::vector<const char*> videoCodecs;
    std::vector<FactoryPreset> factoryPresets;
    int factoryDefault;
};

// One output format of the catalogue: the codecs it offers, its presets and its "Custom"
// preset. It owns all of them.
class OutputFormat {
public:
    explicit OutputFormat(const FormatDefinition& definition);
    virtual ~OutputFormat();
    OutputFormat(const OutputFormat&) = delete;
    OutputFormat& operator=(const OutputFormat&) = delete;

    // Writes the preset resolved against the source's first video and audio stream values
    // into out, which the caller has zeroed. Always true.
    virtual bool Resolve(ConversionSettings& out, const Preset& preset,
                         const std::optional<SourceVideo>& video,
                         const std::optional<SourceAudio>& audio) const;
    // Resolves, then sets the engine parameters; sets fields only, never clears one. Always true.
    virtual bool FillParams(ConversionParams& params, const Preset& preset,
                            const std::optional<SourceVideo>& video,
                            const std::optional<SourceAudio>& audio) const;
    // The factory presets in table order and the factory default; the custom preset and the
    // list positions stay as they are.
    virtual void ResetToFactory();

    bool HasAudio() const { return (flags & ConversionSettings::HasAudio) != 0; }
    bool HasVideo() const { return (flags & ConversionSettings::HasVideo) != 0; }
    const VideoCodec* FindVideoCodec(const QString& key) const;
    // Searched in the video codec's own audio list when it has one, else in audioCodecs.
    const AudioCodec* FindAudioCodec(const QString& key, const VideoCodec* videoCodec) const;
    // The index of the first preset with the same settings, or -1.
    int FindPreset(const Preset& preset) const;
    const std::vector<FactoryPreset>& FactoryPresets() const { return definition_.factoryPresets; }
    int FactoryDefault() const { return definition_.factoryDefault; }

    QString key;
    QString displayName; // identifies the format in the preset file
    QString extension;
    QString description;
    QString container;
    uint32_t flags = 0;
    std::vector<std::unique_ptr<AudioCodec>> audioCodecs;
    int defaultAudioCodec = 0;
    std::vector<std::unique_ptr<VideoCodec>> videoCodecs; // empty for audio-only formats
    int defaultVideoCodec = 0;
    std::vector<std::unique_ptr<Preset>> presets;
    int defaultPreset = 0;
    std::unique_ptr<Preset> customPreset;
    int customIndex = -1;
    int currentIndex = 0;

private:
    const FormatDefinition& definition_;
};

struct FormatGroup {
    QString name;
    std::vector<std::unique_ptr<OutputFormat>> formats;
    int defaultFormat = 0;
};

using Catalog = std::vector<std::unique_ptr<FormatGroup>>;

} // namespace Tarnwick
