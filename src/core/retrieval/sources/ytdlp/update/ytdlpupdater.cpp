#include "ytdlpupdater.h"

#include "checksumlist.h"
#include "privateytdlp.h"
#include "queue/progresssink.h"
#include "releaseasset.h"
#include "releasesignature.h"
#include "retrieval/transfer/httptransfer.h"
#include "retrieval/transfer/limitedbuffer.h"
#include "versionprobe.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QSysInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Tarnwick {

namespace {

constexpr qint64 SmallFileLimit = 1 << 20;
const QString InstalledName = QStringLiteral("yt-dlp");
const QString TemporaryPrefix = QStringLiteral(".yt-dlp.~");

// Passes the transfer's progress on and keeps its result lines back: the update reports one
// outcome of its own, and the reason of a failed fetch becomes part of it.
class UpdateSink : public ProgressSink {
public:
    explicit UpdateSink(ProgressSink* target)
        : target_(target) {}

    int Begin() override { return target_ ? target_->Begin() : 0; }
    int End() override { return target_ ? target_->End() : 0; }
    int Progress(int kind, int value) override { return target_ ? target_->Progress(kind, value) : 0; }
    int Status(int kind, const QString& text) override {
        if (kind == StatusResult) {
            if (!text.isEmpty())
                lastFailure_ = text;
            return 0;
        }
        return target_ ? target_->Status(kind, text) : 0;
    }
    int IsCancelled() override { return target_ ? target_->IsCancelled() : 0; }

    bool Stopped() { return IsCancelled() != 0; }
    QString TakeFailure() { return std::exchange(lastFailure_, QString()); }

private:
    ProgressSink* target_;
    QString lastFailure_;
};

// The new program while it is fetched and tried: a file of a fresh name beside the working
// copy (so that putting it in place is one rename), removed unless it was put in place.
class IncomingFile {
public:
    explicit IncomingFile(const QString& folder) {
        for (int attempt = 0; attempt < 16 && !file_.isOpen(); ++attempt) {
            file_.setFileName(QDir(folder).filePath(
                TemporaryPrefix + QString::number(QRandomGenerator::global()->generate64(), 36)));
            file_.open(QIODevice::ReadWrite | QIODevice::NewOnly);
        }
    }
    ~IncomingFile() {
        file_.close();
        if (!installed_)
            QFile::remove(file_.fileName());
    }
    IncomingFile(const IncomingFile&) = delete;
    IncomingFile& operator=(const IncomingFile&) = delete;

    QFile& File() { return file_; }
    void SetInstalled() { installed_ = true; }

private:
    QFile file_;
    bool installed_ = false;
};

class Update {
public:
    Update(const YtDlpUpdateOptions& options, ProgressSink* sink)
        : options_(options)
        , sink_(sink) {}

    YtDlpUpdateResult Run();

private:
    bool Fail(const QString& reason);
    bool Fetch(const QString& name, QIODevice& target);
    bool FetchSmall(const QString& name, QByteArray& data);
    bool CheckSignature(const QByteArray& sums);
    bool DownloadAndCheck(const QByteArray& expectedDigest, IncomingFile& incoming);
    bool Install(IncomingFile& incoming);
    void RemoveStaleTemporaries() const;
    QString FileUrl(const QString& name) const;

    const YtDlpUpdateOptions& options_;
    UpdateSink sink_;
    HttpTransfer transfer_;
    YtDlpUpdateResult result_;
};

QString Update::FileUrl(const QString& name) const {
    QString base = options_.releaseUrl;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base + name;
}

bool Update::Fail(const QString& reason) {
    if (sink_.Stopped()) {
        result_.outcome = YtDlpUpdateResult::Outcome::Stopped;
        result_.message = QStringLiteral("The update of yt-dlp was stopped; the yt-dlp in use is unchanged.");
    } else {
        result_.outcome = YtDlpUpdateResult::Outcome::Failed;
        result_.message =
            QStringLiteral("yt-dlp was not updated: %1. The yt-dlp in use is unchanged.").arg(reason);
    }
    return false;
}

bool Update::Fetch(const QString& name, QIODevice& target) {
    sink_.Status(ProgressSink::StatusActivity, QStringLiteral("Downloading %1").arg(name));
    if (transfer_.CopyUrlToFile(FileUrl(name), target))
        return true;
    const QString reason = sink_.TakeFailure();
    return Fail(QStringLiteral("cannot download %1 (%2) from %3")
                    .arg(name, reason.isEmpty() ? QStringLiteral("no answer") : reason, options_.releaseUrl));
}

bool Update::FetchSmall(const QString& name, QByteArray& data) {
    LimitedBuffer buffer(SmallFileLimit);
    buffer.open(QIODevice::WriteOnly);
    if (!Fetch(name, buffer))
        return false;
    data = buffer.TakeData();
    return true;
}

bool Update::CheckSignature(const QByteArray& sums) {
    if (options_.gpgvProgram.isEmpty())
        return true; // said in the outcome: checked against the list only
    QByteArray signature;
    if (!FetchSmall(QStringLiteral("SHA2-256SUMS.sig"), signature))
        return false;
    sink_.Status(ProgressSink::StatusActivity, QStringLiteral("Checking the signature of SHA2-256SUMS"));
    const SignatureCheck check = CheckReleaseSignature(options_.gpgvProgram, options_.releaseKey, sums,
                                                       signature, [this] { return sink_.Stopped(); });
    if (!check.verified)
        return Fail(check.failure);
    result_.signatureChecked = true;
    return true;
}

bool Update::DownloadAndCheck(const QByteArray& expectedDigest, IncomingFile& incoming) {
    QFile& file = incoming.File();
    if (!Fetch(options_.asset, file))
        return false;
    if (!file.flush() || ::fsync(file.handle()) != 0)
        return Fail(QStringLiteral("cannot write %1 in %2").arg(options_.asset, options_.installFolder));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.seek(0) || !hash.addData(&file))
        return Fail(QStringLiteral("cannot read back the downloaded %1").arg(options_.asset));
    if (hash.result().toHex() != expectedDigest)
        return Fail(QStringLiteral("the downloaded %1 does not match its SHA-256 in SHA2-256SUMS")
                        .arg(options_.asset));
    // Closed before it runs: Linux refuses to start a program that is open for writing.
    file.close();
    return true;
}

