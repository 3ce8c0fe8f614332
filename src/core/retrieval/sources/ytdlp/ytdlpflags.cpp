#include "ytdlpflags.h"

#include "ytdlpversion.h"

#include <optional>

namespace Tarnwick {

namespace {

struct FlagSince {
    const char* flag;
    const char* since;
};

// Flags Tarnwick may pass that the oldest supported yt-dlp lacks, with the release that
// brought each.
constexpr FlagSince NewerFlags[] = {
    {"--netrc-cmd", "2023.07.06"},
    {"--impersonate", "2024.03.10"},
    {"--progress-delta", "2024.07.01"},
    {"--js-runtimes", "2025.11.12"},
};

} // namespace

QString YtDlpFlagSince(QStringView flag) {
    for (const FlagSince& entry : NewerFlags) {
        if (flag == QLatin1String(entry.flag))
            return QString::fromLatin1(entry.since);
    }
    return QString();
}

bool YtDlpHasFlag(const QString& versionText, QStringView flag) {
    const QString since = YtDlpFlagSince(flag);
    if (since.isEmpty())
        return true;
    const std::optional<YtDlpVersion> version = YtDlpVersion::Parse(versionText);
    return version && *version >= *YtDlpVersion::Parse(since);
}

} // namespace Tarnwick
