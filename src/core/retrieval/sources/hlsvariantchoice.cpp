#include "hlsvariantchoice.h"

#include "conversion/streammerge.h"

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

bool IsAudioCodec(const QString& codec) {
    return !codec.isEmpty() && !IsPictureCodec(codec);
}

QString VariantLabel(const HlsVariant& variant) {
    if (variant.height > 0)
        return QStringLiteral("%1x%2").arg(variant.width).arg(variant.height);
    return QStringLiteral("%1 kbit/s").arg(variant.bandwidth / 1000);
}

QString VariantId(int index) {
    return QStringLiteral("hls-%1").arg(index);
}

} // namespace

bool IsPictureVariant(const HlsVariant& variant) {
    if (variant.height > 0)
        return true;
    for (const QString& name : EntryNames(variant.codecs)) {
        if (IsPictureCodec(CodecFamily(name)))
            return true;
    }
    return false;
}

bool IsAudioOnlyVariant(const HlsVariant& variant) {
    if (IsPictureVariant(variant))
        return false;
    for (const QString& name : EntryNames(variant.codecs)) {
        if (IsAudioCodec(CodecFamily(name)))
            return true;
    }
    return false;
}

QList<OfferedFormat> HlsOffers(const HlsPlaylist& master) {
    QList<OfferedFormat> offers;
    for (qsizetype i = 0; i < master.variants.size(); ++i) {
        const HlsVariant& variant = master.variants[i];
        OfferedFormat offer;
        offer.id = VariantId(int(i));
        offer.height = variant.height;
        offer.frameRate = variant.frameRate;
        offer.hasPicture = !IsAudioOnlyVariant(variant);
        bool soundNamed = false;
        for (const QString& entry : variant.codecs.split(u',', Qt::SkipEmptyParts)) {
            const QString codec = CodecFamily(entry);
            if (IsPictureCodec(codec) && offer.pictureCodec.isEmpty())
                offer.pictureCodec = entry.trimmed();
            else if (IsAudioCodec(codec) && offer.soundCodec.isEmpty())
                offer.soundCodec = entry.trimmed();
            soundNamed = soundNamed || IsAudioCodec(codec);
        }
        // Without CODECS nothing says the sound is missing; a sound group brings it.
        offer.hasSound = soundNamed || variant.codecs.isEmpty() || !variant.audioGroup.isEmpty();
        offer.container = QStringLiteral("hls");
        offer.kbps = double(variant.bandwidth) / 1000.0;
        offers.append(offer);
    }
    return offers;
}

HlsVariantChoice ChooseHlsVariant(const HlsPlaylist& master, const PictureWish& wish) {
    HlsVariantChoice choice;
    QList<int> candidates;
    // The variants that show a picture, as the one rule ranks them.
    QList<OfferedPicture> pictures;
    const QList<OfferedFormat> offers = HlsOffers(master);
    for (qsizetype i = 0; i < offers.size(); ++i) {
        if (!offers[i].hasPicture)
            continue;
        const HlsVariant& variant = master.variants[i];
        pictures.append({offers[i].id, variant.height, double(variant.bandwidth),
                         CodecFamily(offers[i].pictureCodec), 0, VariantLabel(variant)});
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
    const PictureChoice chosen = ChoosePicture(pictures, wish);
    choice.index = candidates[chosen.index];
    choice.text = chosen.text;
    return choice;
}

const HlsRendition* ChooseAudioRendition(const HlsPlaylist& master, const QString& group,
                                         const QString& language) {
    const HlsRendition* first = nullptr;
    const HlsRendition* byDefault = nullptr;
    const HlsRendition* byLanguage = nullptr;
    for (const HlsRendition& rendition : master.audioRenditions) {
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

QList<SubtitleOffer> HlsSubtitleOffers(const HlsPlaylist& master, const HlsVariant& variant) {
    QList<SubtitleOffer> offers;
    for (const HlsRendition& rendition : master.subtitleRenditions) {
        if (rendition.forced ||
            (!variant.subtitleGroup.isEmpty() && rendition.groupId != variant.subtitleGroup))
            continue;
        offers.append({rendition.language, rendition.uri, QStringLiteral("m3u8"), rendition.name, false});
    }
    return offers;
}

QString MergedContainerFromCodecs(const QString& codecs) {
    QString video;
    QString audio;
    for (const QString& name : EntryNames(codecs)) {
        const QString codec = CodecFamily(name);
        if (video.isEmpty() && IsPictureCodec(codec))
            video = codec;
        else if (audio.isEmpty() && IsAudioCodec(codec))
            audio = codec;
    }
    return MergeContainerForCodecs(video, audio);
}

} // namespace Tarnwick
