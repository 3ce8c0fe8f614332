#pragma once

#include "retrieval/sources/picturechoice.h"

#include "queue/jobstate.h"
#include "retrieval/sources/ytdlp/ytdlpextraction.h"

#include <QByteArray>
#include <QString>

namespace Tarnwick {

class HttpTransfer;
class JobContext;
class JobTempFile;
class LabelledSink;

// Carries a job whose address yt-dlp resolved to its file: a playlist becomes rows of the list
// after the job's own, a video is downloaded in the formats the wish chooses (http formats
// and HLS through Tarnwick's own transfer with the site's request headers, any other protocol
// by yt-dlp itself), a picture and its separate sound are merged into one file, and the result
// is converted and put in place as any download is. Returns one of ProcessJob's results.
class YtDlpJob {
public:
    YtDlpJob(JobContext& context, int jobIndex, const PictureWish& wish, bool convert, HttpTransfer& transfer,
             LabelledSink& sink);

    // After the resolver handed the page to yt-dlp.
    int Run(const YtDlpExtraction& extraction);
    // An entry of a playlist whose info came with the playlist.
    int RunEntry(const QByteArray& infoJson);

private:
    int ListPlaylist(const YtDlpInfo& info);
    int DeliverVideo(const YtDlpInfo& info, const QByteArray& json);
    // Downloads the format into file (which it closes); false when the job has failed.
    bool DownloadFormat(const YtDlpFormat& format, const QByteArray& json, JobTempFile& file);
    int Fail(const QString& reason);

    JobContext& context_;
    int jobIndex_;
    PictureWish wish_;
    bool convert_;
    HttpTransfer& transfer_;
    LabelledSink& sink_;
};

// The delivered file's extension for a format yt-dlp names "mp4", "webm", ...: dot included;
// ".bin" for a name that is not a plain short extension.
QString YtDlpFormatExtension(const YtDlpFormat& format);

// The title made fit to name a file, as every other title is; "untitled" when nothing is left.
QString YtDlpFileTitle(const QString& title);

} // namespace Tarnwick
