#include "processjob.h"

#include "fileoperations.h"
#include "jobcontext.h"
#include "jobsteps.h"
#include "jobtempfile.h"
#include "keptdownload.h"
#include "labelledsink.h"
#include "queue/progresssink.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/sources/ytdlp/ytdlpcookies.h"
#include "retrieval/transfer/httptransfer.h"
#include "segmentdownload.h"
#include "soundmerge.h"
#include "ytdlp/ytdlpjob.h"
#include "ytdlp/ytdlppagereader.h"

#include <QFileInfo>
#include <memory>

namespace Tarnwick {

namespace {

// Writes the stream, or a playlist's segments one after another, through the file as it was
// created: opening it again with truncation would make the file system write the whole
// download out when it is closed. A stream whose file holds the start of the body already asks
// for the rest. The transfer reports its own failures; those of the file go to reason.
bool DownloadMedia(HttpTransfer& transfer, ProgressSink* sink, const MediaSource& media,
                   const DownloadJob& job, const SegmentContinuation& continuation, JobTempFile& file,
                   QString& reason) {
    bool copied = false;
    if (media.isPlaylist) {
        copied = DownloadSegments(media.segments, file.File(), sink, transfer, QStringLiteral("Segment"),
                                  continuation);
    } else {
        transfer.SetReadBufferSize(4096);
        if (file.File().pos() > 0)
            transfer.ContinueNextCopy(file.File().pos(),
                                      {job.partial.etag, job.partial.lastModified, job.partial.length});
        copied = transfer.CopyUrlToFile(job.streamUrl, file.File());
    }
    // A file that cannot be completed on disk is not a finished download either. A failed write
    // has failed the copy already, with the transfer's reason.
    QString closeError;
    const bool closed = file.Close(&closeError);
    if (copied && !closed)
        reason = closeError;
    return copied && closed;
}

// A page of several videos: each becomes a row after this one, as a playlist's entries do, and
// this row ends saying so.
int ListPageVideos(JobContext& context, int jobIndex, const QStringList& videos) {
    QList<DownloadJob> rows;
    for (const QString& url : videos)
        rows.append(ListEntry(context.Job(jobIndex), url));
    if (!context.InsertJobs(jobIndex, rows))
        return FailJob(
            context, jobIndex,
            QStringLiteral("The page's %1 videos cannot be added to the list here").arg(rows.size()));
    return FinishListRow(context, jobIndex,
                         QStringLiteral("Page: %1 videos added to the list").arg(rows.size()));
}

} // namespace

int ProcessJob(JobContext& context, int jobIndex, VideoQuality quality, bool convert) {
    DownloadJob& job = context.Job(jobIndex);
    // Without the cookies it came with the job would only meet the site's refusal; its kept
    // download waits for them.
    if (WantsHandedCookies(job))
        return FailJob(context, jobIndex, QString::fromLatin1(HandOverAgainText));
    // A job with a kept download goes on as it was started: the kept bytes are that quality's
    // stream, in that folder.
    if (job.partial.IsKept() && !job.choices)
        DiscardPartial(job);
    const bool continuing = job.partial.IsKept();
    if (continuing) {
        quality = job.choices->quality;
        convert = job.choices->convert;
    }
    const JobDelivery delivery =
        continuing ? JobDelivery{job.choices->outputFolder, convert, job.choices->preset.get()}
                   : CurrentDelivery(context, convert);
    context.SetJobState(jobIndex, JobState::Preparing);
    context.ResetProgress();
    context.SetPhase(RunPhase::PhasePrepare);

    // One session serves the page and the stream of the job, and goes when the procedure returns.
    // The sink names the rendition taken when a page offered several.
    LabelledSink labelledSink(context.DownloadSink());
    ProgressSink* const sink = context.DownloadSink() != nullptr ? &labelledSink : nullptr;
    const auto stopped = [&context] {
        return StoppedToContinue(context);
    };
    HttpTransfer transfer;
    transfer.OpenSession(sink);
    context.ConfigureTransfer(transfer);
    // The job's cookies live as long as its transfers, and nowhere else.
    QString cookieFailure;
    TransferNetwork network = transfer.Network();
    CookieSources cookieSources = context.Cookies();
    cookieSources.handed = job.handedCookies;
    network.cookies = JobCookiesFrom(cookieSources, &cookieFailure);
    if (!cookieFailure.isEmpty())
        return FailJob(context, jobIndex, cookieFailure);
    // A stop while the browser's store is read leaves no reason.
    if (network.cookies != nullptr && !network.cookies->Browser().isEmpty() &&
        !TakeBrowserCookies(context.YtDlp(), network, sink, &cookieFailure))
        return cookieFailure.isEmpty() ? FinishJob(context, jobIndex, JobState::Stopped, JobFailed)
                                       : FailJob(context, jobIndex, cookieFailure);
    transfer.SetNetwork(network);

    RemoveStaleFilesIn(delivery.outputFolder);
    const PictureWish wish{quality, job.largestPicture >= 0 ? job.largestPicture : context.LargestPicture(),
                           context.PreferredCodec(), job.chosenFormat};
    // An entry of a playlist that came resolved needs no second look at the site. yt-dlp's
    // downloads are its own and start again rather than continue.
    YtDlpJob ytDlpJob(context, jobIndex, wish, convert, transfer, labelledSink);
    if (!job.extractedInfo.isEmpty())
        return ytDlpJob.RunEntry(job.extractedInfo);

    MediaSource media;
    YtDlpPageReader reader([&context]() -> const YtDlpProgram& { return context.YtDlp(); }, sink,
                           transfer.StallSeconds(), transfer.Network());
    if (!ResolveMedia(transfer, sink, job, wish, context.VideoHost(), media, &reader)) {
        if (stopped())
            return FinishJob(context, jobIndex, JobState::Stopped, JobFailed);
        // A page that is gone or names no video any more ends the kept download too.
        if (!transfer.FailedTransiently())
            DiscardPartial(job);
        return FinishJob(context, jobIndex, JobState::Failed, JobFailed);
    }
    if (media.fromPageReader) {
        DiscardPartial(job);
        return ytDlpJob.Run(reader.Extraction());
    }
    if (!media.pageVideos.isEmpty()) {
        DiscardPartial(job);
        return ListPageVideos(context, jobIndex, media.pageVideos);
    }
    labelledSink.SetLabel(media.choice);
    job.pictureChoice = media.choice;

    if (continuing && convert && ConvertedExtension(delivery.preset).isEmpty()) {
        DiscardPartial(job);
        return FailJob(context, jobIndex,
                       QStringLiteral("The preset this download was started with is gone"));
    }
    const QString finalPath =
        FinalPathOrFail(context, jobIndex, convert ? ConvertedExtension(delivery.preset) : media.extension,
                        delivery.outputFolder);
    if (finalPath.isEmpty())
        return JobFailed;
    if (!MayDeliverTo(context, finalPath)) {
        DiscardPartial(job);
        return FinishJob(context, jobIndex, JobState::Skipped, JobSkipped);
    }
    // Asked before anything is fetched: without the engine the picture would arrive silent.
    ConversionEngine* const engine = context.Engine();
    if (!media.audioSegments.isEmpty() && engine == nullptr)
        return FailJob(context, jobIndex,
                       QStringLiteral("The picture and its sound come separately, and the conversion engine "
                                      "that merges them is not loaded"));

    context.SetPhase(RunPhase::PhaseDownload);
    // The working files sit beside the final file, so that putting it in place is a rename.
    std::unique_ptr<JobTempFile> download = TakeWorkingFile(job, media, delivery.outputFolder);
    const bool keepable = context.KeepsUnfinished() && IsKeepable(media) && download->IsValid();
    if (keepable && !job.partial.IsKept())
        KeepFromNowOn(job, *download, media, quality, delivery);
    context.SetJobState(jobIndex, JobState::Downloading);
    if (!download->IsValid())
        return FailJob(context, jobIndex, QStringLiteral("Cannot create a temporary file"));
    if (keepable && !media.isPlaylist)
        transfer.SetBodyListener([&context, &job, jobIndex](const HttpTransfer::BodyIdentity& body) {
            job.partial.etag = body.etag;
            job.partial.lastModified = body.lastModified;
            job.partial.length = body.length;
            context.PartialChanged(jobIndex);
        });
    QString reason;
    if (!DownloadMedia(transfer, sink, media, job, PlaylistContinuation(context, jobIndex, keepable),
                       *download, reason)) {
        const bool wasStopped = stopped();
        // What arrived is kept for a later run when that run can ask for the rest of the same
        // body; a failure for good (a 4xx answer, a full disk) ends the job with its file.
        if (keepable && WorthKeeping(job, media, wasStopped, transfer.FailedTransiently(),
                                     QFileInfo(download->Path()).size())) {
            download->Release();
        } else if (keepable) {
            ForgetPartial(job); // the working file goes with its owner below
        }
        if (wasStopped)
            return FinishJob(context, jobIndex, JobState::Stopped, JobFailed);
        return reason.isEmpty() ? FinishJob(context, jobIndex, JobState::Failed, JobFailed)
                                : FailJob(context, jobIndex, reason);
    }
    if (media.audioSegments.isEmpty())
        return ConvertAndDeliver(context, jobIndex, delivery, *download, finalPath, media.subtitles);
    JobTempFile merged(delivery.outputFolder);
    const MediaTags tags = JobTags(job);
    if (!FetchAndMergeSound(*engine, context.Converters(), delivery.outputFolder, transfer, sink, media,
                            download->Path(), merged, context.EmbedsMetadata() ? &tags : nullptr))
        return FinishJob(context, jobIndex, stopped() ? JobState::Stopped : JobState::Failed, JobFailed);
    DeleteFileSilently(download->Path());
    JobDelivery mergedDelivery = delivery;
    mergedDelivery.tagged = context.EmbedsMetadata();
    return ConvertAndDeliver(context, jobIndex, mergedDelivery, merged, finalPath, media.subtitles);
}

} // namespace Tarnwick
