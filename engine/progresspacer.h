#pragma once

#include "notifier.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace VarnexEngine {

// Paces what a running job tells its host: the position at most every 100 ms and the activity
// line ("Time 00:01:02.500, speed 3.10x") at most every second, so that a fast job does not
// flood the host, and both at once when asked. The position never runs past the total, which
// encoders' padding of the last frame would otherwise make it do.
class ProgressPacer {
public:
    // activitySuffix follows the speed on the activity line (" (copy)").
    explicit ProgressPacer(Notifier& notifier, std::string activitySuffix = {});

    // The job starts now: its speed is measured from here.
    void Start();
    // The job lasts totalMs (0 when unknown); the host learns it.
    void SetTotal(int64_t totalMs);
    // The output has reached positionMs; force reports it whatever the pace.
    void Report(int64_t positionMs, bool force);
    // The job completed: a report now, and a bar that ends full.
    void Finish(int64_t positionMs);

private:
    using Clock = std::chrono::steady_clock;

    Notifier& notifier_;
    const std::string activitySuffix_;
    int64_t totalMs_ = 0;
    Clock::time_point started_{};
    Clock::time_point lastPosition_{};
    Clock::time_point lastStatus_{};
};

// "HH:MM:SS.mmm"
std::string FormatClock(int64_t milliseconds);

} // namespace VarnexEngine
