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

SharedRate::Clock::time_point SharedRate::TurnOf(Taker& taker, qint64 bytes, qint64 limit) {
    const Clock::time_point now = Clock::now();
    taker.lastSeen_ = now;
    int sharing = 0;
    for (const Taker* other : takers_)
        sharing += now - other->lastSeen_ < Idle ? 1 : 0;
    const auto timeOf = [](qint64 count, qint64 perSecond) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(count) / double(perSecond)));
    };
    const Clock::time_point fromNow = now - Burst;
    const Clock::time_point shared = std::max(nextFree_, fromNow);
    nextFree_ = shared + timeOf(bytes, limit);
    const Clock::time_point own = std::max(taker.next_, fromNow);
    taker.next_ = own + timeOf(bytes, qMax<qint64>(1, limit / qMax(1, sharing)));
    return std::max(shared, own);
}

SharedRate::Taker::Taker(SharedRate* rate)
    : rate_(rate) {
    if (rate_ == nullptr)
        return;
    std::lock_guard lock(rate_->mutex_);
    next_ = lastSeen_ = Clock::now();
    rate_->takers_.push_back(this);
}

SharedRate::Taker::~Taker() {
    if (rate_ == nullptr)
        return;
    std::lock_guard lock(rate_->mutex_);
    std::erase(rate_->takers_, this);
}

bool SharedRate::Taker::Take(qint64 bytes, const std::function<bool()>& stopped) {
    const qint64 limit = rate_ != nullptr ? rate_->limit_.load() : 0;
    if (limit == 0 || bytes <= 0)
        return true;
    Clock::time_point turn;
    {
        std::lock_guard lock(rate_->mutex_);
        turn = rate_->TurnOf(*this, bytes, limit);
    }
    for (;;) {
        const quint64 generation = StopWakeup::Generation();
        if (stopped && stopped())
            return false;
        const Clock::time_point now = Clock::now();
        if (now >= turn)
            return true;
        const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(turn - now);
        StopWakeup::WaitFor(generation,
                            std::clamp(rest + std::chrono::milliseconds(1), std::chrono::milliseconds(1),
                                       std::chrono::milliseconds(50)));
    }
}

} // namespace Tarnwick
