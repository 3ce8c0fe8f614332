#pragma once

#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace Tarnwick {

// One speed limit shared by every download of the process. Each block received takes its turn
// on a common clock, so the sum stays at the limit however many transfers, segment lanes or
// jobs run; and each transfer also keeps to its share of the limit (the limit divided by the
// transfers that received lately), so that one that receives in large blocks cannot crowd out
// one that receives in small ones.
class SharedRate {
public:
    using Clock = std::chrono::steady_clock;

    // 0: no limit.
    explicit SharedRate(qint64 bytesPerSecond = 0);

    // Takes effect with the next block, also while transfers run.
    void SetLimit(qint64 bytesPerSecond);
    qint64 Limit() const { return limit_.load(); }

    // One transfer's place under the limit, for as long as it lives.
    class Taker {
    public:
        // A null rate lets every block through at once.
        explicit Taker(SharedRate* rate);
        ~Taker();
        Taker(const Taker&) = delete;
        Taker& operator=(const Taker&) = delete;

        // Waits until bytes may be taken, or stopped() is true (asked at least every 50 ms
        // and on every stop wake-up). False when stopped.
        bool Take(qint64 bytes, const std::function<bool()>& stopped);

    private:
        friend class SharedRate;
        SharedRate* rate_;
        Clock::time_point next_;
        Clock::time_point lastSeen_;
    };

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
    // A transfer that took nothing for this long no longer counts among those sharing.
    static constexpr std::chrono::milliseconds Idle{250};

private:
    std::atomic<qint64> limit_;
    std::atomic<int> sharers_{1};
    // The moment at which taker may take bytes; called with mutex_ held.
    Clock::time_point TurnOf(Taker& taker, qint64 bytes, qint64 limit);

    std::mutex mutex_;
    Clock::time_point nextFree_;
    std::vector<Taker*> takers_;
};

} // namespace Tarnwick
