#include "interruptwaker.h"

#include "queue/stopwakeup.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The pipe's two ends; -1 while no waker lives.
int readEnd = -1;
volatile int writeEnd = -1;

} // namespace

InterruptWaker::InterruptWaker() {
#ifndef _WIN32
    int ends[2];
    if (pipe(ends) != 0)
        return;
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    // A handler never blocks on a full pipe: one byte waiting is enough to wake.
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    readEnd = ends[0];
    writeEnd = ends[1];
    waiter_ = std::thread([] {
        char byte = 0;
        // Each byte is a stop; the end of the file is this object going.
        while (read(readEnd, &byte, 1) == 1)
            Tarnwick::StopWakeup::WakeAll();
    });
#endif
}

InterruptWaker::~InterruptWaker() {
#ifndef _WIN32
    if (!waiter_.joinable())
        return;
    const int end = writeEnd;
    writeEnd = -1;
    close(end);
    waiter_.join();
    close(readEnd);
    readEnd = -1;
#endif
}

void InterruptWaker::Notify() {
#ifndef _WIN32
    const int end = writeEnd;
    if (end >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(end, &byte, 1);
    }
#endif
}
