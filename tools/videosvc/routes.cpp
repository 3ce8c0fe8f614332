#include "routes.h"

#include "bodycount.h"

#include "pages.h"
#include "percentencode.h"
#include "resumefaults.h"
#include "streams.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace VideoService {

namespace {

// The video whose files stand in for the stream of every fault page.
const std::string SampleId = "sample";
const std::string EncodedTitle =
    "Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu \xE2\x80\x93 5 \xE2\x82\xAC \xF0\x9F\x8E\xAC";
constexpr int RedirectHops = 3;
constexpr int64_t HugePageBytes = 17 << 20;
constexpr int64_t SlowBytesPerSecond = 64 * 1024;
constexpr int64_t StallAfterBytes = 64 * 1024;
constexpr int64_t PatternStandIn = 300 * 1024;
constexpr int64_t RetryAfterSeconds = 1;
constexpr unsigned char ChangedContent = 0x5A;

bool IsFault(const std::string& id) {
    return id.rfind("fault-", 0) == 0;
}

bool FileExists(const std::string& path) {
    return std::ifstream(path, std::ios::binary).good();
}

bool ReadFile(const std::string& path, std::string& contents) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream text;
    text << file.rdbuf();
    contents = text.str();
    return true;
}

int64_t FileLength(const std::string& path, int64_t fallback) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    return file ? static_cast<int64_t>(file.tellg()) : fallback;
}

std::string TitleOf(const Library& library, const std::string& id) {
    std::string title;
    if (!ReadFile(library.mediaFolder + "/" + id + ".title", title))
        return id;
    while (!title.empty() && (title.back() == '\n' || title.back() == '\r'))
        title.pop_back();
    return title;
}

void SendError(httplib::Response& response, int status) {
    // The error body carries an argument block of its own: a client that parses it anyway is caught.
    response.status = status;
    response.set_content("<html><head><title>Error " + std::to_string(status) +
                             "</title></head><body>var swfArgs = {\"video_id\": \"error\"}</body></html>",
                         "text/html");
}

// Redirects to the same request with the next hop number until hops have been made.
bool RedirectHop(const httplib::Request& request, httplib::Response& response, int hops) {
    const int64_t hop = NumberParam(request, "hop", 0);
    if (hops >= 0 && hop >= hops)
        return false;
    std::string target = request.path + "?";
    for (const auto& [name, value] : request.params)
        if (name != "hop")
            target += name + "=" + PercentEncode(value) + "&";
    response.set_redirect(target + "hop=" + std::to_string(hop + 1));
    return true;
}

void ServeWatchPage(const Library& library, const httplib::Request& request, httplib::Response& response) {
    const std::string id = request.get_param_value("v");
    std::string page;
    if (ReadFile(library.mediaFolder + "/" + id + ".html", page)) {
        response.set_content(page, "text/html");
        return;
    }
    if (id == "fault-page-404")
        return SendError(response, 404);
    if (id == "fault-page-500")
        return SendError(response, 500);
    if (id == "fault-page-redirect" && RedirectHop(request, response, RedirectHops))
        return;
    if (id == "fault-empty")
        return response.set_content("", "text/html");

    const std::string title = IsFault(id) ? "Sample " + id : TitleOf(library, id);
    if (!IsFault(id) && !FileExists(library.mediaFolder + "/" + id + ".flv") &&
        !FileExists(library.mediaFolder + "/" + id + ".mp4"))
        return SendError(response, 404);

    if (id == "fault-noargs")
        page = "<html><head><title>YouTube - " + title + "</title></head><body>No player here.</body></html>";
    else if (id == "fault-emptyargs")
        page = "<html><head><title>YouTube - " + title +
               "</title></head><body><script>var swfArgs = {};"
               "</script></body></html>";
    else if (id == "fault-notitle")
        page = "<html><head></head><body><script>var swfArgs = {\"video_id\": \"" + id + "\", \"t\": \"" +
               TokenFor(id) + "\"};</script></body></html>";
    else if (id == "fault-huge")
        page = WatchPage(id, title) + "<!--" + std::string(static_cast<size_t>(HugePageBytes), 'x') + "-->";
    else if (id == "fault-utf8")
        page = WatchPage(id, EncodedTitle);
    else if (id == "fault-utf8bom")
        page = "\xEF\xBB\xBF" + WatchPage(id, EncodedTitle);
    else if (id == "fault-utf16le")
        page = ToUtf16(WatchPage(id, EncodedTitle), false, true);
    else if (id == "fault-utf16be")
        page = ToUtf16(WatchPage(id, EncodedTitle), true, true);
    else if (id == "fault-cp1252")
        page = ToWindows1252(WatchPage(id, EncodedTitle));
    else if (IsFault(id))
        // Each fetch of a fault page starts a download of its own, with faults met afresh.
        page = WatchPage(id, title, DownloadToken(TokenFor(id)));
    else
        page = WatchPage(id, title);
    response.set_content(page, "text/html");
}

