#include "jobsteps.h"

#include "conversion/mediatags.h"

#include "conversion/conversionengine.h"
#include "conversion/conversionjob.h"
#include "conversion/outputformat.h"
#include "conversion/streammerge.h"
#include "fileoperations.h"
#include "jobcontext.h"
#include "jobcover.h"
#include "jobsubtitles.h"
#include "jobtempfile.h"
#include "processjob.h"
#include "queue/progresssink.h"
#include "retrieval/transfer/httptransfer.h"

#include <QFileInfo>
#include <QStringList>
#include <optional>

namespace Tarnwick {

int FinishJob(JobContext& context, int jobIndex, JobState state, int result) {
    context.SetJobState(jobIndex, state);
    return result;
}

DownloadJob ListEntry(const DownloadJob& list, const QString& url) {
    DownloadJob entry;
    entry.url = url;
    entry.largestPicture = list.largestPicture;
    entry.handedCookies = list.handedCookies;
    entry.cookiesHanded = list.cookiesHanded;
    return entry;
}

int FinishListRow(JobContext& context, int jobIndex, const QString& summary) {
    context.Job(jobIndex).title = summary;
    if (context.DownloadSink() != nullptr)
        context.DownloadSink()->Status(ProgressSink::StatusActivity, summary);
    return FinishJob(context, jobIndex, JobState::Succeeded, JobSucceeded);
}

int FailJob(JobContext& context, int jobIndex, const QString& reason) {
    ReportResultLine(context.DownloadSink(), reason);
    return FinishJob(context, jobIndex, JobState::Failed, JobFailed);
}

JobDelivery CurrentDelivery(const JobContext& context, bool convert) {
    return {context.OutputFolder(), convert, convert ? context.SelectedPreset() : nullptr};
}

QString ConvertedExtension(const Preset* preset) {
    return preset != nullptr && preset->format != nullptr ? preset->format->extension : QString();
}

QString ConvertedExtension(const JobContext& context) {
    return ConvertedExtension(context.SelectedPreset());
}

QString FinalPathOrFail(JobContext& context, int jobIndex, const QString& extension) {
    return FinalPathOrFail(context, jobIndex, extension, context.OutputFolder());
}

QString FinalPathOrFail(JobContext& context, int jobIndex, const QString& extension,
                        const QString& outputFolder) {
    // Without a folder the name would land in the file system's root.
    if (extension.isEmpty()) {
        FailJob(context, jobIndex, QStringLiteral("No output format is chosen to convert to"));
        return QString();
    }
    if (outputFolder.isEmpty()) {
        FailJob(context, jobIndex, QStringLiteral("No output folder is given"));
        return QString();
    }
    return outputFolder + QLatin1Char('/') +
           FitFileName(SanitizeFileName(context.Job(jobIndex).title), extension);
}

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

bool MayDeliverTo(JobContext& context, const QString& path) {
    const bool claimed = context.ClaimOutput(path);
    return (claimed && !QFileInfo::exists(path)) || MayOverwrite(context, path);
}

bool StoppedToContinue(JobContext& context) {
    return context.KeepsUnfinished() && context.DownloadSink() != nullptr &&
           context.DownloadSink()->IsCancelled() != 0;
}

ConverterSlots::Turn TakeConverterTurn(JobContext& context, ProgressSink* sink) {
    return ConverterSlots::Turn(context.Converters(), sink);
}

void ForgetPartial(DownloadJob& job) {
    job.partial = PartialDownload();
    job.choices.reset();
}

void DiscardPartial(DownloadJob& job) {
    if (job.partial.IsKept() && JobTempFile::IsWorkingFileName(job.partial.path))
        DeleteFileSilently(job.partial.path);
    ForgetPartial(job);
}

MediaTags JobTags(const DownloadJob& job) {
    return {job.shownTitle.isEmpty() ? job.title : job.shownTitle,
            job.artist,
            job.year,
            job.url,
            job.chapters,
            job.description,
            QString()}; // the cover is a file the delivery fetches
}

int ConvertAndDeliver(JobContext& context, int jobIndex, const JobDelivery& delivery, JobTempFile& download,
                      const QString& finalPath, const QList<SubtitleOffer>& subtitleOffers) {
    DownloadJob& job = context.Job(jobIndex);
    // The download is whole now: a stop during the conversion starts the job again, and a kept
    // file would only be litter.
    ForgetPartial(job);
    JobSubtitles subtitles;
    if (context.Subtitles().WantsAny())
        subtitles = JobSubtitles::Fetch(context, subtitleOffers, delivery.outputFolder);
    ConversionEngine* const engine = context.Engine();
    const bool embedSubtitles = !subtitles.IsEmpty() && context.Subtitles().embed && engine != nullptr &&
                                engine->TakesSubtitles() && HoldsTextSubtitles(QFileInfo(finalPath).suffix());
    MediaTags tags = JobTags(job);
    const MediaTags* const shownTags = context.EmbedsMetadata() ? &tags : nullptr;
    const QString container = QFileInfo(finalPath).suffix();
    JobCover cover;
    if (shownTags != nullptr && !job.coverUrl.isEmpty() && engine != nullptr && engine->TakesCovers() &&
        KeepsCover(container)) {
        cover = JobCover::Fetch(context, job.coverUrl, delivery.outputFolder);
        tags.coverPath = cover.Path();
    }
    const bool embedCover = !tags.coverPath.isEmpty();
    // A file delivered as it came is copied once more only for what it would otherwise lack.
    const bool embedChapters = shownTags != nullptr && !delivery.tagged && !tags.chapters.isEmpty() &&
                               engine != nullptr && engine->TakesChapters() && KeepsChapters(container);

    JobTempFile* result = &download;
    // Declared out here so that the converted file lives until it has been put in place.
    std::optional<JobTempFile> converted;
    if (delivery.convert || embedSubtitles || embedChapters || embedCover) {
        // The engine writes the result under a name of its own and renames it over this one;
        // the empty file only reserves the name.
        converted.emplace(delivery.outputFolder);
        converted->Close();
        context.SetPhase(RunPhase::PhaseConvert);
        context.SetJobState(jobIndex, JobState::Converting);
        const ConverterSlots::Turn turn = TakeConverterTurn(context, context.ConversionSink());
        const QList<SubtitleStream> streams = embedSubtitles ? subtitles.Streams() : QList<SubtitleStream>();
        // On failure both temporary files go with their owners.
        const auto engineResult = [&](const MediaTags* withTags) {
            if (delivery.convert)
                return delivery.preset == nullptr
                           ? ConversionNotStarted
                           : ConvertFile(*engine, download.Path(), converted->Path(), *delivery.preset,
                                         context.ConversionSink(), withTags, streams);
            return CopyWithExtras(*engine, download.Path(), converted->Path(), QLatin1Char('.') + container,
                                  streams, withTags, context.ConversionSink());
        };
        const bool ready = turn.Taken() && converted->IsValid() && engine != nullptr;
        bool done = ready && engineResult(shownTags) == 0;
        // A picture the engine cannot read is no reason to lose the file: it goes without.
        if (ready && !done && embedCover && !StoppedToContinue(context)) {
            MediaTags withoutCover = tags;
            withoutCover.coverPath.clear();
            done = engineResult(&withoutCover) == 0;
            if (done)
                cover.LeaveOut(QStringLiteral("the engine could not read it"));
        }
        if (!done && (delivery.convert || StoppedToContinue(context)))
            return FinishJob(context, jobIndex,
                             StoppedToContinue(context) ? JobState::Stopped : JobState::Failed, JobFailed);
        if (done) {
            DeleteFileSilently(download.Path());
            result = &*converted;
            if (embedSubtitles)
                subtitles.NoteEmbedded();
        }
        // Subtitles or chapters the file would not take are no reason to lose the video: the
        // subtitles go beside it.
    }

    QString reason;
    if (!MoveFileTo(result->Path(), finalPath, &reason))
        return FailJob(context, jobIndex, QStringLiteral("Cannot put the file in place: %1").arg(reason));
    result->Release();
    subtitles.PlaceBeside(context, finalPath);
    job.extrasNote = QStringList{subtitles.Note(), cover.Note()}.join(QLatin1Char('\n')).trimmed();

    job.outputPath = finalPath;
    return FinishJob(context, jobIndex, JobState::Succeeded, JobSucceeded);
}

} // namespace Tarnwick
