#pragma once

#include <QString>

namespace Tarnwick {

// The title as a file name: every character that no file system allows in a name ('/', '\',
// '<', '>', '*', '?', ':', '"', '|') and every control character (C0, DEL, C1) becomes a
// blank; runs of blanks become one, blanks at either end go; bidirectional controls are
// dropped, and so are leading dots, so that the name is neither hidden nor shown as something
// else. A title with nothing left is "video".
QString SanitizeFileName(const QString& name);

// name + extension, with name cut (on a character boundary) so that the whole fits the file
// system's limit on one path component. The extension is kept.
QString FitFileName(const QString& name, const QString& extension);

// Creates a new, empty file in the system's temporary folder, named "~VD..." with the given
// extension (".tmp" when none) and unique to this call even across processes. Returns its
// path, or an empty text when no file can be created.
QString MakeTempFileName(const QString& extension = QString());

// The path without its last component; empty when it has only one.
QString ParentFolder(const QString& path);

// Copies source to target, replacing an existing target. The copy is written beside the target
// and renamed over it, so a failed copy leaves neither a partial file under the target's name
// nor a damaged old target. folder: where the target goes (empty: the target's own folder),
// created when missing.
// On failure, reason (when given) receives why, in the operating system's words where it has any.
bool CopyFileTo(const QString& source, const QString& target, const QString& folder = QString(),
                QString* reason = nullptr);

// Puts source in place as target, as CopyFileTo does, then removes source. On one file system
// this is a rename, so a large download is not written a second time.
bool MoveFileTo(const QString& source, const QString& target, QString* reason = nullptr);

// Deletes the file for good; true when it is gone.
bool DeleteFileSilently(const QString& path);

} // namespace Tarnwick
