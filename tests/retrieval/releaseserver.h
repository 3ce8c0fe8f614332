#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
}

// A stand-in for yt-dlp's release address on a loopback port: serves the files it is given
// under /download/<name>, each whole, cut short, as an error or trickling slowly.
class ReleaseServer {
public:
    enum class Delivery { Whole, CutShort, ServerError, Trickle };

    ReleaseServer();
    ~ReleaseServer();
    ReleaseServer(const ReleaseServer&) = delete;
    ReleaseServer& operator=(const ReleaseServer&) = delete;

    bool Start();
    // The base address, ending in '/', to give the updater.
    QString BaseUrl() const;
    void Put(const QString& name, const QByteArray& body, Delivery delivery = Delivery::Whole);
    void Remove(const QString& name);
    int RequestCount(const QString& name) const;

private:
    struct File {
        QByteArray body;
        Delivery delivery = Delivery::Whole;
        int requests = 0;
    };
    std::unique_ptr<httplib::Server> server_;
    std::unique_ptr<std::thread> thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    QHash<QString, File> files_;
};
