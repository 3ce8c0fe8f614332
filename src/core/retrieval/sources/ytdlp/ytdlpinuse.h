#pragma once

#include "ytdlpchoice.h"

#include <QString>
#include <functional>

namespace Tarnwick {

// The yt-dlp that runs, where it comes from and its version.
struct YtDlpInUse {
    YtDlpOrigin origin = YtDlpOrigin::None;
    QString path;
    QString version;
    bool IsFound() const { return origin != YtDlpOrigin::None; }
};

// YtDlpPath when it is set (a bare name is looked for on PATH); else the newer of Tarnwick's
// own copy and the yt-dlp on PATH. Runs each candidate's --version, so callers ask once and
// keep the answer; `stopRequested` ends a probe that hangs.
YtDlpInUse FindYtDlpInUse(const QString& configuredPath, const std::function<bool()>& stopRequested = {});

// "2024.12.06 (Tarnwick's own copy: /home/.../yt-dlp)", or "not found" and where it was looked for.
QString YtDlpInUseText(const YtDlpInUse& inUse);

} // namespace Tarnwick
