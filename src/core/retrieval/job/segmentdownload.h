#pragma once

#include <QFile>

namespace Tarnwick {

class HttpTransfer;
class ProgressSink;
struct MediaSource;

// Fetches the playlist's segments in order, each initialisation section before the first
// segment it applies to, and appends them to file, which is open for writing; the caller
// closes it.
// The sink sees one copy: Begin, the segment count as the total, the segments done as the
// position, activity texts with the segment and the bytes so far, End and the result line;
// a stop request ends it between two reads. The segments are fetched with the stall limit and
// retries of settingsOf, the job's own transfer. True when every segment arrived.
bool DownloadSegments(const MediaSource& media, QFile& file, ProgressSink* sink,
                      const HttpTransfer& settingsOf);

} // namespace Tarnwick