bool Update::Install(IncomingFile& incoming) {
    const QString temporaryPath = incoming.File().fileName();
    QFile::setPermissions(temporaryPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                             QFileDevice::ExeOther);
    sink_.Status(ProgressSink::StatusActivity, QStringLiteral("Trying the new yt-dlp"));
    const VersionProbe probe = ProbeYtDlpVersion(temporaryPath, [this] { return sink_.Stopped(); });
    if (probe.version.isEmpty())
        return Fail(
            QStringLiteral("the downloaded %1 does not run (it %2)").arg(options_.asset, probe.failure));
    if (sink_.Stopped())
        return Fail(QString());

    const QString finalPath = QDir(options_.installFolder).filePath(InstalledName);
    // One rename: whoever starts yt-dlp meanwhile gets the old program or the new one, whole.
    if (std::rename(QFile::encodeName(temporaryPath).constData(), QFile::encodeName(finalPath).constData()) !=
        0)
        return Fail(QStringLiteral("cannot put yt-dlp in place in %1 (%2)")
                        .arg(options_.installFolder, QString::fromLocal8Bit(std::strerror(errno))));
    incoming.SetInstalled();
    const int folder = ::open(QFile::encodeName(options_.installFolder).constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    result_.outcome = YtDlpUpdateResult::Outcome::Installed;
    result_.version = probe.version;
    result_.path = finalPath;
    result_.message =
        QStringLiteral("yt-dlp %1 is installed in %2 (checked against SHA2-256SUMS%3).")
            .arg(probe.version, finalPath,
                 result_.signatureChecked
                     ? QStringLiteral(" and its signature")
                     : QStringLiteral("; its signature was not checked: gpgv is not installed"));
    return true;
}

void Update::RemoveStaleTemporaries() const {
    // Left by an update that was killed; a running one's file is younger than this.
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const QDir folder(options_.installFolder);
    for (const QFileInfo& entry : folder.entryInfoList({TemporaryPrefix + QLatin1Char('*')},
                                                       QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.lastModified().toUTC() < cutoff)
            QFile::remove(entry.filePath());
    }
}

YtDlpUpdateResult Update::Run() {
    if (options_.asset.isEmpty()) {
        Fail(QStringLiteral("yt-dlp publishes no program for this machine (%1) and python3 is not installed")
                 .arg(QSysInfo::currentCpuArchitecture()));
        return result_;
    }
    if (!QDir().mkpath(options_.installFolder)) {
        Fail(QStringLiteral("cannot create the folder %1").arg(options_.installFolder));
        return result_;
    }
    RemoveStaleTemporaries();
    transfer_.SetStallSeconds(options_.stallSeconds);
    RetryPolicy retries = transfer_.Retries();
    retries.waitScale = options_.retryWaitScale;
    transfer_.SetRetries(retries);
    if (!transfer_.OpenSession(&sink_)) {
        Fail(QStringLiteral("no internet session could be opened"));
        return result_;
    }

    QByteArray sums;
    if (!FetchSmall(QStringLiteral("SHA2-256SUMS"), sums) || !CheckSignature(sums))
        return result_;
    const QByteArray digest = ChecksumFor(sums, options_.asset);
    if (digest.isEmpty()) {
        Fail(QStringLiteral("SHA2-256SUMS lists no %1").arg(options_.asset));
        return result_;
    }
    IncomingFile incoming(options_.installFolder);
    if (!incoming.File().isOpen()) {
        Fail(QStringLiteral("cannot write in %1 (%2)")
                 .arg(options_.installFolder, incoming.File().errorString()));
        return result_;
    }
    if (DownloadAndCheck(digest, incoming))
        Install(incoming);
    return result_;
}

} // namespace

YtDlpUpdateOptions YtDlpUpdateDefaults(const QString& releaseUrl) {
    YtDlpUpdateOptions options;
    options.releaseUrl = releaseUrl.isEmpty() ? QString::fromLatin1(DefaultYtDlpUpdateUrl) : releaseUrl;
    options.installFolder = PrivateYtDlpFolder();
    options.asset = YtDlpReleaseAssetForThisMachine();
    options.gpgvProgram = QStandardPaths::findExecutable(QStringLiteral("gpgv"));
    options.releaseKey = YtDlpReleaseKey();
    return options;
}

YtDlpUpdateResult UpdateYtDlp(const YtDlpUpdateOptions& options, ProgressSink* sink) {
    return Update(options, sink).Run();
}

} // namespace Tarnwick
