#pragma once

#include "offeredformat.h"
#include "picturechoice.h"
#include "subtitlechoice.h"

#include "hlsplaylist.h"
#include "queue/downloadjob.h"
#include "queue/jobstate.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Tarnwick {

class HttpTransfer;
class ProgressSink;

// What a job downloads once its address has been resolved.
struct MediaSource {
    bool fromPageReader = false; // the page reader resolved the page; it holds what to download
    bool isPlaylist = false;     // segments to append one after another, else the job's streamUrl
    QString extension;           // of the downloaded file, dot included
    QString choice;              // which of several renditions was taken; empty when there was one
    QList<OfferedFormat> offers; // what the address offered to choose from; empty when one stream
    QList<HlsSegment> segments;  // absolute http(s) addresses, for a playlist
    // The segments of the picture's sound when a master playlist gives it a rendition of its
    // own: fetched beside the picture's and merged with them, without re-encoding, into the
    // container that extension names.
    QList<HlsSegment> audioSegments;
    QList<SubtitleOffer> subtitles; // what the page offers beside the video, at absolute addresses
    // A page that shows several distinct videos is a list of them: the address of each, which
    // reads that one again ("#video-2"); empty for a page of one video.
    QStringList pageVideos;
};

// The address that names the page's video at place number (from 1) among its <video>s.
QString PageVideoUrl(const QString& pageUrl, int number);

// Reads web pages that are neither watch pages nor media before the built-in readers do
// (yt-dlp, where it is installed), and keeps what it found for the job.
class PageReader {
public:
    enum class Result {
        Resolved,   // found the page's video (or videos)
        Generic,    // found a video by reading the page as any page, as the built-in readers do
        NoVideo,    // knows of no video there
        Failed,     // FailureReason() says why
        Stopped,    // the user stopped the job
        Unavailable // there is no reader (yt-dlp is not installed): as if none were given
    };
    virtual ~PageReader() = default;
    virtual Result Read(const QString& pageUrl) = 0;
    virtual QString FailureReason() const = 0;
};

// Resolves the job's address into the job's streamUrl and title and what to download. A page
// with the video service's player block is resolved exactly as a watch page always was;
// otherwise the address may be a media file itself or an HLS playlist. A plain page whose own
// <video> element names a source is read by the built-in readers alone. Any other page goes to
// the page reader when there is one, then to the built-in readers (a <video> element, Open
// Graph, twitter:player:stream, JSON-LD, tried in that order). The built-in readers also go
// before what the reader found by reading the page generically, and before its failures, when
// they name a video: they follow <base href>, skip comments and know rendition sizes. Without
// a reader, a page without a video fails with the advice to install one. On failure the reason
// has gone to sink as the result line (the transfer's own failures through the transfer).
bool ResolveMedia(HttpTransfer& transfer, ProgressSink* sink, DownloadJob& job, const PictureWish& wish,
                  const QString& videoHost, MediaSource& media, PageReader* reader = nullptr);

// Resolves an HLS playlist address (a master playlist or a media one) as the address of a job
// would be, keeping the job's title.
bool ResolveHlsAddress(HttpTransfer& transfer, ProgressSink* sink, const QString& url,
                       const PictureWish& wish, DownloadJob& job, MediaSource& media);

} // namespace Tarnwick
