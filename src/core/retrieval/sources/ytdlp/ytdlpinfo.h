#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include "conversion/chaptermark.h"
#include "retrieval/sources/subtitlechoice.h"

namespace Tarnwick {

// One format of a video as yt-dlp describes it.
struct YtDlpFormat {
    QString id;       // format_id, what yt-dlp's own download is told to take
    QString url;      // an http or https address: formats at other addresses are not taken
    QString protocol; // "https", "m3u8_native", "http_dash_segments", ...
    QString extension;
    QString videoCodec; // empty when the format carries no picture (or it is unknown)
    QString audioCodec; // empty when the format carries no sound (or it is unknown)
    bool hasVideo = true;
    bool hasAudio = true;
    int width = 0;
    int height = 0;
    double frameRate = 0;
    double bitRate = 0; // kbit/s, total (or the one known part)
    qint64 bytes = 0;   // the file's size, exact or estimated; 0: not said
    QString language;   // of the sound, where yt-dlp says it
    // Request headers the site expects with the download (User-Agent, Referer, Cookie, ...).
    QList<QPair<QByteArray, QByteArray>> httpHeaders;
};

// One entry of a playlist: either an address to ask about again, or an entry that came
// resolved, whose own info is kept so that nothing is asked twice.
struct YtDlpEntry {
    QString url;
    QString title;
    QByteArray info; // the entry's own info JSON when it came resolved; empty otherwise
};

// What yt-dlp's --dump-single-json said about an address.
struct YtDlpInfo {
    bool isPlaylist = false;
    QString title;
    QString extractorKey;        // which of yt-dlp's readers answered ("Generic" for any web page)
    QString extension;           // of the video as a whole, when yt-dlp names one
    QString uploader;            // the uploader or, without one, the channel
    int uploadYear = 0;          // from upload_date ("20260314"); 0: not said
    QList<ChapterMark> chapters; // from chapters' start_time and title, as listed
    QString description;
    QString thumbnail; // the last JPEG or PNG of its thumbnails, else its thumbnail; http(s) only
    QList<YtDlpFormat> formats;
    // Its subtitles and automatic captions, every format of each language.
    QList<SubtitleOffer> subtitles;
    QList<YtDlpEntry> entries;
    int entryTotal = 0; // how many entries the playlist has, when yt-dlp says so (else the count)
};

// Reads yt-dlp's info JSON. False, with the reason, when it is not a JSON object of the
// expected shape. Values of the wrong type are read as absent rather than trusted.
bool ParseYtDlpInfo(const QByteArray& json, YtDlpInfo& info, QString& reason);

// A format that is one http or https request, which Tarnwick's own transfer fetches.
bool IsHttpFormat(const YtDlpFormat& format);
// An HLS playlist over http or https, which Tarnwick's own HLS download fetches.
bool IsHlsFormat(const YtDlpFormat& format);

} // namespace Tarnwick
