#pragma once

#include <QString>

namespace Tarnwick {

// A height as players' labels and file names spell it: "720p", "HD 720p", "1080p60",
// "clip_1280x720.mp4". 0 where the text gives none ("Auto", "HD", "0", "Episode 12").
int HeightSpelledIn(const QString& text);

} // namespace Tarnwick
