#pragma once

#include <thread>

// Carries a stop from a signal handler to the transfers at once. A handler may only do what is
// async-signal-safe, and waking the transfers takes a lock; so the handler writes a byte into a
// pipe, and a thread of this object's own, blocked on the other end, wakes them. Without it a
// transfer would see the stop only at its next poll.
class InterruptWaker {
public:
    InterruptWaker();
    ~InterruptWaker();
    InterruptWaker(const InterruptWaker&) = delete;
    InterruptWaker& operator=(const InterruptWaker&) = delete;

    // Async-signal-safe: call it from the handler after the stop request is set.
    static void Notify();

private:
    std::thread waiter_;
};
