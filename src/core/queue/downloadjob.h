#pragma once

#include "conversion/chaptermark.h"
#include "jobstate.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace Tarnwick {

class Preset;

// What a run chose for a job whose download was kept unfinished. A later run continues that
// download with these, whatever the window shows then: the kept bytes belong to this quality's
// stream, in this folder.
struct JobChoices {
    QString outputFolder;
    VideoQuality quality = VideoQuality::Standard;
    bool convert = false;
    QString formatName; // the output format's display name, when converting
    QString presetName;
    std::shared_ptr<const Preset> preset; // the preset itself; null when it is gone
};

// A download kept unfinished in its working file, and what the server said about the body, so
// that a later request can ask for the rest of the same body only. A playlist's download is
// continued after the segments the file holds whole, when the playlist names the same ones.
struct PartialDownload {
    QString path; // empty: nothing kept
    QByteArray etag;
    QByteArray lastModified;
    qint64 length = -1;        // the whole body's length; -1 when unknown
    QByteArray playlistDigest; // of the playlist's segment addresses; empty for a plain stream
    int segmentsDone = 0;      // the segments the file holds whole
    qint64 segmentBytes = 0;   // the file's size after them

    bool IsKept() const { return !path.isEmpty(); }
};

// One address of the job list and what became of it.
struct DownloadJob {
    // Names the job in this instance's journal of unfinished jobs for the job's life; 0 until
    // the list (or the journal taking it over) gives it one.
    quint64 id = 0;
    QString url;                 // the watch-page address as added (or as last edited)
    QString outputPath;          // the delivered file; empty until the job succeeds
    QString streamUrl;           // the stream request, filled by the watch-page resolver
    QString title;               // the page title, filled by the resolver; becomes the file name
    QString shownTitle;          // the title as the source spells it, for tags; empty: the title's
    QString artist;              // who made the video, where the source says it (yt-dlp's uploader)
    int year = 0;                // when it was published, where the source says it; 0: not said
    QList<ChapterMark> chapters; // the video's chapters, where the source lists them
    QString description;         // what the source says of the video
    QString coverUrl;            // an http(s) address of its picture, where the source names one
    QString failureText;         // why the job failed, as the transfer or the engine said; empty otherwise
    // The one format the user chose for this row (a source's own id, with "+" and a sound's id
    // for a picture without sound); empty: the rule chooses.
    QString chosenFormat;
    // A playlist row's largest picture for all its entries; -1: the run's.
    int largestPicture = -1;
    // What the choice of picture took, as the status line says it ("360p, largest of 2 at
    // most 400p"); empty until a job has chosen among several.
    QString pictureChoice;
    // What became of what goes with the video (its subtitles: embedded, beside it, left out and
    // why); empty when nothing was asked for.
    QString extrasNote;
    // The site's cookies the browser handed over with the address (cookies.txt text), for this
    // row's requests alone. Held in memory only: the journal keeps just cookiesHanded, so a row
    // that comes back after a restart has the flag and no cookies, and asks for them again.
    QByteArray handedCookies;
    bool cookiesHanded = false;
    // What yt-dlp said about this entry of a playlist when it came resolved with the playlist,
    // so that it is not asked again; empty for an address of its own.
    QByteArray extractedInfo;
    JobState state = JobState::Idle;
    std::optional<JobChoices> choices; // set while a partial download is kept
    PartialDownload partial;
};

// The browser handed the row its site's cookies, but this instance does not hold them (they
// are not kept across restarts): the row cannot go on until the page is handed over again.
inline bool WantsHandedCookies(const DownloadJob& job) {
    return job.cookiesHanded && job.handedCookies.isEmpty();
}

// A job id not given out before in this instance; never 0.
quint64 NewJobId();

// Gives job an id when it has none.
inline void EnsureJobId(DownloadJob& job) {
    if (job.id == 0)
        job.id = NewJobId();
}

} // namespace Tarnwick
