#pragma once

#include <QString>

namespace Tarnwick {

// Where "Update yt-dlp" installs Tarnwick's own yt-dlp: $XDG_DATA_HOME/Ostrand/Tarnwick/yt-dlp/
// (usually ~/.local/share/...), apart from the system's package, which it never touches.
QString PrivateYtDlpFolder();
// The program in that folder, "yt-dlp".
QString PrivateYtDlpPath();

} // namespace Tarnwick
