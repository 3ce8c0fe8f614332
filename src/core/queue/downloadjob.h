#pragma once

#include "jobstate.h"

#include <QString>

namespace Tarnwick {

// One address of the job list and what became of it.
struct DownloadJob {
    QString url;         // the watch-page address as added (or as last edited)
    QString outputPath;  // the delivered file; empty until the job succeeds
    QString streamUrl;   // the stream request, filled by the watch-page resolver
    QString title;       // the page title, filled by the resolver; becomes the file name
    QString failureText; // why the job failed, as the transfer or the engine said; empty otherwise
    // What yt-dlp said about this entry of a playlist when it came resolved with the playlist,
    // so that it is not asked again; empty for an address of its own.
    QByteArray extractedInfo;
    JobState state = JobState::Idle;
};

} // namespace Tarnwick
