#include "scriptedserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

ScriptedServer::ScriptedServer(QList<QByteArray> answers)
    : answers_(std::move(answers)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
    // Unblocks a pending accept.
    shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        close(listener_);
}

void ScriptedServer::Serve() {
    for (const QByteArray& answer : answers_) {
        const int connection = accept(listener_, nullptr, nullptr);
        if (connection < 0)
            return;
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n")) {
            const ssize_t got = read(connection, buffer, sizeof buffer);
            if (got <= 0)
                break;
            request.append(buffer, got);
        }
        requests_ << request;
        for (qsizetype sent = 0; sent < answer.size();) {
            const ssize_t put = write(connection, answer.constData() + sent, size_t(answer.size() - sent));
            if (put <= 0)
                break;
            sent += put;
        }
        close(connection);
    }
}
