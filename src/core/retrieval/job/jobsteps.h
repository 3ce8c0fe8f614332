#pragma once

#include "queue/jobstate.h"

#include <QString>

namespace Tarnwick {

class JobContext;
class JobTempFile;

// The steps every kind of job shares once it knows what to download.

// Ends the job in state with result (one of ProcessJob's results).
int FinishJob(JobContext& context, int jobIndex, JobState state, int result);
// Ends the job as failed, with the reason as the transfer's result line, where the job's
// failure is shown.
int FailJob(JobContext& context, int jobIndex, const QString& reason);

// The extension of the converted file: the selected preset's format extension, dot included.
// Empty while no conversion can be made, which fails the job before anything is downloaded.
QString ConvertedExtension(const JobContext& context);

// The path of the delivered file for the job's title and the extension, in the output folder;
// empty, with the job failed, when there is no extension or no output folder.
QString FinalPathOrFail(JobContext& context, int jobIndex, const QString& extension);

// Whether to write over the existing file at path; may change the run's policy.
bool MayOverwrite(JobContext& context, const QString& path);

// Converts the downloaded file when asked, then puts the result in place at finalPath and
// ends the job; the working files go whatever happens.
int ConvertAndDeliver(JobContext& context, int jobIndex, bool convert, JobTempFile& download,
                      const QString& finalPath);

} // namespace Tarnwick
