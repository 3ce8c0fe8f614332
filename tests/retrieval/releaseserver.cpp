#include "releaseserver.h"

#include <httplib.h>

#include <chrono>

ReleaseServer::ReleaseServer()
    : server_(std::make_unique<httplib::Server>()) {
    server_->Get(
        R"(/download/([^/]+))", [this](const httplib::Request& request, httplib::Response& response) {
            const QString name = QString::fromStdString(request.matches[1]);
            File file;
            {
                std::lock_guard lock(mutex_);
                const auto found = files_.find(name);
                if (found == files_.end()) {
                    response.status = 404;
                    return;
                }
                ++found->requests;
                file = *found;
            }
            const auto body = std::make_shared<QByteArray>(file.body);
            switch (file.delivery) {
            case Delivery::Whole:
                response.set_content(body->constData(), size_t(body->size()), "application/octet-stream");
                break;
            case Delivery::ServerError:
                response.status = 500;
                break;
            case Delivery::CutShort:
                // Announces the whole length, sends half and closes the connection.
                response.set_content_provider(size_t(body->size()), "application/octet-stream",
                                              [body](size_t offset, size_t, httplib::DataSink& sink) {
                                                  const size_t half = size_t(body->size()) / 2;
                                                  if (offset < half)
                                                      sink.write(body->constData() + offset, half - offset);
                                                  return offset < half;
                                              });
                break;
            case Delivery::Trickle:
                // A kilobyte every 100 ms: long enough for a stop to land in the middle.
                response.set_content_provider(size_t(body->size()), "application/octet-stream",
                                              [body](size_t offset, size_t, httplib::DataSink& sink) {
                                                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                                  const size_t piece =
                                                      std::min<size_t>(1024, size_t(body->size()) - offset);
                                                  return sink.write(body->constData() + offset, piece);
                                              });
                break;
            }
        });
}

ReleaseServer::~ReleaseServer() {
    server_->stop();
    if (thread_ && thread_->joinable())
        thread_->join();
}

bool ReleaseServer::Start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        return false;
    thread_ = std::make_unique<std::thread>([this] { server_->listen_after_bind(); });
    return true;
}

QString ReleaseServer::BaseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/download/").arg(port_);
}

void ReleaseServer::Put(const QString& name, const QByteArray& body, Delivery delivery) {
    std::lock_guard lock(mutex_);
    files_[name] = File{body, delivery, 0};
}

void ReleaseServer::Remove(const QString& name) {
    std::lock_guard lock(mutex_);
    files_.remove(name);
}

int ReleaseServer::RequestCount(const QString& name) const {
    std::lock_guard lock(mutex_);
    return files_.value(name).requests;
}
