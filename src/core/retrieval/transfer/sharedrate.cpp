#include "sharedrate.h"

#include "queue/stopwakeup.h"

#include <algorithm>

namespace Tarnwick {

SharedRate::SharedRate(qint64 bytesPerSecond)
    : limit_(qMax<qint64>(0, bytesPerSecond))
    , nextFree_(Clock::now()) {}

void SharedRate::SetLimit(qint64 bytesPerSecond) {
    limit_ = qMax<qint64>(0, bytesPerSecond);
}

qint64 SharedRate::Share() const {
    const qint64 limit = limit_.load();
    return limit == 0 ? 0 : qMax<qint64>(1, limit / sharers_.load());
}

void SharedRate::Account(qint64 bytes) {
    const qint64 limit = limit_.load();
    if (limit == 0 || bytes <= 0)
        return;
    std::lock_guard lock(mutex_);
    const Clock::time_point turn = std::max(nextFree_, Clock::now() - Burst);
    nextFree_ = turn + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(double(bytes) / double(limit)));
}

bool SharedRate::Take(qint64 bytes, const std::function<bool()>& stopped) {
    const qint64 limit = limit_.load();
    if (limit == 0 || bytes <= 0)
        return true;
    Clock::time_point turn;
    {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = Clock::now();
        turn = std::max(nextFree_, now - Burst);
        nextFree_ = turn + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(double(bytes) / double(limit)));
    }
    for (;;) {
        const quint64 generation = StopWakeup::Generation();
        if (stopped && stopped())
            return false;
        const Clock::time_point now = Clock::now();
        if (now >= turn)
            return true;
        const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(turn - now);
        StopWakeup::WaitFor(generation, std::clamp(rest + std::chrono::milliseconds(1),
                                                   std::chrono::milliseconds(1), std::chrono::milliseconds(50)));
    }
}

} // namespace Tarnwick
