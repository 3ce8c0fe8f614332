#include "ytdlpcookies.h"

#include "groupprocess.h"
#include "queue/progresssink.h"
#include "retrieval/transfer/jobcookies.h"
#include "ytdlplocator.h"
#include "ytdlpnetwork.h"

#include <QList>

namespace Tarnwick {

namespace {

// yt-dlp's last line on standard error, where a failure to read a store ends with its reason
// ("FileNotFoundError: could not find firefox cookies database in ...").
QString LastErrorLine(const QByteArray& error) {
    const QList<QByteArray> lines = error.trimmed().split('\n');
    QString line = QString::fromUtf8(lines.isEmpty() ? QByteArray() : lines.last().trimmed());
    const qsizetype colon = line.indexOf(QStringLiteral(": "));
    if (colon > 0 && !line.left(colon).contains(QLatin1Char(' ')))
        line = line.mid(colon + 2); // the exception's class means nothing to the user
    return line.left(300);
}

} // namespace

bool TakeBrowserCookies(const YtDlpProgram& program, const TransferNetwork& network, ProgressSink* sink,
                        QString* reason) {
    const QString browser = network.cookies->Browser();
    if (!program.IsFound()) {
        *reason =
            QStringLiteral("CookiesFromBrowser needs yt-dlp to read %1's cookies, and yt-dlp was not found")
                .arg(browser);
        return false;
    }
    GroupProcessResult run;
    {
        // Its files go, and the cookies come back into the job, when this ends.
        const YtDlpNetworkOptions options(network, YtDlpNetworkOptions::Use::Read);
        if (!options.IsReady()) {
            *reason = options.Failure();
            return false;
        }
        GroupProcessRequest request;
        request.program = program.path;
        request.arguments = QStringList{QStringLiteral("--ignore-config"), QStringLiteral("--no-color")} +
                            options.Arguments() +
                            QStringList{QStringLiteral("--simulate"), QStringLiteral("--"),
                                        QStringLiteral("tarnwick:cookies")};
        request.silenceLimitMs = 60000;
        request.shouldStop = [sink] {
            return sink != nullptr && sink->IsCancelled() != 0;
        };
        if (sink != nullptr)
            sink->Status(ProgressSink::StatusActivity, QStringLiteral("Reading %1's cookies").arg(browser));
        run = RunGroupProcess(request);
    }
    if (run.end == GroupProcessResult::End::Stopped) {
        reason->clear();
        return false;
    }
    if (!run.output.contains("[Cookies] Extracted ")) {
        const QString why = LastErrorLine(run.error);
        *reason = QStringLiteral("Cannot read the cookies of %1: %2")
                      .arg(browser, why.isEmpty() ? QStringLiteral("yt-dlp gave no reason") : why);
        return false;
    }
    network.cookies->SetBrowser(QString());
    return true;
}

} // namespace Tarnwick
