#pragma once

#include <QString>
#include <functional>

namespace Tarnwick {

// What follows "<target>." in the name of the temporary file of a save, before its random
// part, so that a copy left by a crash is told apart from the user's own files.
constexpr char SaveCopyMarker[] = "~TW";

// Replaces target with a file that write() produces, so that a crash, a full disk or a
// failed write at any point leaves either the old file or the complete new one, never a
// damaged or empty one. write() receives a fresh temporary path in target's folder; verify()
// may reject what was written before it takes the target's place. The folder is created when
// missing. The temporary file is removed on every failure. A target that exists and is not a
// regular file (a pipe, a socket, a device) is never replaced: false, with a message on
// standard error.
bool ReplaceFileSafely(const QString& target, const std::function<bool(const QString& tempPath)>& write,
                       const std::function<bool(const QString& tempPath)>& verify = {});

// Where a save of path lands: the file a symbolic link points to, so that the link stays a
// link to the saved file instead of being replaced by a regular file.
QString SaveTarget(const QString& path);

} // namespace Tarnwick
