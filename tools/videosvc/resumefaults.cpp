#include "resumefaults.h"

#include <atomic>
#include <ctime>
#include <map>
#include <mutex>

namespace VideoService {

int64_t TakeRangeStart(const httplib::Request& request) {
    // The request object is the server's own, passed on read-only; clearing the ranges it
    // parsed is what keeps the library from cutting the body a second time.
    const_cast<httplib::Request&>(request).ranges.clear();
    if (!request.has_header("Range"))
        return -1;
    const std::string value = request.get_header_value("Range");
    const std::string prefix = "bytes=";
    if (value.rfind(prefix, 0) != 0 || value.find(',') != std::string::npos)
        return -1;
    try {
        size_t used = 0;
        const int64_t start = std::stoll(value.substr(prefix.size()), &used);
        return start >= 0 && value[prefix.size() + used] == '-' ? start : -1;
    } catch (...) {
        return -1;
    }
}

void ApplyResumeFaults(const httplib::Request& request, const ResumeFaults& faults, Delivery& delivery) {
    const int64_t rangeStart = TakeRangeStart(request);
    const std::string firstTag = "\"v1\"";
    const std::string changedTag = "\"v2\"";
    if (rangeStart < 0) {
        if (faults.cutFirst >= 0 && (faults.once.empty() || FailsThisTime("cut " + faults.once, 1)))
            delivery.cutAfter = faults.cutFirst;
        if (faults.changeEtag)
            delivery.etag = firstTag;
        return;
    }
    if (faults.ignoreRange)
        return;
    if (faults.changeEtag) {
        delivery.etag = changedTag;
        delivery.flip = faults.changedContent;
        if (request.has_header("If-Range") && request.get_header_value("If-Range") != changedTag)
            return;
    }
    delivery.rangeStart = rangeStart;
}

bool FailsThisTime(const std::string& key, int64_t times) {
    static std::mutex mutex;
    static std::map<std::string, int64_t> seen;
    const std::lock_guard<std::mutex> lock(mutex);
    return seen[key]++ < times;
}

void SendRetryLater(httplib::Response& response, int status, int64_t seconds, bool asDate) {
    response.status = status;
    if (asDate) {
        const std::time_t when = std::time(nullptr) + static_cast<std::time_t>(seconds);
        std::tm parts{};
        gmtime_r(&when, &parts);
        char text[64];
        std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
        response.set_header("Retry-After", text);
    } else {
        response.set_header("Retry-After", std::to_string(seconds));
    }
    response.set_content("Busy, come back later", "text/plain");
}

std::string DownloadToken(const std::string& baseToken) {
    static std::atomic<int64_t> serial{0};
    return baseToken + "." + std::to_string(++serial);
}

bool TokenMatches(const std::string& token, const std::string& baseToken) {
    return token == baseToken || token.rfind(baseToken + ".", 0) == 0;
}

} // namespace VideoService
