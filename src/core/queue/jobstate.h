#pragma once

#include <cstdint>

namespace Tarnwick {

// The values are stored in job records and compared across the window, the worker and the
// per-job procedure, so each enumerator keeps its fixed number.

enum class JobState : int32_t {
    Idle = 0,        // created, never processed
    Skipped = 1,     // the output file existed and the overwrite answer was "no"
    Preparing = 2,   // the watch page is being resolved
    Downloading = 3, // the stream is being transferred
    Converting = 4,  // the downloaded file is being converted
    Succeeded = 5,   // the file is in the output folder
    Failed = -1,     // resolution, transfer, conversion or delivery failed
    Stopped = 6,     // stopped by Stop or by the program's end; continues in a later run
};

// A job a run is working on: the list does not change it under the run.
inline bool IsInProgress(JobState state) {
    return state == JobState::Preparing || state == JobState::Downloading || state == JobState::Converting;
}

// Selects how progress positions of the job in progress map onto the progress bar.
enum class RunPhase : int32_t {
    PhasePrepare = 0,
    PhaseDownload = 1,
    PhaseConvert = 2,
};

// The run-wide answer to the overwrite question.
enum class OverwritePolicy : int32_t {
    Ask = 0,
    OverwriteAll = 1,
    SkipAll = -1,
};

// Written by the window's thread, polled by the worker.
enum class StopRequest : int32_t {
    None = 0,
    Stop = 1,
    StopAndClose = 2,
};

// Index of the "Video Quality" choice; selects the stream selector and the file extension.
enum class VideoQuality : int32_t {
    Standard = 0,
    HighFlv = 1,
    HighMp4 = 2,
};

} // namespace Tarnwick
