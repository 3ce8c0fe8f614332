#pragma once

#include "jobstate.h"
#include "retrieval/sources/subtitlechoice.h"
#include "retrieval/transfer/jobcookies.h"
#include "retrieval/transfer/transfernetwork.h"
#include "runprogress.h"

#include <QString>
#include <functional>

namespace Tarnwick {

class JobContext;

// The per-job procedure: carries the job at index from its address to a file; returns 0 when
// the file is in place, 1 when skipped, -1 on failure.
using JobProcedure = std::function<int(JobContext& context, int index, VideoQuality quality, bool convert)>;

// The options a run takes from the window when it starts.
struct RunOptions {
    QString outputFolder;
    bool convert = false;
    VideoQuality quality = VideoQuality::Standard;
    int segmentConnections = 4; // HLS segments fetched at once (the setting SegmentConnections)
    TransferNetwork network;    // the proxy and the speed limit of every request
    int largestPicture = 0;     // the tallest picture the quality chooses among; 0: no limit
    QString preferredCodec;     // the picture codec taken first at the chosen height; empty: any
    bool embedMetadata = true;  // converted files carry the video's tags
    SubtitleWish subtitles;     // which subtitles are fetched, and whether they go into the file
    CookieSources cookies;      // where every job's cookies come from
};

// What the run needs from the window besides the per-job context. Called on the worker
// thread; each call returns when the window has done it.
class RunFrontEnd {
public:
    virtual ~RunFrontEnd() = default;
    // The output folder cannot be found or created; the run ends before any job.
    virtual void FolderMissing(const QString& folder) = 0;
    virtual void ShowProgressDisplay(bool shown) = 0;
    // Selects the item alone and shows it; returns the number of items in the list.
    virtual int SelectJob(int index) = 0;
    virtual int ItemCount() = 0;
    virtual void ShowSummary(const QString& text) = 0;
};

struct RunCounts {
    int successes = 0;
    int failures = 0;
    bool folderMissing = false;
};

QString SummaryText(int successes, int failures);

} // namespace Tarnwick
