#pragma once

#include <QString>

namespace Tarnwick {

// Where the yt-dlp in use comes from.
enum class YtDlpOrigin {
    None,       // no yt-dlp was found
    Configured, // the settings value YtDlpPath
    Private,    // the copy Tarnwick installed in its data folder
    SystemPath, // the first yt-dlp on PATH
};

// A yt-dlp that was found, with what its `--version` printed (empty when it did not run).
struct YtDlpCandidate {
    QString path;
    QString version;
    bool IsUsable() const { return !path.isEmpty() && !version.isEmpty(); }
};

// Without a configured path, the newer of Tarnwick's own copy and the one on PATH runs, by
// the date each prints as its version. One whose version cannot be read loses to one whose
// version can; between equals the own copy wins, which the user installed on purpose.
YtDlpOrigin ChooseNewerYtDlp(const YtDlpCandidate& privateCopy, const YtDlpCandidate& onPath);

// "Tarnwick's own copy", "on PATH", ... for the window and tarnwick-fetch --help.
QString YtDlpOriginText(YtDlpOrigin origin);

} // namespace Tarnwick
