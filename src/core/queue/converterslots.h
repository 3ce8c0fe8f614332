#pragma once

#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace Tarnwick {

class ProgressSink;

// The conversions a run allows at once: they are bound by the processor, and more of them
// than it has cores only make each slower. A job whose download is done waits here for a slot,
// and says so, while the downloads of other jobs go on.
class ConverterSlots {
public:
    explicit ConverterSlots(int count);

    // Holds a slot while it lives, from a wait that ends when one is free or stopped() says so.
    class Turn {
    public:
        // sink hears "Waiting for the converter..." while the wait lasts, when it lasts; a null
        // pool gives a turn at once.
        Turn(ConverterSlots* pool, ProgressSink* sink, const std::function<bool()>& stopped);
        // The same, stopped when the sink says it is cancelled.
        Turn(ConverterSlots* pool, ProgressSink* sink);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        // False when a stop ended the wait.
        bool Taken() const { return taken_; }

    private:
        ConverterSlots* slots_;
        bool taken_ = false;
    };

private:
    bool Acquire(ProgressSink* sink, const std::function<bool()>& stopped);
    void Release();

    int free_;
    std::mutex mutex_;
    std::condition_variable freed_;
};

// As many conversions at once as the machine has cores, and at least one.
int ConvertersAtOnce();

// The status text of a job that waits for a conversion slot.
QString WaitingForConverterText();

} // namespace Tarnwick
