#pragma once

#include "downloadjob.h"

#include <QString>

namespace Tarnwick {

enum class RenameResult {
    Renamed,
    Unchanged, // the same name, perhaps in other letter case: the edit is rejected quietly
    Refused,   // the file system refused; the message says why
};

// Renames the job's delivered file to newName in the same folder and, on success, points the
// job's outputPath at it. The name is used as typed: no extension is added or tested.
RenameResult RenameOutputFile(DownloadJob& job, const QString& newName, QString* message);

// True when path is a folder afterwards; missing levels are created one by one.
bool EnsureFolder(const QString& path);

// The last component of a path, as the "File Name" column shows it.
QString FileNameOf(const QString& path);

} // namespace Tarnwick
