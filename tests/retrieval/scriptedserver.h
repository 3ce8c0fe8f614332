#pragma once

#include <QByteArray>
#include <QList>
#include <thread>

// A loopback server that answers each connection with the next prepared byte string and then
// closes it, for cut positions the sample service cannot produce (inside the headers). It
// keeps the requests it read.
class ScriptedServer {
public:
    explicit ScriptedServer(QList<QByteArray> answers);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return port_; }
    // The requests read so far; call after the client is done.
    QList<QByteArray> Requests() const { return requests_; }

private:
    void Serve();

    QList<QByteArray> answers_;
    QList<QByteArray> requests_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};
