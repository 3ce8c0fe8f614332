#pragma once

#include "queue/jobstate.h"

#include <QList>
#include <QString>

namespace Tarnwick {

// How large one offered rendition is: its picture first, its bit rate where pictures tie.
struct RenditionSize {
    qint64 pixels = 0; // width x height, or the height alone where only that is known
    qint64 bandwidth = 0;
    QString label; // what the status line calls it ("1280x720", "720p")
};

// The position in sizes of the rendition the run's quality asks for: Standard the smallest,
// HighFlv the middle one (the lower of the two middle ones of an even count), HighMp4 the
// largest. Renditions of equal size keep their order. A rendition of no known size (an "Auto"
// choice that adapts, a label without a height) is not compared: it is taken only when no
// rendition has a size, and then the first is, as a player would start with it. -1 when sizes is
// empty.
int ChooseRendition(const QList<RenditionSize>& sizes, VideoQuality quality);

// The choice as the job's status line shows it: "720p, largest of 3"; empty for a single one
// and for a choice not made by size.
QString RenditionChoiceText(const QList<RenditionSize>& sizes, int chosen, VideoQuality quality);

// A height as players' labels and file names spell it: "720p", "HD 720p", "1080p60",
// "clip_1280x720.mp4". 0 where the text gives none ("Auto", "HD", "0", "Episode 12").
int HeightSpelledIn(const QString& text);

} // namespace Tarnwick
