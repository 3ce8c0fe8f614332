#include "ytdlpextraction.h"

#include "ytdlpnetwork.h"

#include "groupprocess.h"
#include "queue/progresssink.h"
#include "ytdlpversion.h"

namespace Tarnwick {

namespace {

// yt-dlp's words for "no extractor knows this address" and "nothing to download here".
bool SaysNoVideo(const QString& error) {
    return error.contains(QLatin1String("Unsupported URL")) ||
           error.contains(QLatin1String("No video formats found")) ||
           error.contains(QLatin1String("no suitable InfoExtractor"));
}

// yt-dlp's reading of any web page, as opposed to its readers made for particular sites.
bool IsGenericExtractor(const QString& key) {
    return key == QLatin1String("Generic") || key == QLatin1String("HTML5MediaEmbed");
}

} // namespace

QString YtDlpErrorLine(const QByteArray& standardError) {
    const QList<QByteArray> lines = standardError.split('\n');
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const QByteArray line = it->trimmed();
        if (line.startsWith("ERROR:"))
            return QString::fromUtf8(line.mid(6).trimmed());
    }
    return QString();
}

YtDlpExtraction ExtractWithYtDlp(const YtDlpProgram& program, const QString& address, ProgressSink* sink,
                                 int silenceSeconds, const TransferNetwork& network) {
    YtDlpExtraction result;
    const YtDlpNetworkOptions networkOptions(network, YtDlpNetworkOptions::Use::Read);
    if (!networkOptions.IsReady()) {
        result.reason = networkOptions.Failure();
        return result;
    }
    GroupProcessRequest request;
    request.program = program.path;
    request.arguments = {
        QStringLiteral("--ignore-config"),    QStringLiteral("--no-color"),
        QStringLiteral("--dump-single-json"), QStringLiteral("--flat-playlist"),
        QStringLiteral("--playlist-items"),   QStringLiteral("1:%1").arg(YtDlpPlaylistLimit + 1)};
    request.arguments << networkOptions.Arguments() << QStringLiteral("--") << address;
    request.silenceLimitMs = silenceSeconds * 1000;
    request.outputCap = YtDlpInfoSizeLimit;
    request.shouldStop = [sink] {
        return sink != nullptr && sink->IsCancelled() != 0;
    };
    if (sink != nullptr)
        sink->Status(ProgressSink::StatusActivity, QStringLiteral("Asking yt-dlp about the page"));
    const GroupProcessResult run = RunGroupProcess(request);

    using End = GroupProcessResult::End;
    switch (run.end) {
    case End::Stopped:
        result.outcome = YtDlpExtraction::Outcome::Stopped;
        return result;
    case End::NotStarted:
        result.reason = QStringLiteral("yt-dlp could not be started: %1").arg(QString::fromUtf8(run.error));
        return result;
    case End::Crashed:
        result.reason = QStringLiteral("yt-dlp ended abnormally while reading the page");
        return result;
    case End::Silent:
        result.reason =
            QStringLiteral("yt-dlp said nothing for %1 seconds while reading the page").arg(silenceSeconds);
        return result;
    case End::OutputTooLong:
        result.reason = QStringLiteral("yt-dlp's answer is larger than %1 MiB").arg(YtDlpInfoSizeLimit >> 20);
        return result;
    case End::Exited:
        break;
    }

    const QString error = YtDlpErrorLine(run.error);
    if (run.exitCode != 0) {
        if (SaysNoVideo(error)) {
            result.outcome = YtDlpExtraction::Outcome::NoVideo;
            result.reason = QStringLiteral("yt-dlp found no video on the page: %1").arg(error);
        } else {
            // An old yt-dlp is the usual reason a site it knows no longer reads.
            result.reason = WithYtDlpUpdateSuggestion(
                error.isEmpty()
                    ? QStringLiteral("yt-dlp could not read the page (it ended with exit code %1)")
                          .arg(run.exitCode)
                    : QStringLiteral("yt-dlp could not read the page: %1").arg(error),
                program.version);
        }
        return result;
    }
    if (!ParseYtDlpInfo(run.output, result.info, result.reason))
        return result;
    result.json = run.output;
    result.generic = IsGenericExtractor(result.info.extractorKey);
    const bool empty = result.info.isPlaylist ? result.info.entries.isEmpty() : result.info.formats.isEmpty();
    result.outcome = empty ? YtDlpExtraction::Outcome::NoVideo : YtDlpExtraction::Outcome::Found;
    if (empty)
        result.reason = QStringLiteral("yt-dlp found no video on the page");
    return result;
}

} // namespace Tarnwick
