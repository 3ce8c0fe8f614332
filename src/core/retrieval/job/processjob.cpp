#include "processjob.h"

#include "conversion/conversionjob.h"
#include "conversion/outputformat.h"
#include "fileoperations.h"
#include "jobcontext.h"
#include "jobtempfile.h"
#include "labelledsink.h"
#include "queue/progresssink.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/transfer/httptransfer.h"
#include "segmentdownload.h"
#include "soundmerge.h"

#include <QFileInfo>
#include <optional>

namespace Tarnwick {

namespace {

int Finish(JobContext& context, int jobIndex, JobState state, int result) {
    context.SetJobState(jobIndex, state);
    return result;
}

// Ends the job as failed, with the reason as the transfer's result line, where the job's
// failure is shown.
int Fail(JobContext& context, int jobIndex, const QString& reason) {
    ReportResultLine(context.DownloadSink(), reason);
    return Finish(context, jobIndex, JobState::Failed, JobFailed);
}

// The extension of the converted file: the selected preset's format extension, dot included.
// Empty while no conversion can be made, which fails the job before anything is downloaded.
QString ConvertedExtension(const JobContext& context) {
    const Preset* preset = context.SelectedPreset();
    return preset != nullptr && preset->format != nullptr ? preset->format->extension : QString();
}

// Whether to write over the existing file at path; may change the run's policy.
bool MayOverwrite(JobContext& context, const QString& path) {
    switch (context.Policy()) {
    case OverwritePolicy::SkipAll:
        return false;
    case OverwritePolicy::OverwriteAll:
        return true;
    case OverwritePolicy::Ask:
        break;
    }
    switch (context.AskOverwrite(QFileInfo(path).fileName())) {
    case JobContext::AnswerYesToAll:
        context.SetPolicy(OverwritePolicy::OverwriteAll);
        return true;
    case JobContext::AnswerNo:
        return false;
    case JobContext::AnswerNoToAll:
    case JobContext::AnswerCancel:
        context.SetPolicy(OverwritePolicy::SkipAll);
        return false;
    default: // "Yes", or the dialog ended some other way
        return true;
    }
}

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

    MediaSource media;
    if (!ResolveMedia(transfer, sink, job, quality, context.VideoHost(), media))
        return Finish(context, jobIndex, JobState::Failed, JobFailed);
    labelledSink.SetLabel(media.choice);

    const QString extension = convert ? ConvertedExtension(context) : media.extension;
    // Without a folder the name would land in the file system's root.
    if (extension.isEmpty())
        return Fail(context, jobIndex, QStringLiteral("No output format is chosen to convert to"));
    if (context.OutputFolder().isEmpty())
        return Fail(context, jobIndex, QStringLiteral("No output folder is given"));
    const QString finalPath =
        context.OutputFolder() + QLatin1Char('/') + FitFileName(SanitizeFileName(job.title), extension);

    if (QFileInfo::exists(finalPath) && !MayOverwrite(context, finalPath))
        return Finish(context, jobIndex, JobState::Skipped, JobSkipped);

    // Asked before anything is fetched: without the engine the picture would arrive silent.
    ConversionEngine* const engine = context.Engine();
    if (!media.audioSegments.isEmpty() && engine == nullptr)
        return Fail(context, jobIndex,
                    QStringLiteral("The picture and its sound come separately, and the conversion engine "
                                   "that merges them is not loaded"));

    context.SetPhase(RunPhase::PhaseDownload);
    context.SetJobState(jobIndex, JobState::Downloading);
    // The working files sit beside the final file, so that putting it in place is a rename.
    JobTempFile download(context.OutputFolder());
    if (!download.IsValid())
        return Fail(context, jobIndex, QStringLiteral("Cannot create a temporary file"));
    QString reason;
    if (!DownloadMedia(transfer, sink, media, job.streamUrl, download, reason))
        return reason.isEmpty() ? Finish(context, jobIndex, JobState::Failed, JobFailed)
                                : Fail(context, jobIndex, reason);

    JobTempFile* result = &download;
    // Declared out here so that the merged and converted files live until put in place.
    std::optional<JobTempFile> merged;
    if (!media.audioSegments.isEmpty()) {
        merged.emplace(context.OutputFolder());
        if (!FetchAndMergeSound(*engine, context.OutputFolder(), transfer, sink, media, download.Path(),
                                *merged))
            return Finish(context, jobIndex, JobState::Failed, JobFailed);
        DeleteFileSilently(download.Path());
        result = &*merged;
    }
    std::optional<JobTempFile> converted;
    if (convert) {
        // The engine writes the result under a name of its own and renames it over this one;
        // the empty file only reserves the name.
        converted.emplace(context.OutputFolder());
        converted->Close();
        context.SetPhase(RunPhase::PhaseConvert);
        context.SetJobState(jobIndex, JobState::Converting);
        const Preset* preset = context.SelectedPreset();
        // On failure both temporary files go with their owners.
        if (!converted->IsValid() || preset == nullptr || engine == nullptr ||
            ConvertFile(*engine, result->Path(), converted->Path(), *preset, context.ConversionSink()) != 0)
            return Finish(context, jobIndex, JobState::Failed, JobFailed);
        DeleteFileSilently(result->Path());
        result = &*converted;
    }

    if (!MoveFileTo(result->Path(), finalPath, &reason))
        return Fail(context, jobIndex, QStringLiteral("Cannot put the file in place: %1").arg(reason));
    result->Release();

    job.outputPath = finalPath;
    return Finish(context, jobIndex, JobState::Succeeded, JobSucceeded);
}

} // namespace Tarnwick
