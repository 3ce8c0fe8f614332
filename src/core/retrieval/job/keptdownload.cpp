#include "keptdownload.h"

#include "conversion/outputformat.h"
#include "conversion/presetlookup.h"
#include "jobcontext.h"
#include "jobsteps.h"
#include "jobtempfile.h"
#include "journal/jobjournal.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/transfer/resumestate.h"
#include "stalejobfiles.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QUrl>
#include <chrono>

namespace Tarnwick {

namespace {

// A playlist's progress reaches the journal at most this often.
constexpr std::chrono::seconds PlaylistRecordInterval{2};

bool HasValidator(const PartialDownload& partial) {
    return !RangeValidator(partial.etag, partial.lastModified).isEmpty();
}

// Names a playlist's segments as a later reading finds them again: their addresses without the
// query, which often carries a token that changes from one reading to the next.
QByteArray PlaylistDigest(const QList<HlsSegment>& segments) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const HlsSegment& segment : segments) {
        for (const QString& address : {segment.mapUri, segment.uri}) {
            hash.addData(QUrl(address).adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment).toEncoded());
            hash.addData(QByteArrayView("\n", 1));
        }
    }
    return hash.result();
}

bool CanContinue(const PartialDownload& partial, const MediaSource& media) {
    if (!media.isPlaylist)
        return HasValidator(partial);
    return IsKeepable(media) && partial.segmentsDone > 0 && partial.segmentsDone < media.segments.size() &&
           partial.playlistDigest == PlaylistDigest(media.segments);
}

} // namespace

void RemoveStaleFilesIn(const QString& folder) {
    RemoveStaleJobFiles(folder, QDateTime::currentDateTimeUtc(), [] { return JobJournal::KeptFiles(); });
}

std::unique_ptr<JobTempFile> TakeWorkingFile(DownloadJob& job, const MediaSource& media,
                                             const QString& folder) {
    if (job.partial.IsKept() && CanContinue(job.partial, media)) {
        std::unique_ptr<JobTempFile> kept = JobTempFile::Reopen(job.partial.path);
        // A playlist's file goes on after its last whole segment; what came after it is cut.
        const qint64 whole = job.partial.segmentBytes;
        if (kept->IsValid() &&
            (!media.isPlaylist ||
             (kept->File().size() >= whole && kept->File().resize(whole) && kept->File().seek(whole))))
            return kept;
    }
    DiscardPartial(job);
    auto created = std::make_unique<JobTempFile>(folder);
    // A working file that had to go to the temporary folder finds litter of its own kind there.
    if (created->IsValid() &&
        QFileInfo(created->Path()).absolutePath() != QFileInfo(folder).absoluteFilePath())
        RemoveStaleFilesIn(QFileInfo(created->Path()).absolutePath());
    return created;
}

bool IsKeepable(const MediaSource& media) {
    return !media.isPlaylist || media.audioSegments.isEmpty();
}

void KeepFromNowOn(DownloadJob& job, const JobTempFile& download, const MediaSource& media,
                   VideoQuality quality, const JobDelivery& delivery) {
    const Preset* preset = delivery.convert ? delivery.preset : nullptr;
    job.partial = PartialDownload();
    job.partial.path = download.Path();
    if (media.isPlaylist)
        job.partial.playlistDigest = PlaylistDigest(media.segments);
    job.choices =
        JobChoices{delivery.outputFolder,
                   quality,
                   delivery.convert,
                   preset != nullptr && preset->format != nullptr ? preset->format->displayName : QString(),
                   preset != nullptr ? PresetName(*preset) : QString(),
                   preset != nullptr ? std::make_shared<const Preset>(*preset) : nullptr};
}

bool WorthKeeping(const DownloadJob& job, const MediaSource& media, bool stopped, bool failedTransiently,
                  qint64 fileSize) {
    // A segment that failed after its retries may be gone for good: the playlist starts again.
    if (media.isPlaylist)
        return stopped && job.partial.segmentsDone > 0;
    return (stopped || failedTransiently) && HasValidator(job.partial) && fileSize > 0;
}

SegmentContinuation PlaylistContinuation(JobContext& context, int jobIndex, bool keep) {
    SegmentContinuation continuation;
    continuation.firstSegment = keep ? context.Job(jobIndex).partial.segmentsDone : 0;
    if (!keep)
        return continuation;
    using Clock = std::chrono::steady_clock;
    continuation.segmentWritten = [&context, jobIndex, lastRecord = std::optional<Clock::time_point>()](
                                      int segments, qint64 bytes) mutable {
        PartialDownload& partial = context.Job(jobIndex).partial;
        partial.segmentsDone = segments;
        partial.segmentBytes = bytes;
        const Clock::time_point now = Clock::now();
        if (lastRecord && now - *lastRecord < PlaylistRecordInterval)
            return;
        lastRecord = now;
        context.PartialChanged(jobIndex);
    };
    return continuation;
}

} // namespace Tarnwick
