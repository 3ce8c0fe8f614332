#pragma once

#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

namespace Tarnwick {

// One speed limit shared by every download of the process: each block received takes its
// turn on a common clock, so the sum stays at the limit however many transfers, segment lanes
// or jobs run, and a transfer that receives often cannot starve one that receives rarely.
// Turns are given in the order they are asked for; a block of one transfer never waits for
// more than the blocks asked for before it.
class SharedRate {
public:
    using Clock = std::chrono::steady_clock;

    // 0: no limit.
    explicit SharedRate(qint64 bytesPerSecond = 0);

    // Takes effect with the next block, also while transfers run.
    void SetLimit(qint64 bytesPerSecond);
    qint64 Limit() const { return limit_.load(); }

    // Waits until bytes may be taken, or stopped() is true (asked at least every 50 ms and on
    // every stop wake-up). False when stopped.
    bool Take(qint64 bytes, const std::function<bool()>& stopped);

    // Counts bytes that arrived outside Tarnwick's transfers (a download yt-dlp does itself,
    // limited to its share) against the limit, so that the others make room for them.
    void Account(qint64 bytes);

    // How many jobs are in progress and share the limit; the run says so as jobs start and end.
    void SetSharers(int jobs) { sharers_ = qMax(1, jobs); }
    int Sharers() const { return sharers_.load(); }
    // What one of the sharers may take per second, for a program that limits its own
    // downloads (yt-dlp); 0 without a limit.
    qint64 Share() const;

    // How long the clock may lag behind the present: a short pause of every transfer does not
    // let the next one burst far beyond the limit.
    static constexpr std::chrono::milliseconds Burst{100};

private:
    std::atomic<qint64> limit_;
    std::atomic<int> sharers_{1};
    std::mutex mutex_;
    Clock::time_point nextFree_;
};

} // namespace Tarnwick
