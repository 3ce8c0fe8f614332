#include "jobtempfile.h"

#include "fileoperations.h"
#include "queue/outputfile.h"
#include "stalejobfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <utility>

namespace Tarnwick {

namespace {

// Enough tries that a folder crowded with other jobs' files still yields a name, few enough
// that a folder refusing every name is given up on quickly.
constexpr int NameAttempts = 32;

QString UniquePart() {
    return QString::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, QLatin1Char('0'));
}

} // namespace

JobTempFile::JobTempFile(const QString& outputFolder) {
    if (!outputFolder.isEmpty() && EnsureFolder(outputFolder) &&
        CreateIn(outputFolder, QStringLiteral(".~VD"), QStringLiteral(".part")))
        return;
    CreateIn(QDir::tempPath(), QStringLiteral("~VD"), QStringLiteral(".tmp"));
}

std::unique_ptr<JobTempFile> JobTempFile::Reopen(const QString& keptPath) {
    std::unique_ptr<JobTempFile> kept(new JobTempFile());
    const QFileInfo info(keptPath);
    if (!IsWorkingFileName(keptPath) || info.isSymLink() || !info.isFile())
        return kept;
    kept->file_.setFileName(keptPath);
    // Read and write rather than append: a body that starts again cuts the file back.
    if (kept->file_.open(QIODevice::ReadWrite | QIODevice::Unbuffered) &&
        kept->file_.seek(kept->file_.size())) {
        kept->path_ = keptPath;
        kept->hold_ = HoldJobFile(keptPath);
    } else
        kept->file_.close();
    return kept;
}

bool JobTempFile::IsWorkingFileName(const QString& path) {
    static const QRegularExpression pattern(QStringLiteral("^(\\.~VD[0-9a-f]+\\.part|~VD[0-9a-f]+\\.tmp)$"));
    return QFileInfo(path).isAbsolute() && pattern.match(QFileInfo(path).fileName()).hasMatch();
}

JobTempFile::~JobTempFile() {
    file_.close();
    if (!path_.isEmpty())
        DeleteFileSilently(path_);
    ReleaseJobFile(hold_);
}

void JobTempFile::Release() {
    path_.clear();
    ReleaseJobFile(std::exchange(hold_, -1));
}

bool JobTempFile::Close(QString* reason) {
    if (!file_.isOpen())
        return file_.error() == QFileDevice::NoError;
    // The file is unbuffered: every write has reached the system already, and a failed one has
    // said why. Closing can still fail (a network file system reports late).
    file_.close();
    if (file_.error() == QFileDevice::NoError)
        return true;
    if (reason != nullptr)
        *reason = file_.errorString();
    return false;
}

bool JobTempFile::CreateIn(const QString& folder, const QString& prefix, const QString& suffix) {
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const QString candidate = folder + QLatin1Char('/') + prefix + UniquePart() + suffix;
        file_.setFileName(candidate);
        // NewOnly creates the file or fails when the name exists, in one step of the system's:
        // the name is ours alone. Private until the finished file is put in place. Unbuffered:
        // the network hands over blocks of up to 64 KiB, and a buffer of our own would only
        // copy every byte once more on its way to the system.
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            path_ = candidate;
            hold_ = HoldJobFile(candidate);
            return true;
        }
        // Only a name already taken is worth another try; anything else is the folder refusing.
        const QFileInfo taken(candidate);
        if (!taken.exists() && !taken.isSymLink())
            return false;
    }
    return false;
}

} // namespace Tarnwick
