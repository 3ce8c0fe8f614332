#include "converterslots.h"

#include "progresssink.h"

#include <QThread>
#include <QtGlobal>
#include <chrono>

namespace Tarnwick {

QString WaitingForConverterText() {
    return QStringLiteral("Waiting for the converter...");
}

int ConvertersAtOnce() {
    return qMax(1, QThread::idealThreadCount());
}

ConverterSlots::ConverterSlots(int count)
    : free_(qMax(1, count)) {}

bool ConverterSlots::Acquire(ProgressSink* sink, const std::function<bool()>& stopped) {
    std::unique_lock lock(mutex_);
    bool announced = false;
    while (free_ == 0) {
        if (!announced && sink != nullptr) {
            announced = true;
            lock.unlock();
            sink->Status(ProgressSink::StatusWaiting, WaitingForConverterText());
            lock.lock();
            continue;
        }
        if (stopped && stopped())
            return false;
        // A stop comes without a notification on this condition: it is looked at every 50 ms.
        freed_.wait_for(lock, std::chrono::milliseconds(50));
    }
    --free_;
    lock.unlock();
    if (announced)
        sink->Status(ProgressSink::StatusWaiting, QString());
    return true;
}

void ConverterSlots::Release() {
    {
        std::lock_guard lock(mutex_);
        ++free_;
    }
    freed_.notify_one();
}

ConverterSlots::Turn::Turn(ConverterSlots* pool, ProgressSink* sink, const std::function<bool()>& stopped)
    : slots_(pool) {
    taken_ = slots_ == nullptr || slots_->Acquire(sink, stopped);
}

ConverterSlots::Turn::Turn(ConverterSlots* pool, ProgressSink* sink)
    : Turn(pool, sink, [sink] { return sink != nullptr && sink->IsCancelled() != 0; }) {}

ConverterSlots::Turn::~Turn() {
    if (slots_ != nullptr && taken_)
        slots_->Release();
}

} // namespace Tarnwick
