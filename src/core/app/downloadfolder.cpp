#include "downloadfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Tarnwick {

QString FallbackDownloadFolder() {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    for (const QString& folder : {videos, downloads}) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return QDir::toNativeSeparators(folder);
    }
    if (!videos.isEmpty() && QDir().mkpath(videos))
        return QDir::toNativeSeparators(videos);
    return QDir::toNativeSeparators(QDir::homePath());
}

} // namespace Tarnwick
