#pragma once

#include "conversion/mediatags.h"

#include "queue/converterslots.h"
#include "queue/jobstate.h"
#include "retrieval/sources/subtitlechoice.h"

#include <QString>

namespace Tarnwick {

class JobContext;
class JobTempFile;
class ProgressSink;
struct DownloadJob;
class Preset;

// What a job delivers and where. Taken from the run when the job starts, or from its kept
// download, so that a download continued in a later run ends as it was begun.
struct JobDelivery {
    QString outputFolder;
    bool convert = false;
    const Preset* preset = nullptr; // what to convert with, when converting
    bool tagged = false;            // the download carries the job's tags already (a merge wrote them)
};

// What the job's file is told of its video, from what its source said.
MediaTags JobTags(const DownloadJob& job);

// The run's current choices.
JobDelivery CurrentDelivery(const JobContext& context, bool convert);

// The steps every kind of job shares once it knows what to download.

// A row made of an entry of the list's row (a playlist, a page of several videos): its address,
// and what the list's row holds for all its entries (the picture limit, the site's cookies).
DownloadJob ListEntry(const DownloadJob& list, const QString& url);
// Ends the list's row once its entries are in the list, the summary as its title and status.
int FinishListRow(JobContext& context, int jobIndex, const QString& summary);

// Ends the job in state with result (one of ProcessJob's results).
int FinishJob(JobContext& context, int jobIndex, JobState state, int result);
// Ends the job as failed, with the reason as the transfer's result line, where the job's
// failure is shown.
int FailJob(JobContext& context, int jobIndex, const QString& reason);

// The extension of the converted file: the preset's format extension, dot included. Empty
// while no conversion can be made, which fails the job before anything is downloaded.
QString ConvertedExtension(const Preset* preset);
QString ConvertedExtension(const JobContext& context);

// The path of the delivered file for the job's title and the extension, in outputFolder;
// empty, with the job failed, when there is no extension or no output folder.
QString FinalPathOrFail(JobContext& context, int jobIndex, const QString& extension,
                        const QString& outputFolder);
QString FinalPathOrFail(JobContext& context, int jobIndex, const QString& extension);

// Whether to write over the existing file at path; may change the run's policy.
bool MayOverwrite(JobContext& context, const QString& path);
// Whether the job may deliver to path: when a file is there already, or another job of the run
// is to deliver one there, as the overwrite policy or the user's answer says.
bool MayDeliverTo(JobContext& context, const QString& path);

// The user or the program's end stopped the job, and a later run continues it: it ends as
// Stopped rather than Failed.
bool StoppedToContinue(JobContext& context);

// Waits for the job's turn at the engine among the jobs of its run (saying so on the sink
// while it waits); the turn lasts as long as the returned object. Taken() is false when a
// stop came first.
ConverterSlots::Turn TakeConverterTurn(JobContext& context, ProgressSink* sink);

// The job keeps no download any more; its working file, if any, is someone else's to delete.
void ForgetPartial(DownloadJob& job);
// Lets go of the job's kept download, deleting the file (only ever one of our working files).
void DiscardPartial(DownloadJob& job);

// Converts the downloaded file when asked, then puts the result in place at finalPath and
// ends the job; the working files go whatever happens, and the job keeps no download after.
// The subtitles the run wishes for among those offered go into the delivered file where its
// container holds them and the run embeds them, else beside it; one that cannot be had is
// noted on the job and never fails it.
int ConvertAndDeliver(JobContext& context, int jobIndex, const JobDelivery& delivery, JobTempFile& download,
                      const QString& finalPath, const QList<SubtitleOffer>& subtitleOffers = {});

} // namespace Tarnwick
