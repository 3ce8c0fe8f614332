#pragma once

#include "hlsplaylist.h"
#include "offeredformat.h"
#include "picturechoice.h"
#include "subtitlechoice.h"

#include <QString>

namespace Tarnwick {

// Whether a variant shows a picture: it states a RESOLUTION or names a video codec in CODECS.
bool IsPictureVariant(const HlsVariant& variant);
// A variant whose CODECS name sound and no picture (and which states no RESOLUTION).
bool IsAudioOnlyVariant(const HlsVariant& variant);

// The variant a quality takes from a master playlist, and how the status line names the choice.
struct HlsVariantChoice {
    int index = -1;
    QString text;           // "320x240, smallest of 3"; empty when there was nothing to choose
    bool audioOnly = false; // no variant has a picture: this is the best of the sound-only ones
};

// Of the variants that are not sound only, the picture the wish asks for by the rule of
// ChoosePicture (a variant's id is that of HlsOffers); a variant without a RESOLUTION is a
// picture of no known height. Only when every variant is sound only is one of them the answer, the one of
// the highest bandwidth. I-frame playlists are not variants (the parser does not list them).
// -1 when there are none.
HlsVariantChoice ChooseHlsVariant(const HlsPlaylist& master, const PictureWish& wish);

// Every variant as a list of formats shows it, its id "hls-" and its place in the master.
QList<OfferedFormat> HlsOffers(const HlsPlaylist& master);

// The rendition of group that carries the variant's sound: the first AUTOSELECT one in the
// system's language, else the DEFAULT one, else the first of the group. Null when the group
// has no rendition. language is a primary language tag ("en"); empty matches nothing.
const HlsRendition* ChooseAudioRendition(const HlsPlaylist& master, const QString& group,
                                         const QString& language);

// The subtitles that go with variant: the renditions of its SUBTITLES group, or of every group
// when it names none, each as a segmented WebVTT playlist (format "m3u8", addresses as
// written). Forced ones are left out: they show only what is not in the spoken language.
QList<SubtitleOffer> HlsSubtitleOffers(const HlsPlaylist& master, const HlsVariant& variant);

// The container that takes the variant's picture and a separate sound without re-encoding,
// as far as CODECS tells, by the rule of MergeContainerForCodecs; ".mkv", which takes
// anything, when CODECS does not name both.
QString MergedContainerFromCodecs(const QString& codecs);

} // namespace Tarnwick
