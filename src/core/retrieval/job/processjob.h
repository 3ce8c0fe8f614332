#pragma once

#include "queue/jobstate.h"

#include <QString>

namespace Tarnwick {

class JobContext;

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
