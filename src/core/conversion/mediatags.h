#pragma once

#include "chaptermark.h"

#include <QList>
#include <QString>

namespace Tarnwick {

struct ConversionParams;

// What a converted file is told about its video: the title, who made it, the year, where it
// came from, its chapters, its description and its cover. Empty fields are left out.
struct MediaTags {
    QString title;
    QString artist;
    int year = 0;
    QString source; // the address it was downloaded from, as the comment
    QList<ChapterMark> chapters;
    QString description;
    QString coverPath; // a JPEG or PNG picture file to attach as the cover
};

// Puts the tags into the conversion, each made safe first: control characters become blanks,
// runs of blanks one, and a text is cut at a length every container takes. The chapters, the
// description and the cover go only to an engine that takes them (laterAdditions: one of
// interface version 3), the chapters in the order of their starts, one of each start, at most
// MostChapters.
void ApplyTags(ConversionParams& params, const MediaTags& tags, bool laterAdditions);

// A video of more chapters than this has a list of marks, not chapters.
inline constexpr int MostChapters = 1000;

// The longest tag text kept, in characters.
inline constexpr int LongestTag = 1024;

} // namespace Tarnwick
