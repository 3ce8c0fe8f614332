#pragma once

#include <QString>

namespace Tarnwick {

struct ConversionParams;

// What a converted file is told about its video: the title, who made it, the year, and where
// it came from. Empty fields are left out.
struct MediaTags {
    QString title;
    QString artist;
    int year = 0;
    QString source; // the address it was downloaded from, as the comment
};

// Puts the tags into the conversion, each made safe first: control characters become blanks,
// runs of blanks one, and a text is cut at a length every container takes.
void ApplyTags(ConversionParams& params, const MediaTags& tags);

// The longest tag text kept, in characters.
inline constexpr int LongestTag = 1024;

} // namespace Tarnwick
