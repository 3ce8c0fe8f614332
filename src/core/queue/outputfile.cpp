#include "outputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Tarnwick {

QString FileNameOf(const QString& path) {
    return path.isEmpty() ? QString() : QFileInfo(path).fileName();
}

RenameResult RenameOutputFile(DownloadJob& job, const QString& newName, QString* message) {
    const QString oldName = FileNameOf(job.outputPath);
    if (newName.compare(oldName, Qt::CaseInsensitive) == 0)
        return RenameResult::Unchanged;

    auto refuse = [message](const QString& text) {
        if (message)
            *message = text;
        return RenameResult::Refused;
    };
    // A separator would move the file into another folder, which a rename in place must not.
    if (newName.isEmpty() || newName.contains(QLatin1Char('/')) || newName.contains(QDir::separator()) ||
        newName == QLatin1String(".") || newName == QLatin1String(".."))
        return refuse(QStringLiteral("Cannot rename %1: the name \"%2\" is not a valid file name.")
                          .arg(oldName, newName));

    const QString target = QFileInfo(job.outputPath).dir().filePath(newName);
    if (!QFileInfo::exists(job.outputPath))
        return refuse(QStringLiteral("Cannot rename %1: the file does not exist.").arg(oldName));
    // Never replace another file: a rename that clobbers a neighbour loses data.
    if (QFileInfo::exists(target))
        return refuse(
            QStringLiteral("Cannot rename %1: a file named \"%2\" already exists.").arg(oldName, newName));
    QFile file(job.outputPath);
    if (!file.rename(target))
        return refuse(QStringLiteral("Cannot rename %1: %2").arg(oldName, file.errorString()));
    job.outputPath = QDir::toNativeSeparators(target);
    return RenameResult::Renamed;
}

bool EnsureFolder(const QString& path) {
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).isDir())
        return true;
    QDir().mkpath(path);
    return QFileInfo(path).isDir();
}

} // namespace Tarnwick
