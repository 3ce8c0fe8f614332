#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace Tarnwick {

// A job's working files younger than this are left alone even when no job holds them: the
// file of a job that is starting exists for a moment before its job holds it.
constexpr qint64 StaleJobFileMinimumAgeSeconds = 60;

// Removes the working files in folder that a job left when it was killed: the job files
// (".~VD<unique>.part", or "~VD<unique>.tmp" in the temporary folder) and the conversion's
// partial outputs beside them ("<job file>.partial-<unique>"). Only regular files with these
// names, never a link, and only when no running job of any Tarnwick holds the job file (a job
// holds a lock on it for as long as it lives, see JobTempFile), and never one that keptFiles
// names: a download kept on purpose for a later run. keptFiles is asked at most once, and only
// when something would be removed. Returns how many were removed.
int RemoveStaleJobFiles(const QString& folder, const QDateTime& now = QDateTime::currentDateTimeUtc(),
                        const std::function<QStringList()>& keptFiles = {});

// Whether a running job of any Tarnwick holds the job file at path.
bool IsHeldJobFile(const QString& path);

// Holds path for its owner as RemoveStaleJobFiles understands it; -1 when it cannot. The
// holder releases it by closing the returned handle.
int HoldJobFile(const QString& path);
void ReleaseJobFile(int handle);

} // namespace Tarnwick
