#include "safefilereplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace Tarnwick {

namespace {

// The data must be on the disk before the rename makes it the file; otherwise a power cut
// soon after the rename can leave the new name on an empty file.
bool SyncToDisk(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

bool RenameOver(const QString& from, const QString& to) {
    std::error_code error;
    // Replaces an existing target in one step, on Windows as well.
    std::filesystem::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData(), error);
    return !error;
}

// Makes the rename itself survive a power cut. Windows has no such call for folders.
void SyncFolder(const QString& folder) {
#ifndef Q_OS_WIN
    const int handle = ::open(QFile::encodeName(folder).constData(), O_RDONLY);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
#else
    Q_UNUSED(folder);
#endif
}

} // namespace

bool ReplaceFileSafely(const QString& target, const std::function<bool(const QString&)>& write,
                       const std::function<bool(const QString&)>& verify) {
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && !targetInfo.isFile()) {
        // A pipe, a socket or a device node (reached through a link, say) would be replaced by
        // a regular file and lost; a folder cannot be.
        std::fprintf(stderr, "tarnwick: %s is not a regular file; it is not replaced\n",
                     qPrintable(QDir::toNativeSeparators(target)));
        return false;
    }
    if (!QDir().mkpath(targetInfo.absolutePath()))
        return false;

    QString tempPath;
    {
        // Reserves a name of our own beside the target; two processes never share one.
        QTemporaryFile reserve(targetInfo.absoluteFilePath() + QLatin1Char('.') +
                               QLatin1String(SaveCopyMarker) + QStringLiteral("XXXXXX"));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            return false;
        tempPath = reserve.fileName();
    }

    bool saved = write(tempPath) && (!verify || verify(tempPath)) && SyncToDisk(tempPath);
    if (saved) {
        // The reserved file is private to its owner; give the new file what the old one had.
        const QFileDevice::Permissions permissions =
            targetInfo.exists() ? QFile::permissions(target)
                                : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                      QFileDevice::ReadOther;
        QFile::setPermissions(tempPath, permissions);
        saved = RenameOver(tempPath, target);
        if (saved)
            SyncFolder(targetInfo.absolutePath());
    }
    if (!saved)
        QFile::remove(tempPath);
    return saved;
}

QString SaveTarget(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.symLinkTarget() : resolved;
}

} // namespace Tarnwick
