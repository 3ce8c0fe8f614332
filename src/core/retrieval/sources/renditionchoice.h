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
// largest. Renditions of equal size keep their order. -1 when sizes is empty.
int ChooseRendition(const QList<RenditionSize>& sizes, VideoQuality quality);

// The choice as the job's status line shows it: "720p, largest of 3"; empty for a single one.
QString RenditionChoiceText(const QList<RenditionSize>& sizes, int chosen, VideoQuality quality);

} // namespace Tarnwick
