#include "hlsvariantchoice.h"

#include "conversion/streammerge.h"
#include "renditionchoice.h"

#include <QStringList>

namespace Tarnwick {

namespace {

// A CODECS entry is a sample-entry name with its profile after a dot ("avc1.64001f"); the
// name alone tells the kind of stream.
QString EntryName(const QString& entry) {
    return entry.trimmed().section(u'.', 0, 0).toLower();
}

QStringList EntryNames(const QString& codecs) {
    QStringList names;
    for (const QString& entry : codecs.split(u',', Qt::SkipEmptyParts))
        names.append(EntryName(entry));
    return names;
}

// The name a merge container check uses for an entry: "h264", "aac", ...; empty for others.
QString CodecOf(const QString& name) {
    static const QList<std::pair<QStringList, QString>> table = {
        {{QStringLiteral("avc1"), QStringLiteral("avc3")}, QStringLiteral("h264")},
        {{QStringLiteral("hvc1"), QStringLiteral("hev1"), QStringLiteral("dvh1"), QStringLiteral("dvhe")},
         QStringLiteral("hevc")},
        {{QStringLiteral("av01")}, QStringLiteral("av1")},
        {{QStringLiteral("vp08"), QStringLiteral("vp8")}, QStringLiteral("vp8")},
        {{QStringLiteral("vp09"), QStringLiteral("vp9")}, QStringLiteral("vp9")},
        {{QStringLiteral("mp4v")}, QStringLiteral("mpeg4")},
        {{QStringLiteral("mp4a")}, QStringLiteral("aac")},
        {{QStringLiteral("mp3")}, QStringLiteral("mp3")},
        {{QStringLiteral("ac-3")}, QStringLiteral("ac3")},
        {{QStringLiteral("ec-3")}, QStringLiteral("eac3")},
        {{QStringLiteral("opus")}, QStringLiteral("opus")},
        {{QStringLiteral("vorbis")}, QStringLiteral("vorbis")},
        {{QStringLiteral("flac"), QStringLiteral("fla")}, QStringLiteral("flac")},
        {{QStringLiteral("alac")}, QStringLiteral("alac")},
    };
    for (const auto& [names, codec] : table) {
        if (names.contains(name))
            return codec;
    }
    return QString();
}

bool IsVideoCodec(const QString& codec) {
    static const QStringList video{QStringLiteral("h264"), QStringLiteral("hevc"), QStringLiteral("av1"),
                                   QStringLiteral("vp8"),  QStringLiteral("vp9"),  QStringLiteral("mpeg4")};
    return video.contains(codec);
}

bool IsAudioCodec(const QString& codec) {
    return !codec.isEmpty() && !IsVideoCodec(codec);
}

QString VariantLabel(const HlsVariant& variant) {
    if (variant.height > 0)
        return QStringLiteral("%1x%2").arg(variant.width).arg(variant.height);
    return QStringLiteral("%1 kbit/s").arg(variant.bandwidth / 1000);
}

} // namespace

bool IsPictureVariant(const HlsVariant& variant) {
    if (variant.height > 0)
        return true;
    for (const QString& name : EntryNames(variant.codecs)) {
        if (IsVideoCodec(CodecOf(name)))
            return true;
    }
    return false;
}

bool IsAudioOnlyVariant(const HlsVariant& variant) {
    if (IsPictureVariant(variant))
        return false;
    for (const QString& name : EntryNames(variant.codecs)) {
        if (IsAudioCodec(CodecOf(name)))
            return true;
    }
    return false;
}

HlsVariantChoice ChooseHlsVariant(const HlsPlaylist& master, VideoQuality quality) {
    HlsVariantChoice choice;
    QList<int> candidates;
    for (qsizetype i = 0; i < master.variants.size(); ++i) {
        if (!IsAudioOnlyVariant(master.variants[i]))
            candidates.append(int(i));
    }
    if (candidates.isEmpty()) {
        // Sound is all there is: the best of it, whatever the quality asks of a picture.
        for (qsizetype i = 0; i < master.variants.size(); ++i) {
            if (choice.index < 0 || master.variants[i].bandwidth > master.variants[choice.index].bandwidth)
                choice.index = int(i);
        }
        if (choice.index >= 0) {
            choice.audioOnly = true;
            choice.text = QStringLiteral("sound only, %1").arg(VariantLabel(master.variants[choice.index]));
        }
        return choice;
    }
    QList<RenditionSize> sizes;
    for (int index : candidates) {
        const HlsVariant& variant = master.variants[index];
        sizes.append({variant.height, variant.bandwidth, VariantLabel(variant)});
    }
    const int chosen = ChooseRendition(sizes, quality);
    choice.index = candidates[chosen];
    choice.text = RenditionChoiceText(sizes, chosen, quality);
    return choice;
}

const HlsAudioRendition* ChooseAudioRendition(const HlsPlaylist& master, const QString& group,
                                              const QString& language) {
    const HlsAudioRendition* first = nullptr;
    const HlsAudioRendition* byDefault = nullptr;
    const HlsAudioRendition* byLanguage = nullptr;
    for (const HlsAudioRendition& rendition : master.audioRenditions) {
        if (rendition.groupId != group)
            continue;
        if (first == nullptr)
            first = &rendition;
        if (byDefault == nullptr && rendition.isDefault)
            byDefault = &rendition;
        // "en" matches "en" and "en-GB": a tag's primary part is the language.
        const QString primary = rendition.language.section(u'-', 0, 0);
        if (byLanguage == nullptr && rendition.autoselect && !language.isEmpty() &&
            primary.compare(language, Qt::CaseInsensitive) == 0)
            byLanguage = &rendition;
    }
    return byLanguage ? byLanguage : byDefault ? byDefault : first;
}

QString MergedContainerFromCodecs(const QString& codecs) {
    QString video;
    QString audio;
    for (const QString& name : EntryNames(codecs)) {
        const QString codec = CodecOf(name);
        if (video.isEmpty() && IsVideoCodec(codec))
            video = codec;
        else if (audio.isEmpty() && IsAudioCodec(codec))
            audio = codec;
    }
    return MergeContainerForCodecs(video, audio);
}

} // namespace Tarnwick
