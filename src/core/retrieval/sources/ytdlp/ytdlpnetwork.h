#pragma once

#include "retrieval/transfer/transfernetwork.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <memory>

namespace Tarnwick {

// The network options of one yt-dlp run: the run's proxy, the job's cookies, and for a download
// its share of the speed limit. A proxy with a password goes into a configuration file that only
// the user can read, because the command line of a process is readable by every user of the
// machine. The cookies go into a cookies.txt of mode 0600 in a private folder; yt-dlp adds those
// of the browser it is told to read and those the site sets, and writes them back there, so that
// they serve the job's own requests after it. Both files go with this object.
class YtDlpNetworkOptions {
public:
    // A download is limited to its share of the run's speed limit; a reading of a page is not.
    enum class Use { Read, Download };
    YtDlpNetworkOptions(const TransferNetwork& network, Use use);
    // Takes back the cookies yt-dlp ended with into the job's cookies.
    ~YtDlpNetworkOptions();
    YtDlpNetworkOptions(const YtDlpNetworkOptions&) = delete;
    YtDlpNetworkOptions& operator=(const YtDlpNetworkOptions&) = delete;

    // False when the private file could not be written; Failure() says why.
    bool IsReady() const { return failure_.isEmpty(); }
    const QString& Failure() const { return failure_; }
    // To go before the address (or anywhere in a download's arguments).
    const QStringList& Arguments() const { return arguments_; }

private:
    void WriteCookies(const TransferNetwork& network);

    std::unique_ptr<QTemporaryFile> config_;
    std::unique_ptr<QTemporaryDir> cookieFolder_;
    std::shared_ptr<JobCookies> cookies_;
    QStringList arguments_;
    QString failure_;
};

} // namespace Tarnwick