void ServeStream(const Library& library, const httplib::Request& request, httplib::Response& response) {
    const std::string id = request.get_param_value("video_id");
    const std::string token = request.get_param_value("t");
    if (!TokenMatches(token, TokenFor(id)))
        return SendError(response, 403);
    if (id == "fault-stream-503" && FailsThisTime(token, 1))
        return SendRetryLater(response, 503, RetryAfterSeconds, false);
    if (id == "fault-stream-429" && FailsThisTime(token, 1))
        return SendRetryLater(response, 429, RetryAfterSeconds, true);
    if (id == "fault-stream-404")
        return SendError(response, 404);
    if (id == "fault-stream-500")
        return SendError(response, 500);
    if (id == "fault-redirect" && RedirectHop(request, response, RedirectHops))
        return;
    if (id == "fault-redirect-loop" && RedirectHop(request, response, -1))
        return;
    if (id == "fault-redirect-ftp")
        return response.set_redirect("ftp://127.0.0.1:" + std::to_string(library.port) + "/sample.flv");

    const bool mp4 = request.get_param_value("fmt") == "18";
    const std::string fileId = IsFault(id) ? SampleId : id;
    const std::string path = library.mediaFolder + "/" + fileId + (mp4 ? ".mp4" : ".flv");
    const std::string type = mp4 ? "video/mp4" : "video/x-flv";

    Delivery delivery;
    const int64_t length = FileLength(path, PatternStandIn);
    ResumeFaults faults;
    if (id == "fault-cut" || id == "fault-cut-norange" || id == "fault-cut-etag")
        faults.cutFirst = length / 2;
    faults.ignoreRange = id == "fault-cut-norange";
    faults.changeEtag = id == "fault-cut-etag";
    faults.once = token;
    ApplyResumeFaults(request, faults, delivery);
    if (id == "fault-chunked")
        delivery.chunked = true;
    else if (id == "fault-stall")
        delivery.stallAfter = std::min(StallAfterBytes, length / 2);
    else if (id == "fault-slow")
        delivery.bytesPerSecond = SlowBytesPerSecond;
    else if (id == "fault-short")
        delivery.cutAfter = length / 2;
    if (SendFile(response, path, type, delivery))
        return;
    if (!IsFault(id))
        return SendError(response, 404);
    // Without the sample files the faults still have a body to misbehave with.
    SendPattern(response, PatternStandIn, delivery);
}

