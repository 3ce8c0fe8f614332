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
    JobState state = JobState::Idle;
};

} // namespace Tarnwick
