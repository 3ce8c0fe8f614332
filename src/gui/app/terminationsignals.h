#pragma once

#include <QObject>

class QSocketNotifier;

namespace Tarnwick {

// SIGTERM and SIGHUP (the session ends, the system shuts down) brought into the Qt event loop,
// so that they can be handled like the window's Close: a signal handler may do next to
// nothing, so it only writes the signal's number into a pipe that the loop watches. One
// object per process; the handlers stay installed for the rest of the process, so that a
// signal during the final save does not cut it short.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Whether a signal has arrived, even one delivered before anybody was connected.
    bool Received() const { return received_; }

signals:
    void Arrived(int signalNumber);

private:
    void ReadPipe();

    QSocketNotifier* notifier_ = nullptr;
    bool received_ = false;
};

} // namespace Tarnwick
