#include "ytdlpformatchoice.h"

#include "retrieval/sources/renditionchoice.h"

#include <algorithm>

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

// The better of two formats of the same picture (or two sound formats): the one Tarnwick
// fetches itself, then the one that needs no merge, then by bit rate.
bool Better(const YtDlpFormat& a, const YtDlpFormat& b, bool preferSmall) {
    if (FetchRank(a) != FetchRank(b))
        return FetchRank(a) < FetchRank(b);
    if (a.hasAudio != b.hasAudio)
        return a.hasAudio;
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

YtDlpChoice ChooseYtDlpFormats(const QList<YtDlpFormat>& formats, VideoQuality quality) {
    const bool preferSmall = quality == VideoQuality::Standard;
    QList<int> pictures;
    QList<int> sounds;
    bool anyHeight = false;
    for (int i = 0; i < formats.size(); ++i) {
        if (formats[i].hasVideo) {
            pictures.append(i);
            anyHeight = anyHeight || formats[i].height > 0;
        } else if (IsAudioOnly(formats[i])) {
            sounds.append(i);
        }
    }

    YtDlpChoice choice;
    if (pictures.isEmpty()) {
        // Sound alone is delivered at its best whatever the quality: there is no picture to save on.
        choice.audio = BestOf(formats, sounds, false);
        return choice;
    }
    // Formats without a known height cannot be placed among those with one.
    if (anyHeight)
        pictures.erase(std::remove_if(pictures.begin(), pictures.end(),
                                      [&formats](int i) { return formats[i].height <= 0; }),
                       pictures.end());

    // Each height counts once; the rule of the built-in renditions picks among the heights.
    QList<int> heights;
    for (const int i : pictures) {
        if (!heights.contains(formats[i].height))
            heights.append(formats[i].height);
    }
    std::sort(heights.begin(), heights.end());
    QList<RenditionSize> sizes;
    for (const int height : heights)
        sizes.append({height, 0, height > 0 ? QStringLiteral("%1p").arg(height) : QString()});
    const int chosenHeight = heights[ChooseRendition(sizes, quality)];
    choice.label = RenditionChoiceText(sizes, int(heights.indexOf(chosenHeight)), quality);

    QList<int> atHeight;
    for (const int i : pictures) {
        if (formats[i].height == chosenHeight)
            atHeight.append(i);
    }
    choice.video = BestOf(formats, atHeight, preferSmall);
    if (!formats[choice.video].hasAudio)
        choice.audio = BestOf(formats, sounds, preferSmall);
    return choice;
}

} // namespace Tarnwick
