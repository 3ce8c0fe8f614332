#pragma once

#include <QString>
#include <QStringView>

namespace Tarnwick {

// The oldest yt-dlp Tarnwick works with (the one Debian 12 ships). Flags it has are passed to
// any yt-dlp; flags added since are passed only to a yt-dlp that has them, because an older
// one ends at once on a flag it does not know.
inline constexpr char OldestSupportedYtDlp[] = "2023.03.04";

// Whether the yt-dlp of this version (what `--version` printed) takes the flag. A version
// that cannot be read gets only the flags of the oldest supported one.
bool YtDlpHasFlag(const QString& versionText, QStringView flag);

// The first release that has the flag, for flags newer than the oldest supported yt-dlp;
// empty for the others.
QString YtDlpFlagSince(QStringView flag);

} // namespace Tarnwick
