#include "jobsteps.h"

#include "conversion/conversionjob.h"
#include "conversion/outputformat.h"
#include "fileoperations.h"
#include "jobcontext.h"
#include "jobtempfile.h"
#include "processjob.h"
#include "retrieval/transfer/httptransfer.h"

#include <QFileInfo>
#include <optional>

namespace Tarnwick {

int FinishJob(JobContext& context, int jobIndex, JobState state, int result) {
    context.SetJobState(jobIndex, state);
    return result;
}

int FailJob(JobContext& context, int jobIndex, const QString& reason) {
    ReportResultLine(context.DownloadSink(), reason);
    return FinishJob(context, jobIndex, JobState::Failed, JobFailed);
}

QString ConvertedExtension(const JobContext& context) {
    const Preset* preset = context.SelectedPreset();
    return preset != nullptr && preset->format != nullptr ? preset->format->extension : QString();
}

QString FinalPathOrFail(JobContext& context, int jobIndex, const QString& extension) {
    // Without a folder the name would land in the file system's root.
    if (extension.isEmpty()) {
        FailJob(context, jobIndex, QStringLiteral("No output format is chosen to convert to"));
        return QString();
    }
    if (context.OutputFolder().isEmpty()) {
        FailJob(context, jobIndex, QStringLiteral("No output folder is given"));
        return QString();
    }
    return context.OutputFolder() + QLatin1Char('/') +
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

int ConvertAndDeliver(JobContext& context, int jobIndex, bool convert, JobTempFile& download,
                      const QString& finalPath) {
    JobTempFile* result = &download;
    // Declared out here so that the converted file lives until it has been put in place.
    std::optional<JobTempFile> converted;
    if (convert) {
        // The engine writes the result under a name of its own and renames it over this one;
        // the empty file only reserves the name.
        converted.emplace(context.OutputFolder());
        converted->Close();
        context.SetPhase(RunPhase::PhaseConvert);
        context.SetJobState(jobIndex, JobState::Converting);
        const Preset* preset = context.SelectedPreset();
        ConversionEngine* engine = context.Engine();
        // On failure both temporary files go with their owners.
        if (!converted->IsValid() || preset == nullptr || engine == nullptr ||
            ConvertFile(*engine, download.Path(), converted->Path(), *preset, context.ConversionSink()) != 0)
            return FinishJob(context, jobIndex, JobState::Failed, JobFailed);
        DeleteFileSilently(download.Path());
        result = &*converted;
    }

    QString reason;
    if (!MoveFileTo(result->Path(), finalPath, &reason))
        return FailJob(context, jobIndex, QStringLiteral("Cannot put the file in place: %1").arg(reason));
    result->Release();

    context.Job(jobIndex).outputPath = finalPath;
    return FinishJob(context, jobIndex, JobState::Succeeded, JobSucceeded);
}

} // namespace Tarnwick
