#pragma once

#include "recentlist.h"
#include "retrieval/sources/subtitlechoice.h"
#include "retrieval/sources/ytdlp/update/ytdlpupdater.h"

#include <QString>

class QSettings;

namespace Tarnwick {

// The user's settings. Read once at start-up, changed in memory while the program runs, and
// written once when it ends: a killed process loses only the changes of its own session.
struct AppSettings {
    QString defaultFolder;
    bool autoStart = false;
    bool autoClose = false;
    bool keepOnTop = false;
    bool iconic = false;
    int quality = 0;
    bool convert = true;
    bool alwaysOverwrite = false;
    QString player;
    // The web host of the video service; may carry a port ("127.0.0.1:8123").
    QString videoHost = QStringLiteral("www.youtube.com");
    // How many segments of an HLS playlist are fetched at once, 1 to 16.
    int segmentConnections = 4;
    // How many jobs of a run are in progress at once, 1 to 8; 1 takes them one after another.
    int downloadsAtOnce = 1;
    // How many of those may be of one site (one host name) at once, 1 to 8.
    int downloadsPerSite = 2;
    // The sum of every download's speed, in KiB/s of 1,024 bytes; 0: no limit.
    int speedLimit = 0;
    // Every request goes through it: "scheme://[user:password@]host:port"; empty: none.
    QString proxy;
    // A cookies.txt (the Netscape format) whose cookies go with every job's requests; empty: none.
    QString cookiesFile;
    // The browser whose cookies yt-dlp reads for every job ("firefox", "chromium:Profile 1");
    // they serve Tarnwick's own requests of that job too. Empty: none.
    QString cookiesFromBrowser;
    // The tallest picture the quality chooses among, in pixels; 0: no limit.
    int largestPicture = 0;
    // The picture codec taken first among those of the chosen height: "h264", "hevc", "vp9"
    // or "av1"; empty: any.
    QString preferredCodec;
    // Whether files carry the video's title, artist, year, address and description as tags,
    // and its chapters and cover.
    bool embedMetadata = true;
    // The subtitles to fetch: language codes separated by commas ("en,de"), "all", or empty
    // for none; automatic captions too when automaticCaptions is on. embedSubtitles puts them
    // into the file where its container holds them, else beside it as "<name>.<lang>.srt".
    QString subtitleLanguages;
    bool automaticCaptions = false;
    bool embedSubtitles = true;
    // The yt-dlp program to use; empty means "yt-dlp" on PATH.
    QString ytDlpPath;
    // Where "Update yt-dlp" fetches yt-dlp's newest release files from.
    QString ytDlpUpdateUrl = QString::fromLatin1(DefaultYtDlpUpdateUrl);
    RecentList recentUrlList{RecentList::Matching::Exact};
    RecentList recentFolderList{RecentList::Matching::Path};
    int recentFormat = 0;
    int recentPreset = 0;

    // What the run fetches of the subtitles.
    SubtitleWish Subtitles() const;

    // Missing values keep the field's current value, which is its default on a fresh record.
    void Load(QSettings& settings);
    void Save(QSettings& settings) const;
};

} // namespace Tarnwick
