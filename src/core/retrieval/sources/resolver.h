#pragma once

#include "queue/downloadjob.h"
#include "queue/jobstate.h"

#include <QString>

namespace Tarnwick {

class HttpTransfer;

// Pages larger than this are refused rather than held in memory.
constexpr qint64 PageSizeLimit = qint64(16) << 20;

// Fetches the job's watch page and writes the stream request (with the quality's selector) and
// the title into the job. A failure after the stream request was found leaves it in the job.
bool ResolveJob(HttpTransfer& transfer, DownloadJob& job, VideoQuality quality, const QString& videoHost);

// The second half of ResolveJob, on a page already fetched.
bool ResolveWatchPage(const QString& page, DownloadJob& job, VideoQuality quality, const QString& videoHost);

// The page at url as text. False when the transfer fails or the page is empty.
bool FetchPage(HttpTransfer& transfer, const QString& url, QString& page);

// "&fmt=6", "&fmt=18" or nothing.
QString QualitySelector(VideoQuality quality);

// ".mp4" for the high-quality MP4 stream, else ".flv".
QString DownloadExtension(VideoQuality quality);

} // namespace Tarnwick
