#include "ytdlpnetwork.h"

#include "retrieval/transfer/sharedrate.h"

#include <QDir>
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
    if (network.proxy.isEmpty())
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

} // namespace Tarnwick
