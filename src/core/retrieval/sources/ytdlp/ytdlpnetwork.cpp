#include "ytdlpnetwork.h"

#include "retrieval/transfer/jobcookies.h"
#include "retrieval/transfer/sharedrate.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>

namespace Tarnwick {

namespace {

// One argument as yt-dlp's configuration files read it: in double quotes, with the quote and
// the backslash escaped.
QByteArray QuotedForConfig(const QString& text) {
    QByteArray quoted = text.toUtf8();
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + quoted + '"';
}

} // namespace

YtDlpNetworkOptions::YtDlpNetworkOptions(const TransferNetwork& network, Use use) {
    if (network.rate != nullptr && use == Use::Download && network.rate->Limit() > 0)
        arguments_ << QStringLiteral("--limit-rate") << QString::number(network.rate->Share());
    if (network.cookies != nullptr)
        WriteCookies(network);
    if (network.proxy.isEmpty() || !failure_.isEmpty())
        return;
    if (QUrl(network.proxy).password().isEmpty()) {
        arguments_ << QStringLiteral("--proxy") << network.proxy;
        return;
    }
    // QTemporaryFile creates its file readable and writable by the owner alone.
    config_ = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/~VDXXXXXX.conf"));
    const QByteArray line = "--proxy " + QuotedForConfig(network.proxy) + '\n';
    if (!config_->open() || config_->write(line) != line.size() || !config_->flush()) {
        failure_ = QStringLiteral("Cannot write the proxy for yt-dlp to a private file: %1")
                       .arg(config_->errorString());
        arguments_.clear();
        return;
    }
    config_->close();
    // Given explicitly, the file is read even with --ignore-config.
    arguments_ << QStringLiteral("--config-locations") << config_->fileName();
}

YtDlpNetworkOptions::~YtDlpNetworkOptions() {
    if (cookies_ != nullptr && cookieFolder_ != nullptr)
        cookies_->AddNetscapeFile(cookieFolder_->filePath(QStringLiteral("cookies.txt")), nullptr);
}

void YtDlpNetworkOptions::WriteCookies(const TransferNetwork& network) {
    // The runtime folder is the user's alone and lives in memory; a folder of its own in there
    // keeps the file's name from anyone else even where the runtime folder is missing.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    cookieFolder_ = std::make_unique<QTemporaryDir>((runtime.isEmpty() ? QDir::tempPath() : runtime) +
                                                    QStringLiteral("/tarnwick-XXXXXX"));
    QFile file(cookieFolder_->filePath(QStringLiteral("cookies.txt")));
    const QByteArray text = network.cookies->NetscapeText();
    if (!cookieFolder_->isValid() ||
        !file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(text) != text.size() || !file.flush()) {
        failure_ = QStringLiteral("Cannot write the job's cookies for yt-dlp to a private file: %1")
                       .arg(cookieFolder_->isValid() ? file.errorString() : cookieFolder_->errorString());
        arguments_.clear();
        return;
    }
    file.close();
    cookies_ = network.cookies;
    arguments_ << QStringLiteral("--cookies") << file.fileName();
    if (!network.cookies->Browser().isEmpty())
        arguments_ << QStringLiteral("--cookies-from-browser") << network.cookies->Browser();
}

} // namespace Tarnwick
