#pragma once

#include "queue/jobstate.h"
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

// Quality Standard takes the smallest picture height, HighFlv the middle one (the lower of
// the two middle ones of an even count) and HighMp4 the largest, counting each height once.
// Among formats of the chosen height those Tarnwick fetches itself come first, then those that
// carry sound too, then the lower (Standard) or higher bit rate. A format without sound gets
// the best sound-only format (the smallest for Standard). A site without pictures gives its
// best sound. Empty when there is no format at all.
YtDlpChoice ChooseYtDlpFormats(const QList<YtDlpFormat>& formats, VideoQuality quality);

} // namespace Tarnwick
