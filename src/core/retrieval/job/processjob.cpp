#include "processjob.h"

#include "fileoperations.h"
#include "jobcontext.h"
#include "jobsteps.h"
#include "jobtempfile.h"
#include "labelledsink.h"
#include "queue/progresssink.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/transfer/httptransfer.h"
#include "segmentdownload.h"
#include "soundmerge.h"
#include "stalejobfiles.h"
#include "ytdlp/ytdlpjob.h"
#include "ytdlp/ytdlppagereader.h"

#include <QFileInfo>
#include <optional>

namespace Tarnwick {

namespace {

// Writes the stream, or a playlist's segments one after another, through the file as it was
// created: opening it again with truncation would make the file system write the whole
// download out when it is closed. The transfer reports its own failures; those of the file go
// to reason.
bool DownloadMedia(HttpTransfer& transfer, ProgressSink* sink, const MediaSource& media,
                   const QString& streamUrl, JobTempFile& file, QString& reason) {
    bool copied = false;
    if (media.isPlaylist) {
        copied = DownloadSegments(media.segments, file.File(), sink, transfer);
    } else {
        transfer.SetReadBufferSize(4096);
        copied = transfer.CopyUrlToFile(streamUrl, file.File());
    }
    // A file that cannot be completed on disk is not a finished download either. A failed write
    // has failed the copy already, with the transfer's reason.
    QString closeError;
    const bool closed = file.Close(&closeError);
    if (copied && !closed)
        reason = closeError;
    return copied && closed;
}

} // namespace

int ProcessJob(JobContext& context, int jobIndex, VideoQuality quality, bool convert) {
    DownloadJob& job = context.Job(jobIndex);
    context.SetJobState(jobIndex, JobState::Preparing);
    context.ResetProgress();
    context.SetPhase(RunPhase::PhasePrepare);

    // One session serves the page and the stream of the job, and goes when the procedure returns.
    // The sink names the rendition taken when a page offered several.
    LabelledSink labelledSink(context.DownloadSink());
    ProgressSink* const sink = context.DownloadSink() != nullptr ? &labelledSink : nullptr;
    HttpTransfer transfer;
    transfer.OpenSession(sink);
    context.ConfigureTransfer(transfer);

    // What a killed job left in the folder goes before this job adds its own files.
    RemoveStaleJobFiles(context.OutputFolder());
    // An entry of a playlist that came resolved needs no second look at the site.
    YtDlpJob ytDlpJob(context, jobIndex, quality, convert, transfer, labelledSink);
    if (!job.extractedInfo.isEmpty())
        return ytDlpJob.RunEntry(job.extractedInfo);

    MediaSource media;
    std::optional<YtDlpPageReader> reader;
    if (context.YtDlp().IsFound())
        reader.emplace(context.YtDlp(), sink, transfer.StallSeconds());
    if (!ResolveMedia(transfer, sink, job, quality, context.VideoHost(), media, reader ? &*reader : nullptr))
        return FinishJob(context, jobIndex, JobState::Failed, JobFailed);
    if (media.fromPageReader)
        return ytDlpJob.Run(reader->Extraction());
    labelledSink.SetLabel(media.choice);

    const QString finalPath =
        FinalPathOrFail(context, jobIndex, convert ? ConvertedExtension(context) : media.extension);
    if (finalPath.isEmpty())
        return JobFailed;
    if (QFileInfo::exists(finalPath) && !MayOverwrite(context, finalPath))
        return FinishJob(context, jobIndex, JobState::Skipped, JobSkipped);
    // Asked before anything is fetched: without the engine the picture would arrive silent.
    ConversionEngine* const engine = context.Engine();
    if (!media.audioSegments.isEmpty() && engine == nullptr)
        return FailJob(context, jobIndex,
                       QStringLiteral("The picture and its sound come separately, and the conversion engine "
                                      "that merges them is not loaded"));

    context.SetPhase(RunPhase::PhaseDownload);
    context.SetJobState(jobIndex, JobState::Downloading);
    // The working files sit beside the final file, so that putting it in place is a rename.
    JobTempFile download(context.OutputFolder());
    if (download.IsValid() && QFileInfo(download.Path()).absolutePath() != QFileInfo(context.OutputFolder()).absoluteFilePath())
        RemoveStaleJobFiles(QFileInfo(download.Path()).absolutePath());
    if (!download.IsValid())
        return FailJob(context, jobIndex, QStringLiteral("Cannot create a temporary file"));
    QString reason;
    if (!DownloadMedia(transfer, sink, media, job.streamUrl, download, reason))
        return reason.isEmpty() ? FinishJob(context, jobIndex, JobState::Failed, JobFailed)
                                : FailJob(context, jobIndex, reason);
    if (media.audioSegments.isEmpty())
        return ConvertAndDeliver(context, jobIndex, convert, download, finalPath);
    JobTempFile merged(context.OutputFolder());
    if (!FetchAndMergeSound(*engine, context.OutputFolder(), transfer, sink, media, download.Path(), merged))
        return FinishJob(context, jobIndex, JobState::Failed, JobFailed);
    DeleteFileSilently(download.Path());
    return ConvertAndDeliver(context, jobIndex, convert, merged, finalPath);
}

} // namespace Tarnwick
