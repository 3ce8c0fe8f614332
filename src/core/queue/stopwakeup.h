#pragma once

#include <QtGlobal>
#include <chrono>
#include <functional>

namespace Tarnwick {

// Wakes what waits in this process for a stop request: transfers waiting on their sockets and
// retries waiting out their pause. Without it a wait would look at the request only when its
// timeout ran out, and Stop would take as long as that timeout.
namespace StopWakeup {

// Wakes every registered waiter and every WaitFor in progress. Any thread may call it, after
// it has set the stop request; not a signal handler, as it takes a lock.
void WakeAll();

// Keeps wake registered while it lives; WakeAll calls it, never after the destructor returned.
class Registration {
public:
    explicit Registration(std::function<void()> wake);
    ~Registration();
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

private:
    quint64 id_;
};

// Changes with every WakeAll. Read it before looking at the stop request, and hand it to
// WaitFor, so that a wake between the look and the wait is not missed.
quint64 Generation();
// Waits until timeout has passed or WakeAll was called since generation was read; true when
// woken.
bool WaitFor(quint64 generation, std::chrono::milliseconds timeout);

} // namespace StopWakeup

} // namespace Tarnwick
