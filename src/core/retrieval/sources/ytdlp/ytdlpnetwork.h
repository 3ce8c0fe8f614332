#pragma once

#include "retrieval/transfer/transfernetwork.h"

#include <QStringList>
#include <QTemporaryFile>
#include <memory>

namespace Tarnwick {

// The network options of one yt-dlp run: the run's proxy, and for a download its share of the
// speed limit. A proxy with a password goes into a configuration file that only the user can
// read, removed when this object goes, because the command line of a process is readable by
// every user of the machine.
class YtDlpNetworkOptions {
public:
    // A download is limited to its share of the run's speed limit; a reading of a page is not.
    enum class Use { Read, Download };
    YtDlpNetworkOptions(const TransferNetwork& network, Use use);

    // False when the private file could not be written; Failure() says why.
    bool IsReady() const { return failure_.isEmpty(); }
    const QString& Failure() const { return failure_; }
    // To go before the address (or anywhere in a download's arguments).
    const QStringList& Arguments() const { return arguments_; }

private:
    std::unique_ptr<QTemporaryFile> config_;
    QStringList arguments_;
    QString failure_;
};

} // namespace Tarnwick
