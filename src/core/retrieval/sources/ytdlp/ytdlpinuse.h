#pragma once

#include "ytdlplocator.h"

#include <QString>

namespace Tarnwick {

// "2024.12.06 (Tarnwick's own copy: /home/.../yt-dlp)", or "not found" and where it was looked
// for; configuredPath is the settings value YtDlpPath the program was found by.
QString YtDlpInUseText(const YtDlpProgram& program, const QString& configuredPath);

} // namespace Tarnwick
