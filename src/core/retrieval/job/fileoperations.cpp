#include "fileoperations.h"

#include "queue/outputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <stdio.h>
#endif

namespace Tarnwick {

namespace {

// The longest path component the common file systems allow, in bytes of the encoded name.
constexpr qsizetype MaxFileNameBytes = 255;
constexpr qint64 CopyBlockSize = qint64(1) << 20;

qsizetype EncodedLength(const QString& name) {
    return QFile::encodeName(name).size();
}

// Stores the reason, when one is asked for; false.
bool Failed(QString* reason, const QString& text) {
    if (reason != nullptr)
        *reason = text;
    return false;
}

// The name as the file system sees it, converted the way every Qt file call converts it. The
// path's own conversion from UTF-16 throws on a lone surrogate, which a folder name typed by
// the user or read from the settings may hold.
std::filesystem::path FileSystemPath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

bool CopyContents(QFile& from, QFile& to, QString* reason) {
    QByteArray block;
    while (!from.atEnd()) {
        block = from.read(CopyBlockSize);
        if (block.isEmpty() && from.error() != QFileDevice::NoError)
            return Failed(reason, from.errorString());
        if (to.write(block) != block.size())
            return Failed(reason, to.errorString());
    }
    if (from.error() != QFileDevice::NoError)
        return Failed(reason, from.errorString());
    return to.flush() || Failed(reason, to.errorString());
}

// A temporary file is private to its owner; the delivered file keeps the permissions of the
// file it replaces, or gets those of an ordinary new file.
void GiveDeliveredPermissions(const QString& path, const QString& target) {
    QFile::setPermissions(path, QFileInfo::exists(target)
                                    ? QFile::permissions(target)
                                    : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

// Puts source in the place of an existing target by swapping the two names, then removes the
// old file under the source's name: as atomic as a rename over it, but ext4 writes a file out
// before renaming it over another (half a second per GiB, in the job's time), while a swap lets
// the system write it at its own pace, as for a new file. False when the system cannot swap
// here (an older kernel, a file system without it); the caller renames instead.
bool ReplaceBySwapping(const QString& source, const QString& target) {
#ifdef Q_OS_LINUX
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) != 0)
        return false;
    QFile::remove(source);
    return true;
#else
    Q_UNUSED(source);
    Q_UNUSED(target);
    return false;
#endif
}

// Puts source under the target's name in one step: a file there is replaced whole, never lost
// half-way.
std::error_code PutInPlace(const QString& source, const QString& target) {
    const QFileInfo old(target);
    if (old.isFile() && !old.isSymLink() && ReplaceBySwapping(source, target))
        return {};
    std::error_code error;
    std::filesystem::rename(FileSystemPath(source), FileSystemPath(target), error);
    return error;
}

} // namespace

namespace {

// Characters that change how the rest of a name is shown (bidirectional embeddings, overrides
// and isolates, and the invisible direction marks), so that "gpj.exe" can look like "exe.jpg".
bool IsDirectionControl(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

// C0 controls, DEL and the C1 controls: a terminal acts on them when the name is listed.
bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

QString SanitizeFileName(const QString& name) {
    QString result;
    result.reserve(name.size());
    for (const QChar c : name) {
        switch (c.unicode()) {
        case '/':
        case '\\':
        case '<':
        case '>':
        case '*':
        case '?':
        case ':':
        case '"':
        case '|':
            result.append(QLatin1Char(' '));
            break;
        default:
            // A control (the zero character included, which would end the name early) stands
            // where a word gap often was, so it becomes a blank; a direction control is
            // invisible and simply goes.
            if (IsControl(c.unicode()))
                result.append(QLatin1Char(' '));
            else if (!IsDirectionControl(c.unicode()))
                result.append(c);
            break;
        }
    }
    // Runs of blanks (many of them were forbidden characters) and blanks at either end, before
    // the extension among them, only make a name harder to read and to type.
    result = result.simplified();
    // A leading dot hides the file from file managers and listings.
    qsizetype dots = 0;
    while (dots < result.size() && (result[dots] == QLatin1Char('.') || result[dots] == QLatin1Char(' ')))
        ++dots;
    result.remove(0, dots);
    // With nothing left the extension alone would make a hidden name.
    if (result.isEmpty())
        result = QStringLiteral("video");
    return result;
}

QString FitFileName(const QString& name, const QString& extension) {
    const qsizetype room = MaxFileNameBytes - EncodedLength(extension);
    // Every code unit takes at least one byte, so no more than room units can fit: cutting
    // there first keeps the byte-exact trimming below short whatever the length of the title.
    QString cut = name.left(qMax<qsizetype>(room, 0));
    if (cut.size() < name.size() && !cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    while (!cut.isEmpty() && EncodedLength(cut) > room) {
        cut.chop(1);
        // Never leave half of a surrogate pair behind.
        if (!cut.isEmpty() && cut.back().isHighSurrogate())
            cut.chop(1);
    }
    return cut + extension;
}

QString MakeTempFileName(const QString& extension) {
    const QString suffix = extension.isEmpty() ? QStringLiteral(".tmp") : extension;
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/~VDXXXXXX") + suffix);
    // Opening creates the file exclusively, which reserves the name; it is kept after close.
    file.setAutoRemove(false);
    if (!file.open())
        return QString();
    return file.fileName();
}

QString ParentFolder(const QString& path) {
    const QString normal = QDir::fromNativeSeparators(path);
    const qsizetype slash = normal.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || normal.size() == 1)
        return QString();
    if (slash == 0)
        return path.left(1); // the root
#ifdef Q_OS_WIN
    if (slash == 2 && normal[1] == QLatin1Char(':'))
        return path.left(3); // a drive root keeps its separator
#endif
    return path.left(slash);
}

bool CopyFileTo(const QString& source, const QString& target, const QString& folder, QString* reason) {
    const QString targetFolder = folder.isEmpty() ? ParentFolder(target) : folder;
    if (!targetFolder.isEmpty() && !EnsureFolder(targetFolder))
        return Failed(reason, QStringLiteral("Cannot create the folder %1").arg(targetFolder));

    QFile from(source);
    if (!from.open(QIODevice::ReadOnly))
        return Failed(reason, from.errorString());
    // A short, fixed name: the target's own name may already use the whole length allowed.
    QTemporaryFile partial((targetFolder.isEmpty() ? QStringLiteral(".") : targetFolder) +
                           QStringLiteral("/.~VDXXXXXX.part"));
    if (!partial.open())
        return Failed(reason, partial.errorString());
    if (!CopyContents(from, partial, reason))
        return false;
    GiveDeliveredPermissions(partial.fileName(), target);
    partial.close();

    const std::error_code error = PutInPlace(partial.fileName(), target);
    if (error) // the temporary file removes itself
        return Failed(reason, QString::fromLocal8Bit(error.message()));
    partial.setAutoRemove(false);
    return true;
}

bool MoveFileTo(const QString& source, const QString& target, QString* reason) {
    const QString targetFolder = ParentFolder(target);
    if (!targetFolder.isEmpty() && !EnsureFolder(targetFolder))
        return Failed(reason, QStringLiteral("Cannot create the folder %1").arg(targetFolder));
    // A folder under the target's name is never replaced, whichever way the file travels.
    if (QFileInfo(target).isDir())
        return Failed(reason, QStringLiteral("A folder of that name is in the way: %1").arg(target));
    const QFile::Permissions before = QFile::permissions(source);
    GiveDeliveredPermissions(source, target);
    // This fails across file systems; the file is then copied beside the target and put in
    // place from there.
    const std::error_code failure = PutInPlace(source, target);
    if (!failure)
        return true;
    QFile::setPermissions(source, before);
    if (!CopyFileTo(source, target, QString(), reason))
        return false;
    DeleteFileSilently(source);
    return true;
}

bool DeleteFileSilently(const QString& path) {
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    return QFile::remove(path);
}

} // namespace Tarnwick
