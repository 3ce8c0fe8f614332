#pragma once

#include "retrieval/sources/offeredformat.h"
#include "retrieval/sources/picturechoice.h"
#include "ytdlpinfo.h"

#include <QString>

namespace Tarnwick {

// Which of a video's formats a job downloads: one format, or a picture-only format and a
// sound-only one to be merged into one file.
struct YtDlpChoice {
    int video = -1; // the format with the picture; -1 when the site offers sound alone
    int audio = -1; // the sound to merge with it, or the sound alone; -1 when none is needed
    QString label;  // for the status line: "720p, largest of 3"; empty when there was no choice
    bool IsEmpty() const { return video < 0 && audio < 0; }
};

// The picture by the rule of ChoosePicture, a format's id being yt-dlp's format_id; among
// formats of one height (and codec) those Tarnwick fetches itself come first, then those that
// carry sound too. A format without sound gets the best sound-only format (the smallest for
// Standard). A site without pictures gives its best sound. Empty when there is no format.
YtDlpChoice ChooseYtDlpFormats(const QList<YtDlpFormat>& formats, const PictureWish& wish);

// The formats as a list of them shows them.
QList<OfferedFormat> YtDlpOffers(const QList<YtDlpFormat>& formats);

} // namespace Tarnwick
