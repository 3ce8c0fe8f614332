#include "preset.h"

#include "outputformat.h"
#include "presets/valueformat.h"

#include <cmath>

namespace Tarnwick {

Preset::Preset(OutputFormat* owner)
    : format(owner) {}

Preset::~Preset() = default;

bool Preset::Apply(const ConversionSettings& record) {
    settings = record;
    // Entries of an earlier record must not outlive it.
    videoCodec = nullptr;
    audioCodec = nullptr;
    if (format == nullptr)
        return false;
    if (format->HasVideo()) {
        videoCodec = format->FindVideoCodec(TextOf(settings.videoCodec));
        if (videoCodec == nullptr)
            return false;
    }
    if (format->HasAudio()) {
        audioCodec = format->FindAudioCodec(TextOf(settings.audioCodec), videoCodec);
        if (audioCodec == nullptr)
            return false;
    }
    return true;
}

void Preset::SetFavorite(bool on) {
    if (on)
        settings.flags |= ConversionSettings::FavoriteMark;
    else
        settings.flags &= ~ConversionSettings::FavoriteMark;
}

QString Preset::DisplayText(bool tabbed) const {
    const QString name = TextOf(settings.name);
    if (videoCodec != nullptr) {
        if (settings.width != 0 && settings.height != 0) {
            const QString size = FormatSize(settings.width, settings.height, "%d x %d", false);
            return tabbed ? name + QLatin1Char('\t') + size : QStringLiteral("%1 (%2)").arg(name, size);
        }
        return name;
    }
    return audioCodec != nullptr ? name : QString();
}

PresetDescription Preset::DescribeParts() const {
    PresetDescription parts;
    if (format != nullptr)
        parts.format = format->description;
    if (videoCodec != nullptr) {
        parts.video =
            QStringLiteral("%1, Size=%2, Frame Rate=%3, Bit Rate=%4")
                .arg(videoCodec->displayName, FormatSize(settings.width, settings.height, "%dx%d", true),
                     FormatFrameRate(settings.frameRateNum, settings.frameRateDen, "%.3f", true, true),
                     FormatBitRate(settings.videoBitRate, "%.3f", true, true));
    }
    if (audioCodec != nullptr) {
        parts.audio = QStringLiteral("%1, Channels=%2, Sample Rate=%3, Bit Rate=%4")
                          .arg(audioCodec->displayName, FormatChannels(settings.channels, true),
                               FormatSampleRate(settings.sampleRate, "%d", false, true),
                               FormatBitRate(settings.audioBitRate, "%.3f", true, true));
    }
    return parts;
}

QString Preset::Describe() const {
    const PresetDescription parts = DescribeParts();
    QString text = parts.format;
    if (!parts.video.isEmpty())
        text += QStringLiteral("; Video: ") + parts.video;
    if (!parts.audio.isEmpty())
        text += QStringLiteral("; Audio: ") + parts.audio;
    return text;
}

bool SameSettings(const Preset& a, const Preset& b) {
    const ConversionSettings& x = a.settings;
    const ConversionSettings& y = b.settings;
    if (a.format != b.format)
        return false;
    if (((x.flags ^ y.flags) & ConversionSettings::ComparedFlags) != 0)
        return false;
    if (a.audioCodec != b.audioCodec || a.videoCodec != b.videoCodec)
        return false;
    if (x.frameRateNum != 0 && x.frameRateDen != 0 && y.frameRateNum != 0 && y.frameRateDen != 0) {
        const double rateX = double(x.frameRateNum) / double(x.frameRateDen);
        const double rateY = double(y.frameRateNum) / double(y.frameRateDen);
        if (!(std::fabs(rateX - rateY) < 0.001))
            return false;
    } else if (x.frameRateNum != y.frameRateNum || x.frameRateDen != y.frameRateDen) {
        return false;
    }
    return x.videoBitRate == y.videoBitRate && x.width == y.width && x.height == y.height &&
           x.sampleRate == y.sampleRate && x.audioBitRate == y.audioBitRate && x.channels == y.channels;
}

} // namespace Tarnwick
