#pragma once

#include "app/commandline.h"

#include <QLocalServer>
#include <QObject>

namespace Tarnwick {

// One window per user and settings: a second start hands its addresses and folder to the
// window that runs already, over a local socket only this user can open, and ends. A socket
// left behind by a window that crashed is recognised (nobody answers on it) and replaced.
class SingleWindow : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        HandedOver, // the running window holds the addresses; this start ends
        Listening,  // this start is the window; later starts hand theirs to it
        Alone,      // this start is a window, but later starts cannot reach it
    };

    explicit SingleWindow(QObject* parent = nullptr);

    // Hands args to the window that runs, or, when none does, listens for later starts.
    Outcome HandOverOrListen(const CommandLineArgs& args);
    // Why the last call came out Alone, for a line on the error output.
    QString Problem() const { return problem_; }

signals:
    // A later start's addresses and folder; emitted from the event loop after it was told
    // they were taken, so that a question the window asks cannot hold the other start up.
    void Arrived(const Tarnwick::CommandLineArgs& args);

private:
    bool HandOver(const QString& name, const CommandLineArgs& args, bool& windowAnswered);
    void TakeConnection();

    QLocalServer server_;
    QString problem_;
};

} // namespace Tarnwick
