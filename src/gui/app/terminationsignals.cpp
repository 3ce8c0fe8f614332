#include "terminationsignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace Tarnwick {

#ifdef Q_OS_UNIX

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int signalNumber) {
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    // A full pipe already holds a wake-up; nothing more to do.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent) {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::ReadPipe);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::ReadPipe() {
    char bytes[16];
    ssize_t count = 0;
    while ((count = ::read(signalPipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            received_ = true;
            emit Arrived(int(bytes[i]));
        }
    }
}

#else

// Windows ends a program through window messages, which Qt turns into close events already.
TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent) {}
TerminationSignals::~TerminationSignals() = default;
void TerminationSignals::ReadPipe() {}

#endif

} // namespace Tarnwick
