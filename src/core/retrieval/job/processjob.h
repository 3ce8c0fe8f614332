#pragma once

#include "queue/jobstate.h"

#include <QString>

namespace Tarnwick {

class JobContext;

// Why a job that came with the browser's cookies fails after a restart: they are not kept.
inline constexpr char HandOverAgainText[] =
    "The site's cookies came from the browser with this page and are not kept once Tarnwick ends: "
    "hand the page over from the browser again";

// The results of ProcessJob.
constexpr int JobSucceeded = 0;
constexpr int JobSkipped = 1;
constexpr int JobFailed = -1;

// Carries one job from its address (a watch page, a media link, a web page that names its
// video, or an HLS playlist) to a file in the output folder: resolves the address, asks before
// overwriting, downloads the stream or the playlist's segments (and converts when asked), copies
// the result into place and moves the job through its states. Returns JobSucceeded,
// JobSkipped or JobFailed; no temporary file is left behind on any path.
int ProcessJob(JobContext& context, int jobIndex, VideoQuality quality, bool convert);

} // namespace Tarnwick
