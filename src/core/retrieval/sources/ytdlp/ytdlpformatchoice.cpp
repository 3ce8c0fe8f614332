#include "ytdlpformatchoice.h"

namespace Tarnwick {

namespace {

// What Tarnwick can fetch with its own transfer, in order of preference.
int FetchRank(const YtDlpFormat& format) {
    if (IsHttpFormat(format))
        return 0;
    if (IsHlsFormat(format))
        return 1;
    return 2;
}

bool IsAudioOnly(const YtDlpFormat& format) {
    return !format.hasVideo && format.hasAudio;
}

// The better of two sound formats: the one Tarnwick fetches itself, then by bit rate.
bool Better(const YtDlpFormat& a, const YtDlpFormat& b, bool preferSmall) {
    if (FetchRank(a) != FetchRank(b))
        return FetchRank(a) < FetchRank(b);
    if (a.bitRate != b.bitRate)
        return preferSmall ? a.bitRate < b.bitRate : a.bitRate > b.bitRate;
    return false;
}

// The best of the formats at the given positions; -1 when there are none.
int BestOf(const QList<YtDlpFormat>& formats, const QList<int>& candidates, bool preferSmall) {
    int best = -1;
    for (const int index : candidates) {
        if (best < 0 || Better(formats[index], formats[best], preferSmall))
            best = index;
    }
    return best;
}

} // namespace

YtDlpChoice ChooseYtDlpFormats(const QList<YtDlpFormat>& formats, const PictureWish& wish) {
    const bool preferSmall = wish.quality == VideoQuality::Standard;
    QList<int> pictures;
    QList<int> sounds;
    for (int i = 0; i < formats.size(); ++i) {
        if (formats[i].hasVideo)
            pictures.append(i);
        else if (IsAudioOnly(formats[i]))
            sounds.append(i);
    }

    YtDlpChoice choice;
    if (pictures.isEmpty()) {
        // Sound alone is delivered at its best whatever the quality: there is no picture to save on.
        choice.audio = BestOf(formats, sounds, false);
        return choice;
    }
    QList<OfferedPicture> offers;
    for (const int i : pictures) {
        const YtDlpFormat& format = formats[i];
        // What Tarnwick fetches itself first, then what needs no merge.
        const int preference = FetchRank(format) * 2 + (format.hasAudio ? 0 : 1);
        offers.append({format.id, format.height, format.bitRate, CodecFamily(format.videoCodec), preference,
                       format.height > 0 ? QStringLiteral("%1p").arg(format.height) : QString()});
    }
    // "137+140": a picture and the sound chosen to go with it.
    PictureWish pictureWish = wish;
    pictureWish.exactFormat = wish.exactFormat.section(u'+', 0, 0);
    const QString chosenSound = wish.exactFormat.section(u'+', 1);
    const PictureChoice picture = ChoosePicture(offers, pictureWish);
    choice.video = pictures[picture.index];
    choice.label = picture.text;
    if (!formats[choice.video].hasAudio) {
        for (const int i : sounds)
            if (!chosenSound.isEmpty() && formats[i].id == chosenSound)
                choice.audio = i;
        if (choice.audio < 0)
            choice.audio = BestOf(formats, sounds, preferSmall);
    }
    return choice;
}

QList<OfferedFormat> YtDlpOffers(const QList<YtDlpFormat>& formats) {
    QList<OfferedFormat> offers;
    for (const YtDlpFormat& format : formats)
        offers.append({format.id, format.height, format.frameRate, format.videoCodec, format.audioCodec,
                       format.language, format.hasVideo, format.hasAudio, format.extension, format.bytes,
                       format.bitRate});
    return offers;
}

} // namespace Tarnwick
