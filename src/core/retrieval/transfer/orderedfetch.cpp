#include "orderedfetch.h"

#include "httptransfer.h"
#include "queue/progresssink.h"

#include <QBuffer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace Tarnwick {

namespace {

// What the lanes and the caller share; every field but stop is guarded by mutex.
struct SharedState {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> stop{false};
    int count = 0;
    int window = 1;
    int nextToFetch = 0;
    int nextToDeliver = 0;
    std::map<int, QByteArray> arrived;
    int failedIndex = -1;
    QString failure;
    QString waitingText;
    bool waitingChanged = false;

    // Records the first failure and stops everything else; later ones are its consequences.
    void Fail(int index, const QString& text) {
        if (failedIndex < 0 && !stop) {
            failedIndex = index;
            failure = text;
        }
        stop = true;
        changed.notify_all();
    }
};

// A lane's transfer reports here, on the lane's thread: the failure's reason is kept, the
// retry count-down is passed to the caller's thread, and the stop is the shared one.
class LaneSink : public ProgressSink {
public:
    explicit LaneSink(SharedState& shared)
        : shared_(shared) {}

    QString failure;

    int Begin() override { return 0; }
    int End() override { return 0; }
    int Progress(int, int) override { return 0; }
    int Status(int kind, const QString& text) override {
        if (kind == StatusResult) {
            failure = text;
        } else if (kind == StatusWaiting) {
            std::lock_guard lock(shared_.mutex);
            shared_.waitingText = text;
            shared_.waitingChanged = true;
        }
        return 0;
    }
    int IsCancelled() override { return shared_.stop ? 1 : 0; }

private:
    SharedState& shared_;
};

void RunLane(SharedState& shared, const QStringList& urls, const OrderedFetch::Settings& settings) {
    LaneSink sink(shared);
    HttpTransfer transfer;
    if (!transfer.OpenSession(&sink)) {
        std::lock_guard lock(shared.mutex);
        shared.Fail(shared.nextToFetch, sink.failure);
        return;
    }
    transfer.SetReadBufferSize(settings.readBufferSize);
    transfer.SetStallSeconds(settings.stallSeconds);
    transfer.SetRetries(settings.retries);
    transfer.SetRequestHeaders(settings.requestHeaders);
    transfer.SetNetwork(settings.network);
    std::unique_lock lock(shared.mutex);
    for (;;) {
        // A body is started only while fewer than `window` are pending, so that a slow one
        // early in the list cannot make the others pile up in memory.
        shared.changed.wait(lock, [&] {
            return shared.stop || shared.nextToFetch >= shared.count ||
                   shared.nextToFetch < shared.nextToDeliver + shared.window;
        });
        if (shared.stop || shared.nextToFetch >= shared.count)
            return;
        const int index = shared.nextToFetch++;
        lock.unlock();

        QByteArray body;
        QBuffer buffer(&body);
        buffer.open(QIODevice::WriteOnly);
        sink.failure.clear();
        const bool copied = transfer.CopyUrlToFile(urls[index], buffer);
        buffer.close();

        lock.lock();
        if (copied) {
            shared.arrived.emplace(index, std::move(body));
            shared.changed.notify_all();
        } else {
            // A transfer that was stopped says nothing; one that failed says why.
            shared.Fail(index, sink.failure);
        }
    }
}

} // namespace

OrderedFetch::Outcome OrderedFetch::Run(const QStringList& urls, const Settings& settings,
                                        const Deliver& deliver, const StopRequested& stopRequested,
                                        const Waiting& waiting) {
    Outcome outcome;
    SharedState shared;
    shared.count = int(urls.size());
    shared.window = qBound(1, settings.connections, MaxConnections);
    if (shared.count == 0) {
        outcome.complete = true;
        return outcome;
    }

    std::vector<std::thread> lanes;
    const int laneCount = qMin(shared.window, shared.count);
    for (int i = 0; i < laneCount; ++i)
        lanes.emplace_back(RunLane, std::ref(shared), std::cref(urls), std::cref(settings));

    std::unique_lock lock(shared.mutex);
    while (!shared.stop && shared.nextToDeliver < shared.count) {
        auto next = shared.arrived.find(shared.nextToDeliver);
        if (next != shared.arrived.end()) {
            QByteArray body = std::move(next->second);
            shared.arrived.erase(next);
            const int index = shared.nextToDeliver;
            lock.unlock();
            QString failure;
            const bool delivered = deliver(index, body, &failure);
            body = QByteArray(); // freed before a lane may fetch the next one
            // Asked after every body as well: several may be waiting, and a stop asked for
            // while the first is written must keep the next out of the file.
            const bool stopNow = delivered && index + 1 < shared.count && stopRequested && stopRequested();
            lock.lock();
            if (!delivered) {
                shared.Fail(index, failure);
                break;
            }
            ++shared.nextToDeliver;
            if (stopNow) {
                outcome.stopped = true;
                shared.stop = true;
            }
            shared.changed.notify_all();
            continue;
        }
        shared.changed.wait_for(lock, std::chrono::milliseconds(PollMilliseconds));
        const bool waitingChanged = std::exchange(shared.waitingChanged, false);
        const QString waitingText = shared.waitingText;
        lock.unlock();
        if (waitingChanged && waiting)
            waiting(waitingText);
        const bool stopNow = stopRequested && stopRequested();
        lock.lock();
        if (stopNow && !shared.stop) {
            outcome.stopped = true;
            shared.stop = true;
        }
    }
    outcome.complete = shared.nextToDeliver == shared.count;
    shared.stop = true;
    shared.changed.notify_all();
    outcome.failedIndex = shared.failedIndex;
    outcome.failure = shared.failure;
    lock.unlock();
    for (std::thread& lane : lanes)
        lane.join();
    return outcome;
}

} // namespace Tarnwick
