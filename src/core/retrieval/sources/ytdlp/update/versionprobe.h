#pragma once

#include <QString>
#include <functional>

namespace Tarnwick {

struct VersionProbe {
    // What the program printed as its version (empty when it did not answer with one).
    QString version;
    bool stopped = false;
    QString failure;
};

// Runs `<program> --version` and reads the version from its first line of output; proves
// that a yt-dlp runs at all.
VersionProbe ProbeYtDlpVersion(const QString& program, const std::function<bool()>& stopRequested = {});

} // namespace Tarnwick