void ServeBytes(const httplib::Request& request, httplib::Response& response) {
    const int64_t failures = NumberParam(request, "times", 1);
    if (request.has_param("fail") && FailsThisTime(request.get_param_value("key"), failures)) {
        const int status = static_cast<int>(NumberParam(request, "fail", 503));
        if (!request.has_param("after"))
            return SendError(response, status);
        return SendRetryLater(response, status, NumberParam(request, "after", 0),
                              NumberParam(request, "date", 0) != 0);
    }
    Delivery delivery;
    ResumeFaults faults;
    faults.cutFirst = NumberParam(request, "cutfirst", -1);
    faults.once = request.get_param_value("key");
    faults.ignoreRange = request.get_param_value("range") == "ignore";
    faults.changeEtag = request.get_param_value("etag") == "change";
    faults.changedContent = ChangedContent;
    delivery.chunked = NumberParam(request, "chunked", 0) != 0;
    delivery.cutAfter = NumberParam(request, "cut", -1);
    delivery.stallAfter = NumberParam(request, "stall", -1);
    delivery.bytesPerSecond = NumberParam(request, "rate", 0);
    delivery.counted = BodyCount::Begin(SiteOfHostHeader(request.get_header_value("Host")), request.target);
    ApplyResumeFaults(request, faults, delivery);
    SendPattern(response, NumberParam(request, "n", 0), delivery);
}

} // namespace

void InstallRoutes(httplib::Server& server, const Library& library) {
    server.Get("/watch", [&library](const httplib::Request& request, httplib::Response& response) {
        ServeWatchPage(library, request, response);
    });
    server.Get("/get_video", [&library](const httplib::Request& request, httplib::Response& response) {
        ServeStream(library, request, response);
    });
    // "/bytes/<name>" serves the same, under a file name of its own.
    server.Get(R"(/bytes(/[A-Za-z0-9._-]+)?)", ServeBytes);
    server.Get("/busiest", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(BodyCount::Report(), "text/plain");
        if (request.has_param("reset"))
            BodyCount::Reset();
    });
    server.Get("/status", [](const httplib::Request& request, httplib::Response& response) {
        SendError(response, static_cast<int>(NumberParam(request, "code", 500)));
    });
    server.Get("/redirect", [](const httplib::Request& request, httplib::Response& response) {
        if (!RedirectHop(request, response, static_cast<int>(NumberParam(request, "hops", 1))))
            response.set_redirect(request.get_param_value("to"));
    });
}

const char* FaultModeList() {
    return "  fault-page-404, fault-page-500   the watch page answers 404 / 500\n"
           "  fault-page-redirect              the watch page is reached through 3 redirects\n"
           "  fault-empty                      the watch page is empty\n"
           "  fault-noargs, fault-emptyargs    the page has no argument block / an empty one\n"
           "  fault-notitle                    the page has no title element\n"
           "  fault-huge                       the page is 17 MiB long\n"
           "  fault-utf8, fault-utf8bom        the page is UTF-8 without / with a byte-order mark\n"
           "  fault-utf16le, fault-utf16be     the page is UTF-16 (with its mark)\n"
           "  fault-cp1252                     the page is Windows-1252\n"
           "  fault-stream-404, fault-stream-500  the stream answers 404 / 500\n"
           "  fault-short                      every answer of the stream ends at half its Content-Length\n"
           "  fault-cut                        the stream is cut at half once per download; Range continues "
           "it\n"
           "  fault-cut-norange                ... and a Range request gets 200 and the whole stream\n"
           "  fault-cut-etag                   ... and a Range request meets a new ETag\n"
           "  fault-stream-503                 the stream answers 503 with Retry-After: 1 once per download\n"
           "  fault-stream-429                 the stream answers 429 with Retry-After as a date once per "
           "download\n"
           "  fault-stall                      the stream stops sending after 64 KiB (or half the file)\n"
           "  fault-slow                       the stream comes at 64 KiB/s\n"
           "  fault-chunked                    the stream has no Content-Length\n"
           "  fault-redirect                   the stream is reached through 3 redirects\n"
           "  fault-redirect-loop              the stream redirects for ever\n"
           "  fault-redirect-ftp               the stream redirects to an ftp address\n";
}

} // namespace VideoService
