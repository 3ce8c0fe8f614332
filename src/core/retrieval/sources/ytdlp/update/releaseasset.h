#pragma once

#include <QString>

namespace Tarnwick {

// The release file that runs on this machine: the standalone build for the processor where
// yt-dlp publishes one ("yt-dlp_linux" for x86_64, "yt-dlp_linux_aarch64", ...), else the
// Python zipapp "yt-dlp" when python3 is there to run it; empty when neither fits.
// cpuArchitecture is what QSysInfo::currentCpuArchitecture() says.
QString YtDlpReleaseAsset(const QString& cpuArchitecture, bool pythonPresent);
QString YtDlpReleaseAssetForThisMachine();

} // namespace Tarnwick
