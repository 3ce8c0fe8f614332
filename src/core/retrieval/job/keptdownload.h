#pragma once

#include "queue/downloadjob.h"
#include "segmentdownload.h"

#include <memory>

namespace Tarnwick {

class JobContext;
class JobTempFile;
struct JobDelivery;
struct MediaSource;

// The download a job keeps unfinished for a later run: a plain stream continues by a range of
// the same body, a playlist after the segments its file holds whole.

// What killed jobs left in folder goes before a job adds its own files; the downloads that a
// journal keeps for a later run stay. The journals are read only when there is something to
// remove.
void RemoveStaleFilesIn(const QString& folder);

// The job's kept working file, ready to be written on, when what media names now is what it
// holds the start of; else a new working file in folder, the kept one let go.
std::unique_ptr<JobTempFile> TakeWorkingFile(DownloadJob& job, const MediaSource& media,
                                             const QString& folder);

// Whether a download of media can be kept for a later run: a plain stream, or a playlist whose
// picture and sound come together.
bool IsKeepable(const MediaSource& media);

// Remembers the job's working file and the choices it was started with, from its start, so
// that a kill at any moment leaves a file someone knows of.
void KeepFromNowOn(DownloadJob& job, const JobTempFile& download, const MediaSource& media,
                   VideoQuality quality, const JobDelivery& delivery);

// Whether what arrived of a download that ended early is worth keeping: the job was stopped, or
// (for a plain stream) the network failed, and a later run can tell the same body again.
bool WorthKeeping(const DownloadJob& job, const MediaSource& media, bool stopped, bool failedTransiently,
                  qint64 fileSize);

// Where the job's playlist copy starts, and a record of each segment written whole in the job;
// the context hears of it at most every few seconds, so that the journal is not rewritten for
// every segment and a kill loses only that much. keep: the download is kept for a later run.
SegmentContinuation PlaylistContinuation(JobContext& context, int jobIndex, bool keep);

} // namespace Tarnwick
