#pragma once

#include "hlsplaylist.h"
#include "queue/downloadjob.h"
#include "queue/jobstate.h"

#include <QList>
#include <QString>

namespace Tarnwick {

class HttpTransfer;
class ProgressSink;

// What a job downloads once its address has been resolved.
struct MediaSource {
    bool isPlaylist = false;    // segments to append one after another, else the job's streamUrl
    QString extension;          // of the downloaded file, dot included
    QString choice;             // which of several renditions was taken; empty when there was one
    QList<HlsSegment> segments; // absolute http(s) addresses, for a playlist
    // The segments of the picture's sound when a master playlist gives it a rendition of its
    // own: fetched beside the picture's and merged with them, without re-encoding, into the
    // container that extension names.
    QList<HlsSegment> audioSegments;
};

// Resolves the job's address into the job's streamUrl and title and what to download. A page
// with the video service's player block is resolved exactly as a watch page always was;
// otherwise the address may be a media file itself, an HLS playlist, or a web page that names
// its video (a <video> element, Open Graph, twitter:player:stream, JSON-LD), tried in that
// order. On failure the reason has gone to sink as the result line (the transfer's own
// failures through the transfer).
bool ResolveMedia(HttpTransfer& transfer, ProgressSink* sink, DownloadJob& job, VideoQuality quality,
                  const QString& videoHost, MediaSource& media);

} // namespace Tarnwick
