#include "stopwakeup.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

namespace Tarnwick::StopWakeup {

namespace {

struct Waiters {
    std::mutex mutex;
    std::condition_variable woken;
    // Written under the lock, read without it on every wait of a transfer.
    std::atomic<quint64> generation{0};
    quint64 nextId = 0;
    std::map<quint64, std::function<void()>> registered;
};

Waiters& Shared() {
    static Waiters waiters;
    return waiters;
}

} // namespace

void WakeAll() {
    Waiters& waiters = Shared();
    std::lock_guard lock(waiters.mutex);
    ++waiters.generation;
    // Called under the lock, so that a registration cannot end (and its handle go) meanwhile.
    for (const auto& entry : waiters.registered)
        entry.second();
    waiters.woken.notify_all();
}

Registration::Registration(std::function<void()> wake) {
    Waiters& waiters = Shared();
    std::lock_guard lock(waiters.mutex);
    id_ = waiters.nextId++;
    waiters.registered.emplace(id_, std::move(wake));
}

Registration::~Registration() {
    Waiters& waiters = Shared();
    std::lock_guard lock(waiters.mutex);
    waiters.registered.erase(id_);
}

quint64 Generation() {
    return Shared().generation.load();
}

bool WaitFor(quint64 generation, std::chrono::milliseconds timeout) {
    Waiters& waiters = Shared();
    std::unique_lock lock(waiters.mutex);
    return waiters.woken.wait_for(lock, timeout, [&] { return waiters.generation != generation; });
}

} // namespace Tarnwick::StopWakeup
