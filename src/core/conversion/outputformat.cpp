#include "outputformat.h"

#include "codeccatalog.h"
#include "conversionparams.h"

namespace Tarnwick {

ConversionSettings FactoryPreset::Record() const {
    ConversionSettings record = ZeroSettings();
    SetText(record.name, name);
    record.flags = flags;
    SetText(record.audioCodec, audioCodec);
    record.sampleRate = sampleRate;
    record.audioBitRate = audioBitRate;
    record.channels = channels;
    SetText(record.videoCodec, videoCodec);
    record.frameRateNum = frameRateNum;
    record.frameRateDen = frameRateDen;
    record.videoBitRate = videoBitRate;
    record.width = width;
    record.height = height;
    return record;
}

OutputFormat::OutputFormat(const FormatDefinition& definition)
    : key(QString::fromLatin1(definition.key))
    , displayName(QString::fromLatin1(definition.displayName))
    , extension(QString::fromLatin1(definition.extension))
    , description(QString::fromLatin1(definition.description))
    , container(QString::fromLatin1(definition.container))
    , flags(definition.flags)
    , defaultPreset(definition.factoryDefault)
    , definition_(definition) {
    for (const char* codecKey : definition.audioCodecs)
        audioCodecs.push_back(MakeAudioCodec(QString::fromLatin1(codecKey)));
    for (const char* codecKey : definition.videoCodecs)
        videoCodecs.push_back(MakeVideoCodec(QString::fromLatin1(codecKey)));
    customPreset = std::make_unique<Preset>(this);
    customPreset->Apply(definition.factoryPresets.at(size_t(defaultPreset)).Record());
    SetText(customPreset->settings.name, "Custom");
}

OutputFormat::~OutputFormat() {
    // Presets refer to the codec entries; they go first.
    presets.clear();
    customPreset.reset();
}

void OutputFormat::ResetToFactory() {
    defaultPreset = definition_.factoryDefault;
    presets.clear();
    for (const FactoryPreset& row : definition_.factoryPresets) {
        auto preset = std::make_unique<Preset>(this);
        preset->Apply(row.Record());
        presets.push_back(std::move(preset));
    }
}

const VideoCodec* OutputFormat::FindVideoCodec(const QString& codecKey) const {
    if (!HasVideo())
        return nullptr;
    for (const auto& codec : videoCodecs) {
        if (codec->key == codecKey)
            return codec.get();
    }
    return nullptr;
}

const AudioCodec* OutputFormat::FindAudioCodec(const QString& codecKey, const VideoCodec* videoCodec) const {
    if (!HasAudio())
        return nullptr;
    const auto& offered =
        videoCodec != nullptr && videoCodec->audioForVideo ? *videoCodec->audioForVideo : audioCodecs;
    for (const auto& codec : offered) {
        if (codec->key == codecKey)
            return codec.get();
    }
    return nullptr;
}

int OutputFormat::FindPreset(const Preset& preset) const {
    for (size_t i = 0; i < presets.size(); ++i) {
        if (SameSettings(*presets[i], preset))
            return int(i);
    }
    return -1;
}

bool OutputFormat::Resolve(ConversionSettings& out, const Preset& preset,
                           const std::optional<SourceVideo>& video,
                           const std::optional<SourceAudio>& audio) const {
    const ConversionSettings& asked = preset.settings;
    out.flags = asked.flags | flags;
    SetText(out.name, container);
    if (preset.videoCodec != nullptr && video) {
        const VideoCodec& codec = *preset.videoCodec;
        SetText(out.videoCodec, codec.engineName);
        const FrameRate rate = codec.ResolveFrameRate(asked.frameRateNum, asked.frameRateDen,
                                                      video->frameRateNum, video->frameRateDen);
        out.frameRateNum = rate.num;
        out.frameRateDen = rate.den;
        out.videoBitRate = codec.ResolveBitRate(asked.videoBitRate, video->bitRate);
        const PictureSize size = codec.ResolveSize(asked.width, asked.height, video->width, video->height);
        out.width = size.width;
        out.height = size.height;
    }
    if (preset.audioCodec != nullptr && audio) {
        const AudioCodec& codec = *preset.audioCodec;
        SetText(out.audioCodec, codec.engineName);
        out.sampleRate = codec.ResolveSampleRate(asked.sampleRate, audio->sampleRate);
        out.audioBitRate = codec.ResolveBitRate(asked.audioBitRate, audio->bitRate);
        out.channels = codec.ResolveChannels(asked.channels, audio->channels);
    }
    return true;
}

bool OutputFormat::FillParams(ConversionParams& params, const Preset& preset,
                              const std::optional<SourceVideo>& video,
                              const std::optional<SourceAudio>& audio) const {
    ConversionSettings resolved = ZeroSettings();
    Resolve(resolved, preset, video, audio);
    if (resolved.name[0] != '\0')
        params.format = TextOf(resolved.name);

    if (!(resolved.flags & ConversionSettings::HasAudio) ||
        (resolved.flags & ConversionSettings::AudioDisabled)) {
        params.disableAudio = true;
    } else {
        if (resolved.audioCodec[0] != '\0')
            params.audioCodec = TextOf(resolved.audioCodec);
        if (resolved.channels > 0)
            params.channels = resolved.channels;
        if (resolved.sampleRate > 0)
            params.sampleRate = resolved.sampleRate;
        if (resolved.audioBitRate > 0)
            params.audioBitRate = resolved.audioBitRate;
    }

    if (!(resolved.flags & ConversionSettings::HasVideo) ||
        (resolved.flags & ConversionSettings::VideoDisabled)) {
        params.disableVideo = true;
    } else {
        if (resolved.videoCodec[0] != '\0')
            params.videoCodec = TextOf(resolved.videoCodec);
        if (resolved.width > 0 && resolved.height > 0) {
            params.width = resolved.width;
            params.height = resolved.height;
        }
        if (resolved.frameRateNum > 0 && resolved.frameRateDen > 0) {
            params.frameRateNum = resolved.frameRateNum;
            params.frameRateDen = resolved.frameRateDen;
        }
        if (resolved.videoBitRate > 0)
            params.videoBitRate = resolved.videoBitRate;
    }
    return true;
}

} // namespace Tarnwick
