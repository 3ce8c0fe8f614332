#pragma once

#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace VideoService {

// A service for signed-in visitors only: with a cookie named, every answer but /cookies-seen is
// 403 Forbidden unless the request carries that cookie ("name=value"). /cookies-seen lists every
// Cookie header the service was sent, one a line, so that a test can see what went where.
class MembersOnly {
public:
    explicit MembersOnly(std::string cookie)
        : cookie_(std::move(cookie)) {}

    // Answers the request when it is refused; false lets the routes answer it.
    bool Refuses(const httplib::Request& request, httplib::Response& response) const;
    void InstallRoutes(httplib::Server& server) const;

private:
    std::string cookie_;
};

} // namespace VideoService
