#include "stalejobfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <optional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace Tarnwick {

namespace {

// The job file's name, and the engine's partial output beside it.
const QRegularExpression JobFileName(QRegularExpression::anchoredPattern(
    QStringLiteral("((?:\\.~VD[A-Za-z0-9]+\\.part)|(?:~VD[A-Za-z0-9]+\\.tmp))(\\.partial-[A-Za-z0-9]+)?")));

#ifdef Q_OS_UNIX
// Takes the job file for ourselves when nobody holds it; the handle, or -1 when it is held (or
// cannot be opened, when it is left alone too).
int TakeUnheld(const QString& path) {
    const int handle =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (handle < 0)
        return -1;
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        ::close(handle);
        return -1;
    }
    return handle;
}
#endif

} // namespace

bool IsHeldJobFile(const QString& path) {
#ifdef Q_OS_UNIX
    const int handle = TakeUnheld(path);
    if (handle < 0)
        return QFileInfo(path).isFile(); // a file that cannot be taken is held, or not ours to judge
    ::close(handle);
    return false;
#else
    Q_UNUSED(path);
    return false;
#endif
}

int HoldJobFile(const QString& path) {
#ifdef Q_OS_UNIX
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (handle >= 0 && ::flock(handle, LOCK_SH | LOCK_NB) != 0) {
        ::close(handle);
        return -1;
    }
    return handle;
#else
    Q_UNUSED(path);
    return -1;
#endif
}

void ReleaseJobFile(int handle) {
#ifdef Q_OS_UNIX
    if (handle >= 0)
        ::close(handle);
#else
    Q_UNUSED(handle);
#endif
}

int RemoveStaleJobFiles(const QString& folder, const QDateTime& now,
                        const std::function<QStringList()>& keptFiles) {
#ifdef Q_OS_UNIX
    if (folder.isEmpty())
        return 0;
    const QDir dir(folder);
    // Partial outputs sort after their job file; a job file removed first takes its partials
    // with it below, which is why each is looked at again.
    const QFileInfoList entries =
        dir.entryInfoList({QStringLiteral("*~VD*")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    int removed = 0;
    std::optional<QSet<QString>> kept;
    const auto isKept = [&](const QString& jobFile) {
        if (!kept) {
            kept.emplace();
            if (keptFiles)
                for (const QString& path : keptFiles())
                    kept->insert(QFileInfo(path).absoluteFilePath());
        }
        return kept->contains(QFileInfo(jobFile).absoluteFilePath());
    };
    for (const QFileInfo& entry : entries) {
        const QRegularExpressionMatch match = JobFileName.match(entry.fileName());
        if (!match.hasMatch() || entry.isSymLink() || !entry.isFile())
            continue;
        if (entry.lastModified().secsTo(now) < StaleJobFileMinimumAgeSeconds)
            continue;
        const QString jobFile = dir.filePath(match.captured(1));
        if (isKept(jobFile))
            continue;
        // A partial output whose job file is gone belongs to no job.
        const QFileInfo jobInfo(jobFile);
        int handle = -1;
        if (jobInfo.exists() || jobInfo.isSymLink()) {
            if (jobInfo.isSymLink() || !jobInfo.isFile())
                continue;
            handle = TakeUnheld(jobFile);
            if (handle < 0)
                continue;
        }
        if (QFile::remove(entry.absoluteFilePath()))
            ++removed;
        ReleaseJobFile(handle);
    }
    return removed;
#else
    Q_UNUSED(folder);
    Q_UNUSED(now);
    Q_UNUSED(keptFiles);
    return 0;
#endif
}

} // namespace Tarnwick
