#include "singlewindow.h"

#include "app/windowhandoff.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QTimer>

namespace Tarnwick {

namespace {

// The running window answers from its event loop, which a slow start-up (a sleeping disk, the
// engine loading) may hold up for a while; a window that took longer is taken as hung.
constexpr int AnswerWaitMs = 10000;
// A hand-off is a line of addresses; anything longer is not one.
constexpr qint64 LongestHandOff = 4 * 1024 * 1024;
constexpr int ReadWaitMs = 5000;

} // namespace

SingleWindow::SingleWindow(QObject* parent)
    : QObject(parent) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (server_.hasPendingConnections())
            TakeConnection();
    });
}

SingleWindow::Outcome SingleWindow::HandOverOrListen(const CommandLineArgs& args) {
    problem_.clear();
    const QString name = WindowSocketName();
    // Two starts at once must not both find no window and replace each other's socket.
    QLockFile lock(name + QStringLiteral(".lock"));
    lock.tryLock(3000);
    bool windowAnswered = false;
    if (HandOver(name, args, windowAnswered))
        return Outcome::HandedOver;
    if (windowAnswered) {
        // A window holds the socket but did not take the addresses: this start shows them in
        // a window of its own rather than lose them, and leaves the socket to its owner.
        return Outcome::Alone;
    }
    // Nobody listens: the socket, if any, is a crashed window's.
    QLocalServer::removeServer(name);
    if (server_.listen(name))
        return Outcome::Listening;
    problem_ =
        QStringLiteral("Later starts cannot reach this window (%1): %2").arg(name, server_.errorString());
    return Outcome::Alone;
}

bool SingleWindow::HandOver(const QString& name, const CommandLineArgs& args, bool& windowAnswered) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000))
        return false;
    windowAnswered = true;
    socket.write(EncodeHandOff(WithAbsoluteFolder(args)));
    QByteArray answer;
    const QDeadlineTimer deadline(AnswerWaitMs);
    while (!answer.endsWith('\n') && !deadline.hasExpired()) {
        if (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(int(deadline.remainingTime()));
        else if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        answer += socket.readAll();
    }
    if (answer == HandOffTaken)
        return true;
    problem_ = QStringLiteral("The Tarnwick window that runs already did not take the addresses; "
                              "they open in a window of their own.");
    return false;
}

void SingleWindow::TakeConnection() {
    QPointer<QLocalSocket> socket = server_.nextPendingConnection();
    if (socket == nullptr)
        return;
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A start that connects and says nothing is ended, not waited for.
    QTimer::singleShot(ReadWaitMs, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (socket->bytesAvailable() > LongestHandOff) {
            socket->abort();
            return;
        }
        if (!socket->canReadLine())
            return;
        const std::optional<CommandLineArgs> args = DecodeHandOff(socket->readLine(LongestHandOff));
        if (!args) {
            socket->abort();
            return;
        }
        socket->write(HandOffTaken);
        socket->flush();
        socket->disconnectFromServer();
        QTimer::singleShot(0, this, [this, handed = *args] { emit Arrived(handed); });
    });
}

} // namespace Tarnwick
