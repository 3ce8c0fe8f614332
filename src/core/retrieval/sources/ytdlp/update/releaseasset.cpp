#include "releaseasset.h"

#include <QStandardPaths>
#include <QSysInfo>

namespace Tarnwick {

QString YtDlpReleaseAsset(const QString& cpuArchitecture, bool pythonPresent) {
#ifdef Q_OS_LINUX
    if (cpuArchitecture == QLatin1String("x86_64"))
        return QStringLiteral("yt-dlp_linux");
    if (cpuArchitecture == QLatin1String("arm64"))
        return QStringLiteral("yt-dlp_linux_aarch64");
    if (cpuArchitecture == QLatin1String("arm"))
        return QStringLiteral("yt-dlp_linux_armv7l");
#else
    Q_UNUSED(cpuArchitecture);
#endif
    return pythonPresent ? QStringLiteral("yt-dlp") : QString();
}

QString YtDlpReleaseAssetForThisMachine() {
    return YtDlpReleaseAsset(QSysInfo::currentCpuArchitecture(),
                             !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty());
}

} // namespace Tarnwick
