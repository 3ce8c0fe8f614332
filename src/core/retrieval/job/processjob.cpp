#include "processjob.h"

#include "conversion/conversionjob.h"
#include "conversion/outputformat.h"
#include "conversion/presetlookup.h"
#include "fileoperations.h"
#include "jobcontext.h"
#include "jobsteps.h"
#include "jobtempfile.h"
#include "labelledsink.h"
#include "queue/progresssink.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/transfer/httptransfer.h"
#include "segmentdownload.h"
#include "ytdlp/ytdlpjob.h"
#include "ytdlp/ytdlppagereader.h"

#include <QFileInfo>
#include <memory>
#include <optional>

namespace Tarnwick {

namespace {

// The extension of the converted file: the preset's format extension, dot included. Empty
// while no conversion can be made, which fails the job before anything is downloaded.
QString PresetExtension(const Preset* preset) {
    return preset != nullptr && preset->format != nullptr ? preset->format->extension : QString();
}

// Lets go of the job's kept download, deleting the file (only ever one of our working files).
void DiscardPartial(DownloadJob& job) {
    if (job.partial.IsKept() && JobTempFile::IsWorkingFileName(job.partial.path))
        DeleteFileSilently(job.partial.path);
    job.partial = PartialDownload();
    job.choices.reset();
}

bool HasValidator(const PartialDownload& partial) {
    return !partial.lastModified.isEmpty() || (!partial.etag.isEmpty() && !partial.etag.startsWith("W/"));
}

// The kept working file when the download can go on from it, else a new one beside the final
// file. A playlist's segments start again: only a plain stream continues by a range.
std::unique_ptr<JobTempFile> TakeWorkingFile(DownloadJob& job, bool isPlaylist, const QString& folder) {
    if (job.partial.IsKept() && !isPlaylist && HasValidator(job.partial)) {
        std::unique_ptr<JobTempFile> kept = JobTempFile::Reopen(job.partial.path);
        if (kept->IsValid())
            return kept;
    }
    DiscardPartial(job);
    return std::make_unique<JobTempFile>(folder);
}

// Writes the stream, or a playlist's segments one after another, through the file as it was
// created: opening it again with truncation would make the file system write the whole
// download out when it is closed. The transfer reports its own failures; those of the file go
// to reason.
bool DownloadMedia(HttpTransfer& transfer, ProgressSink* sink, const MediaSource& media,
                   const DownloadJob& job, JobTempFile& file, QString& reason) {
    bool copied = false;
    if (media.isPlaylist) {
        copied = DownloadSegments(media, file.File(), sink, transfer);
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

} // namespace

int ProcessJob(JobContext& context, int jobIndex, VideoQuality quality, bool convert) {
    DownloadJob& job = context.Job(jobIndex);
    // A job with a kept download goes on as it was started: the kept bytes are that quality's
    // stream, in that folder.
    if (job.partial.IsKept() && !job.choices)
        DiscardPartial(job);
    const bool continuing = job.partial.IsKept();
    if (continuing) {
        quality = job.choices->quality;
        convert = job.choices->convert;
    }
    const QString outputFolder = continuing ? job.choices->outputFolder : context.OutputFolder();
    const Preset* const preset = continuing ? job.choices->preset.get() : context.SelectedPreset();
    const bool keepsUnfinished = context.KeepsUnfinished();
    context.SetJobState(jobIndex, JobState::Preparing);
    context.ResetProgress();
    context.SetPhase(RunPhase::PhasePrepare);

    // One session serves the page and the stream of the job, and goes when the procedure returns.
    // The sink names the rendition taken when a page offered several.
    LabelledSink labelledSink(context.DownloadSink());
    ProgressSink* const sink = context.DownloadSink() != nullptr ? &labelledSink : nullptr;
    const auto stopped = [&] {
        return keepsUnfinished && sink != nullptr && sink->IsCancelled() != 0;
    };
    HttpTransfer transfer;
    transfer.OpenSession(sink);
    context.ConfigureTransfer(transfer);

    // An entry of a playlist that came resolved needs no second look at the site. yt-dlp's
    // downloads are its own and start again rather than continue.
    YtDlpJob ytDlpJob(context, jobIndex, quality, convert, transfer, labelledSink);
    if (!job.extractedInfo.isEmpty())
        return ytDlpJob.RunEntry(job.extractedInfo);

    MediaSource media;
    std::optional<YtDlpPageReader> reader;
    if (context.YtDlp().IsFound())
        reader.emplace(context.YtDlp(), sink, transfer.StallSeconds());
    if (!ResolveMedia(transfer, sink, job, quality, context.VideoHost(), media,
                      reader ? &*reader : nullptr)) {
        if (stopped())
            return FinishJob(context, jobIndex, JobState::Stopped, JobFailed);
        // A page that is gone or names no video any more ends the kept download too.
        if (!transfer.FailedTransiently())
            DiscardPartial(job);
        return FinishJob(context, jobIndex, JobState::Failed, JobFailed);
    }
    if (media.fromPageReader) {
        DiscardPartial(job);
        return ytDlpJob.Run(reader->Extraction());
    }
    labelledSink.SetLabel(media.choice);

    const QString extension = convert ? PresetExtension(preset) : media.extension;
    // Without a folder the name would land in the file system's root.
    if (extension.isEmpty()) {
        DiscardPartial(job);
        return FailJob(context, jobIndex,
                       continuing && convert
                           ? QStringLiteral("The preset this download was started with is gone")
                           : QStringLiteral("No output format is chosen to convert to"));
    }
    if (outputFolder.isEmpty())
        return FailJob(context, jobIndex, QStringLiteral("No output folder is given"));
    const QString finalPath =
        outputFolder + QLatin1Char('/') + FitFileName(SanitizeFileName(job.title), extension);

    if (QFileInfo::exists(finalPath) && !MayOverwrite(context, finalPath)) {
        DiscardPartial(job);
        return FinishJob(context, jobIndex, JobState::Skipped, JobSkipped);
    }

    context.SetPhase(RunPhase::PhaseDownload);
    // The working files sit beside the final file, so that putting it in place is a rename.
    std::unique_ptr<JobTempFile> download = TakeWorkingFile(job, media.isPlaylist, outputFolder);
    // A plain stream's working file is remembered from the start, so that a kill at any moment
    // leaves a file someone knows of; a playlist starts again anyway.
    const bool keepable = keepsUnfinished && !media.isPlaylist && download->IsValid();
    if (keepable && !job.partial.IsKept()) {
        job.partial.path = download->Path();
        job.choices =
            JobChoices{outputFolder,
                       quality,
                       convert,
                       convert && preset->format != nullptr ? preset->format->displayName : QString(),
                       convert ? PresetName(*preset) : QString(),
                       convert ? std::make_shared<const Preset>(*preset) : nullptr};
    }
    context.SetJobState(jobIndex, JobState::Downloading);
    if (!download->IsValid())
        return FailJob(context, jobIndex, QStringLiteral("Cannot create a temporary file"));
    if (keepable)
        transfer.SetBodyListener([&context, &job, jobIndex](const HttpTransfer::BodyIdentity& body) {
            job.partial.etag = body.etag;
            job.partial.lastModified = body.lastModified;
            job.partial.length = body.length;
            context.PartialChanged(jobIndex);
        });
    QString reason;
    if (!DownloadMedia(transfer, sink, media, job, *download, reason)) {
        const bool wasStopped = stopped();
        // What arrived is kept for a later run when that run can ask for the rest of the same
        // body; a failure for good (a 4xx answer, a full disk) ends the job with its file.
        if (keepable && (wasStopped || transfer.FailedTransiently()) && HasValidator(job.partial) &&
            QFileInfo(download->Path()).size() > 0) {
            download->Release();
        } else if (keepable) {
            job.partial = PartialDownload();
            job.choices.reset();
        }
        if (wasStopped)
            return FinishJob(context, jobIndex, JobState::Stopped, JobFailed);
        return reason.isEmpty() ? FinishJob(context, jobIndex, JobState::Failed, JobFailed)
                                : FailJob(context, jobIndex, reason);
    }

    JobTempFile* result = download.get();
    // Declared out here so that the converted file lives until it has been put in place.
    std::optional<JobTempFile> converted;
    if (convert) {
        // The downloaded file is whole now; a stop during the conversion starts it again.
        job.partial = PartialDownload();
        job.choices.reset();
        // The engine writes the result under a name of its own and renames it over this one;
        // the empty file only reserves the name.
        converted.emplace(outputFolder);
        converted->Close();
        context.SetPhase(RunPhase::PhaseConvert);
        context.SetJobState(jobIndex, JobState::Converting);
        ConversionEngine* engine = context.Engine();
        // On failure both temporary files go with their owners.
        if (!converted->IsValid() || preset == nullptr || engine == nullptr ||
            ConvertFile(*engine, download->Path(), converted->Path(), *preset, context.ConversionSink()) != 0)
            return FinishJob(context, jobIndex, stopped() ? JobState::Stopped : JobState::Failed, JobFailed);
        DeleteFileSilently(download->Path());
        result = &*converted;
    }

    if (!MoveFileTo(result->Path(), finalPath, &reason)) {
        DiscardPartial(job);
        return FailJob(context, jobIndex, QStringLiteral("Cannot put the file in place: %1").arg(reason));
    }
    result->Release();

    job.partial = PartialDownload();
    job.choices.reset();
    job.outputPath = finalPath;
    return FinishJob(context, jobIndex, JobState::Succeeded, JobSucceeded);
}

} // namespace Tarnwick
