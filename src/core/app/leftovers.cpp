#include "leftovers.h"

#include "presets/safefilereplace.h"
#include "retrieval/job/stalejobfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

namespace Tarnwick {

namespace {

// Removes the regular files in folder whose names match pattern (the whole name) and that
// were last changed at least ageSeconds before now; not those spared, nor job files that a
// running job holds (a download may run for longer than a day).
int RemoveAged(const QString& folder, const QString& wildcard, const QRegularExpression& pattern,
               qint64 ageSeconds, const QDateTime& now, const QStringList& spared = {},
               bool jobFiles = false) {
    if (folder.isEmpty())
        return 0;
    int removed = 0;
    const QFileInfoList entries =
        QDir(folder).entryInfoList({wildcard}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || !pattern.match(entry.fileName()).hasMatch())
            continue;
        if (entry.lastModified().secsTo(now) < ageSeconds)
            continue;
        if (!spared.isEmpty() && spared.contains(entry.absoluteFilePath()))
            continue;
        if (jobFiles && IsHeldJobFile(entry.absoluteFilePath()))
            continue;
        if (QFile::remove(entry.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

QRegularExpression Whole(const QString& pattern) {
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern));
}

// The temporary names of a save beside file: file.~TWXXXXXX, and what Qt's own settings writer
// adds to such a name (its own .XXXXXX copy and its .lock). Earlier versions named the copy
// file.XXXXXX; such a name is taken for ours only when it mixes capitals, small letters and
// digits as the random part does, so that a "Presets.xml.backup" of the user's stays.
int RemoveSaveCopies(const QString& file, const QDateTime& now) {
    if (file.isEmpty())
        return 0;
    const QFileInfo info(file);
    const QString name = QRegularExpression::escape(info.fileName());
    const QString earlier = QStringLiteral("(?=[^.]*[A-Z])(?=[^.]*[a-z])(?=[^.]*[0-9])[A-Za-z0-9]{6}");
    return RemoveAged(info.absolutePath(), info.fileName() + QStringLiteral(".*"),
                      Whole(name + QStringLiteral("\\.(%1|%2)(\\.[A-Za-z0-9]{6}|\\.lock)?")
                                       .arg(QRegularExpression::escape(QString::fromLatin1(SaveCopyMarker)) +
                                                QStringLiteral("[A-Za-z0-9]{6}"),
                                            earlier)),
                      SaveLeftoverAgeSeconds, now);
}

// The settings' lock file stays when its holder died. A lock whose holder is gone is taken and
// released, which removes it; one held by a live process stays unless it is long past any save.
int RemoveStaleLock(const QString& settingsFile, const QDateTime& now) {
    if (settingsFile.isEmpty())
        return 0;
    const QString path = settingsFile + QStringLiteral(".lock");
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink())
        return 0;
    QLockFile lock(path);
    lock.setStaleLockTime(0); // judge by the holder only
    if (lock.tryLock(0)) {
        lock.unlock();
        return 1;
    }
    if (info.lastModified().secsTo(now) >= SaveLeftoverAgeSeconds && QFile::remove(path))
        return 1;
    return 0;
}

} // namespace

int RemoveLeftovers(const LeftoverPlaces& places, const QDateTime& now) {
    int removed = RemoveSaveCopies(places.settingsFile, now) + RemoveStaleLock(places.settingsFile, now) +
                  RemoveSaveCopies(places.presetFile, now);
    if (!places.presetFile.isEmpty()) {
        // The probe that tells whether the installation folder is writable.
        removed += RemoveAged(
            QFileInfo(places.presetFile).absolutePath(), QStringLiteral(".tarnwick-write-test.*"),
            Whole(QStringLiteral("\\.tarnwick-write-test\\.[A-Za-z0-9]{6}")), SaveLeftoverAgeSeconds, now);
    }
    // A job's file on its way into the output folder, and a copy into place; not a download
    // kept for a later run, however old.
    QStringList spared;
    for (const QString& kept : places.keptFiles)
        spared << QFileInfo(kept).absoluteFilePath();
    QStringList seen;
    for (const QString& folder : places.outputFolders) {
        const QString absolute = QFileInfo(folder).absoluteFilePath();
        if (folder.isEmpty() || seen.contains(absolute))
            continue;
        seen << absolute;
        removed += RemoveAged(folder, QStringLiteral(".~VD*.part"),
                              Whole(QStringLiteral("\\.~VD[A-Za-z0-9]+\\.part")), JobLeftoverAgeSeconds, now,
                              spared, true);
    }
    // A job's temporary files in the system's temporary folder.
    removed += RemoveAged(places.tempFolder, QStringLiteral("~VD*"),
                          Whole(QStringLiteral("~VD[A-Za-z0-9]+(\\.[A-Za-z0-9]+)?")), JobLeftoverAgeSeconds,
                          now, spared, true);
    return removed;
}

} // namespace Tarnwick
