#include "versionedbody.h"

#include "resumefaults.h"
#include "streams.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace VideoService {

namespace {

std::atomic<int64_t> version{1};
const auto bytesServed = std::make_shared<std::atomic<int64_t>>(0);
std::mutex logMutex;
std::vector<std::string> requestLog;

std::string EtagOf(int64_t bodyVersion) {
    return "\"ver-" + std::to_string(bodyVersion) + "\"";
}

// Every byte of a later version differs from the one before (never XOR 0).
unsigned char FlipOf(int64_t bodyVersion) {
    return bodyVersion <= 1 ? 0 : static_cast<unsigned char>(((bodyVersion - 1) * 0x3B) | 1);
}

void ServeVersioned(const httplib::Request& request, httplib::Response& response) {
    const std::string range = request.get_header_value("Range");
    const std::string ifRange = request.get_header_value("If-Range");
    {
        const std::lock_guard<std::mutex> lock(logMutex);
        requestLog.push_back(range + "|" + ifRange);
    }
    const int64_t current = version;
    Delivery delivery;
    delivery.etag = EtagOf(current);
    delivery.flip = FlipOf(current);
    delivery.bytesPerSecond = NumberParam(request, "rate", 0);
    delivery.sentCounter = bytesServed;
    const int64_t rangeStart = TakeRangeStart(request);
    // A careful server: the rest of a body only while the client's copy is of this version.
    if (rangeStart >= 0 && (ifRange.empty() || ifRange == delivery.etag))
        delivery.rangeStart = rangeStart;
    // A connection that breaks while the whole body is sent; the rest can still be asked for.
    if (rangeStart < 0)
        delivery.cutAfter = NumberParam(request, "cutfirst", -1);
    // Typed as a video, so that a download takes it as the media file it stands for.
    SendPattern(response, NumberParam(request, "n", 0), delivery, "video/mp4");
}

} // namespace

void InstallVersionedRoutes(httplib::Server& server) {
    // A name after the path gives the downloaded file its name.
    server.Get(R"(/versioned(/[A-Za-z0-9._-]+)?)", ServeVersioned);
    server.Get("/version", [](const httplib::Request& request, httplib::Response& response) {
        if (request.has_param("set"))
            version = std::max<int64_t>(1, NumberParam(request, "set", 1));
        response.set_content(std::to_string(version.load()) + "\n", "text/plain");
    });
    server.Get("/served", [](const httplib::Request&, httplib::Response& response) {
        std::string text = "bytes " + std::to_string(bytesServed->load()) + "\n";
        const std::lock_guard<std::mutex> lock(logMutex);
        for (const std::string& line : requestLog)
            text += line + "\n";
        response.set_content(text, "text/plain");
    });
}

const char* VersionedRouteList() {
    return "  /versioned?n=N[&rate=B][&cutfirst=K] N bytes as version K of the body, ETag \"ver-K\"; Range\n"
           "                                     honoured while If-Range names version K; cutfirst cuts\n"
           "                                     a request without Range after K bytes\n"
           "  /version[?set=K]                   the versioned bodies' version (set: switch to K)\n"
           "  /served                            bytes the versioned bodies sent, then each request's\n"
           "                                     Range|If-Range\n";
}

} // namespace VideoService
