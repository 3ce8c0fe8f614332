#pragma once

#include "retrieval/sources/hlsplaylist.h"

#include <QFile>
#include <QList>
#include <QString>
#include <functional>

namespace Tarnwick {

class HttpTransfer;
class ProgressSink;

// Where a copy of segments starts, and who hears of its progress.
struct SegmentContinuation {
    // The file holds the segments before this one (0-based) whole already, and the initialisation
    // section they need; the copy appends the rest.
    int firstSegment = 0;
    // Told, after each segment is written whole, how many the file holds and its size then.
    std::function<void(int segments, qint64 bytes)> segmentWritten;
};

// Fetches the playlist's segments, each initialisation section before the first segment it
// applies to, and appends them to file in playlist order; file is open for writing and the
// caller closes it. The segments are fetched settingsOf.SegmentConnections() at a time over
// connections kept from one segment to the next, with the stall limit and retries of
// settingsOf, the job's own transfer; at most that many segments are held in memory.
// The sink sees one copy: Begin, the segment count as the total, the segments written as the
// position, activity texts ("<label> 3 / 10, 512 KB, ..."), End and the result line; a stop
// request ends it within PollMilliseconds. The failure of one segment fails the whole copy,
// with "Segment 3 of 10: <reason>" as the result line. True when every segment arrived.
bool DownloadSegments(const QList<HlsSegment>& segments, QFile& file, ProgressSink* sink,
                      const HttpTransfer& settingsOf, const QString& label = QStringLiteral("Segment"),
                      const SegmentContinuation& continuation = {});

} // namespace Tarnwick
