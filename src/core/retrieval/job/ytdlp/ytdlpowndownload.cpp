#include "ytdlpowndownload.h"

#include "retrieval/sources/ytdlp/ytdlpnetwork.h"
#include "retrieval/transfer/sharedrate.h"

#include "queue/progresssink.h"
#include "retrieval/sources/ytdlp/groupprocess.h"
#include "retrieval/sources/ytdlp/ytdlpextraction.h"
#include "retrieval/sources/ytdlp/ytdlpversion.h"
#include "retrieval/transfer/httptransfer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace Tarnwick {

namespace {

constexpr char ProgressTag[] = "[tarnwick-progress]";

// yt-dlp reads its output name as a template, where "%" begins a field.
QString AsOutputTemplate(const QString& path) {
    QString escaped = path;
    return escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

// Removes outputPath and whatever yt-dlp kept beside it under names that begin with it
// (".part", ".ytdl", fragments). The output name is the job's own unique working name, so
// nothing else begins with it.
void RemoveLeftovers(const QString& outputPath, bool keepOutput) {
    const QFileInfo output(outputPath);
    QDir folder = output.dir();
    const QStringList names =
        folder.entryList({output.fileName() + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (name.startsWith(output.fileName()) && !(keepOutput && name == output.fileName()))
            QFile::remove(folder.filePath(name));
    }
}

qint64 Field(const QByteArray& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && value > 0 && value < 9e15 ? qint64(value) : 0;
}

} // namespace

bool ParseYtDlpProgressLine(const QByteArray& line, YtDlpProgressLine& progress) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() != 5 || fields[0] != ProgressTag)
        return false;
    progress.downloaded = Field(fields[1]);
    progress.total = Field(fields[2]);
    if (progress.total == 0)
        progress.total = Field(fields[3]); // yt-dlp's estimate, for fragments
    progress.speed = double(Field(fields[4]));
    return true;
}

bool DownloadWithYtDlp(const YtDlpProgram& program, const QByteArray& infoJson, const QString& formatId,
                       const QString& outputPath, ProgressSink* sink, int silenceSeconds,
                       const TransferNetwork& network) {
    const YtDlpNetworkOptions networkOptions(network, YtDlpNetworkOptions::Use::Download);
    if (!networkOptions.IsReady())
        return ReportResultLine(sink, networkOptions.Failure());
    // The info goes to yt-dlp as a file; it holds the site's addresses, so it is the user's own.
    QTemporaryFile info(QDir::tempPath() + QStringLiteral("/~VDXXXXXX.info.json"));
    if (!info.open() || info.write(infoJson) != infoJson.size() || !info.flush()) {
        return ReportResultLine(
            sink,
            QStringLiteral("Cannot write yt-dlp's info to a temporary file: %1").arg(info.errorString()));
    }
    info.close();

    bool began = false;
    int totalKB = 0;
    QElapsedTimer clock;
    clock.start();
    GroupProcessRequest request;
    request.program = program.path;
    request.arguments = {QStringLiteral("--ignore-config"), QStringLiteral("--no-color"),
                         QStringLiteral("--newline"), QStringLiteral("--progress-template"),
                         QStringLiteral("download:%1 %(progress.downloaded_bytes)s %(progress.total_bytes)s "
                                        "%(progress.total_bytes_estimate)s %(progress.speed)s")
                             .arg(QLatin1String(ProgressTag)),
                         QStringLiteral("--load-info-json"), info.fileName(), QStringLiteral("--format"),
                         formatId, QStringLiteral("--output"), AsOutputTemplate(outputPath),
                         // The job's working file is there already, empty: it is to be replaced.
                         QStringLiteral("--force-overwrites"), QStringLiteral("--no-continue"),
                         QStringLiteral("--no-part"), QStringLiteral("--no-mtime"),
                         // The file stays as the site sent it: merging and converting are the job's.
                         QStringLiteral("--fixup"), QStringLiteral("never")};
    request.arguments << networkOptions.Arguments();
    qint64 accounted = 0;
    request.silenceLimitMs = silenceSeconds * 1000;
    request.shouldStop = [sink] {
        return sink != nullptr && sink->IsCancelled() != 0;
    };
    request.outputLine = [&](const QByteArray& line) {
        YtDlpProgressLine progress;
        if (!ParseYtDlpProgressLine(line, progress))
            return;
        if (network.rate != nullptr && progress.downloaded > accounted) {
            network.rate->Account(progress.downloaded - accounted);
            accounted = progress.downloaded;
        }
        if (sink == nullptr)
            return;
        const int total = int(progress.total >> 10);
        if (!began) {
            began = true;
            sink->Begin();
            sink->Progress(ProgressSink::ProgressTotal, total);
        } else if (total != totalKB) {
            sink->Progress(ProgressSink::ProgressTotal, total);
        }
        totalKB = total;
        sink->Status(ProgressSink::StatusActivity, TransferProgressText(double(progress.downloaded) / 1024.0,
                                                                        total, clock.elapsed() / 1000));
        sink->Progress(ProgressSink::ProgressPosition, int(progress.downloaded >> 10));
    };
    const GroupProcessResult run = RunGroupProcess(request);
    if (began && sink != nullptr)
        sink->End();

    QString failure;
    switch (run.end) {
    case GroupProcessResult::End::Exited:
        if (run.exitCode != 0) {
            const QString error = YtDlpErrorLine(run.error);
            failure = WithYtDlpUpdateSuggestion(
                error.isEmpty()
                    ? QStringLiteral("yt-dlp's download failed with exit code %1").arg(run.exitCode)
                    : QStringLiteral("yt-dlp's download failed: %1").arg(error),
                program.version);
        } else if (!QFileInfo(outputPath).isFile()) {
            failure = QStringLiteral("yt-dlp's download ended without a file");
        }
        break;
    case GroupProcessResult::End::Stopped:
        RemoveLeftovers(outputPath, false);
        return ReportResultLine(sink, QString());
    case GroupProcessResult::End::Silent:
        failure = QStringLiteral("yt-dlp's download said nothing for %1 seconds").arg(silenceSeconds);
        break;
    case GroupProcessResult::End::NotStarted:
        failure = QStringLiteral("yt-dlp could not be started: %1").arg(QString::fromUtf8(run.error));
        break;
    case GroupProcessResult::End::Crashed:
    case GroupProcessResult::End::OutputTooLong:
        failure = QStringLiteral("yt-dlp's download ended abnormally");
        break;
    }
    if (!failure.isEmpty()) {
        RemoveLeftovers(outputPath, false);
        return ReportResultLine(sink, failure);
    }
    RemoveLeftovers(outputPath, true);
    ReportResultLine(sink, QString());
    return true;
}

} // namespace Tarnwick
