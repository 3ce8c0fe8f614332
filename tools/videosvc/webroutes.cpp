#include "webroutes.h"

#include "percentencode.h"
#include "resumefaults.h"
#include "streams.h"
#include "webpage.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace VideoService {

namespace {

namespace fs = std::filesystem;

// Segments in the playlist that is too long to be downloaded.
constexpr int HugePlaylistSegments = 100001;

std::string EscapeJson(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

std::string ContentTypeOf(const std::string& name) {
    const std::string extension = fs::path(name).extension().string();
    if (extension == ".mp4" || extension == ".m4s")
        return "video/mp4";
    if (extension == ".flv")
        return "video/x-flv";
    if (extension == ".ts")
        return "video/mp2t";
    if (extension == ".m3u8")
        return "application/vnd.apple.mpegurl";
    if (extension == ".mpd")
        return "application/dash+xml";
    if (extension == ".webm")
        return "video/webm";
    if (extension == ".html")
        return "text/html";
    return "application/octet-stream";
}

// The file under the media folder that a request path names; empty when it leaves the folder.
fs::path MediaPath(const Library& library, const std::string& relative) {
    const fs::path path = fs::path(relative).lexically_normal();
    if (relative.empty() || path.is_absolute() || path.begin() == path.end() || *path.begin() == "..")
        return {};
    return fs::path(library.mediaFolder) / path;
}

void NotFound(httplib::Response& response) {
    response.status = 404;
    response.set_content("<html><head><title>Not found</title></head><body>Not found</body></html>",
                         "text/html");
}

void ServeMedia(const Library& library, const std::string& relative, bool attachment,
                httplib::Response& response) {
    const fs::path path = MediaPath(library, relative);
    if (path.empty() || !fs::is_regular_file(path))
        return NotFound(response);
    std::string type = ContentTypeOf(path.string());
    if (attachment) {
        // The name the server suggests differs from the address: the title of the video.
        const std::string name = TitleOf(library, path.stem().string()) + path.extension().string();
        std::string plain;
        for (char c : name)
            plain += (static_cast<unsigned char>(c) < 0x80 && c != '"' && c != '\\') ? c : '_';
        response.set_header("Content-Disposition", "attachment; filename=\"" + plain +
                                                       "\"; filename*=UTF-8''" + PercentEncode(name));
        type = "application/octet-stream";
    }
    if (!SendFile(response, path.string(), type, Delivery()))
        NotFound(response);
}

std::string Html5Page(const Library& library, const std::string& id) {
    const std::vector<int> heights = RenditionHeights(library, id);
    // Listed neither by size nor against it, behind one source of a type that cannot be fetched
    // as a file, and relative to <base>: the page has to be read, not guessed.
    std::vector<int> order = heights;
    if (order.size() >= 3)
        std::rotate(order.begin(), order.begin() + 1, order.end());
    std::string sources = "  <source src=\"" + id + ".mpd\" type=\"application/dash+xml\">\n";
    for (int height : order)
        sources += "  <source src=\"" + id + "-" + std::to_string(height) +
                   ".mp4\" type='video/mp4; codecs=\"avc1.42E01E, mp4a.40.2\"' size=\"" +
                   std::to_string(height) + "\">\n";
    return PageHead(TitleOf(library, id), "<base href=\"/media/\">\n") +
           "<body>\n<!-- <video src=\"commented-out.mp4\"></video> -->\n<video controls width=\"640\">\n" +
           sources + "  Your browser does not play HTML5 video.\n</video>\n</body>\n</html>\n";
}

std::string OpenGraphPage(const Library& library, const std::string& id, const std::string& origin) {
    const std::string title = TitleOf(library, id);
    return PageHead("Open Graph page of the sample service",
                    "<meta property=\"og:type\" content=\"video.other\">\n"
                    "<meta property=\"og:title\" content=\"" +
                        EscapeHtml(title) +
                        "\">\n"
                        "<meta property=\"og:video\" content=\"" +
                        origin + "/media/" + id +
                        ".flv\">\n"
                        "<meta property=\"og:video:url\" content=\"" +
                        origin + "/media/" + id +
                        ".mp4\">\n"
                        "<meta property=\"og:video:type\" content=\"video/mp4\">\n") +
           "<body><p>" + EscapeHtml(title) + "</p></body>\n</html>\n";
}

std::string CardPage(const Library& library, const std::string& id) {
    return PageHead(TitleOf(library, id), "<meta name=\"twitter:card\" content=\"player\">\n"
                                          "<meta name=\"twitter:player\" content=\"/player?v=" +
                                              id +
                                              "\">\n"
                                              "<meta name=\"twitter:player:stream\" content=\"/media/" +
                                              id + ".mp4\">\n") +
           "<body></body>\n</html>\n";
}

std::string JsonLdPage(const Library& library, const std::string& id) {
    const std::string title = TitleOf(library, id);
    return PageHead(title, "") +
           "<body>\n<script type=\"application/ld+json\">\n"
           "{\"@context\": \"https://schema.org\", \"@graph\": [\n"
           "  {\"@type\": \"WebPage\", \"name\": \"Sample service\"},\n"
           "  {\"@type\": \"VideoObject\", \"name\": \"" +
           EscapeJson(title) +
           "\",\n"
           "   \"author\": {\"@type\": \"Person\", \"name\": \"Sample Maker\"},\n"
           "   \"uploadDate\": \"2026-03-14\", \"duration\": \"PT3S\", \"contentUrl\": \"../media/" +
           id +
           ".mp4\"}\n]}\n"
           "</script>\n</body>\n</html>\n";
}

std::string HlsPage(const Library& library, const std::string& id) {
    return PageHead(TitleOf(library, id), "") + "<body>\n<video controls>\n  <source src=\"/hls/" + id +
           "/master.m3u8\" type=\"application/x-mpegURL\">\n</video>\n</body>\n</html>\n";
}

// Three clips on one page, each its own <video>: renditions of the sample, the sample file, its
// HLS playlist; a fourth element shows the second clip again.
std::string SeveralVideosPage(const Library& library, const std::string& id) {
    std::string renditions;
    for (int height : RenditionHeights(library, id))
        renditions += "  <source src=\"/media/" + id + "-" + std::to_string(height) +
                      ".mp4\" type=\"video/mp4\" size=\"" + std::to_string(height) + "\">\n";
    const std::string again = "<video src=\"/media/" + id + ".mp4\"></video>\n";
    return PageHead("Three clips", "") + "<body>\n<video controls>\n" + renditions + "</video>\n" + again +
           "<video><source src=\"/hls/" + id + "/master.m3u8\" type=\"application/x-mpegURL\"></video>\n" +
           again + "</body>\n</html>\n";
}

std::string NoVideoPage() {
    return PageHead("A page without a video", "<meta property=\"og:title\" content=\"Nothing to see\">\n") +
           "<body><p>Just text. <img src=\"/media/picture.png\"></p></body>\n</html>\n";
}

// The first variant's playlist with each segment address made relative to the folder above it,
// so that the variants of the fault playlists can sit beside the master playlist.
bool FirstVariant(const Library& library, const std::string& id, std::vector<std::string>& lines) {
    std::string text;
    if (!ReadText(fs::path(library.mediaFolder) / "hls" / id / "v0" / "index.m3u8", text))
        return false;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] != '#')
            line = "v0/" + line;
        lines.push_back(line);
    }
    return true;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The playlists that are made from the first variant: live, encrypted and other bad inputs.
bool ServeDerivedPlaylist(const Library& library, const std::string& id, const std::string& name,
                          httplib::Response& response) {
    std::vector<std::string> lines;
    if (name == "huge.m3u8") {
        std::string text = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-PLAYLIST-TYPE:VOD\n";
        for (int i = 0; i < HugePlaylistSegments; ++i)
            text += "#EXTINF:1.0,\ns" + std::to_string(i) + ".ts\n";
        response.set_content(text + "#EXT-X-ENDLIST\n", "application/vnd.apple.mpegurl");
        return true;
    }
    if (!FirstVariant(library, id, lines))
        return false;
    const auto isSegment = [](const std::string& line) {
        return !line.empty() && line[0] != '#';
    };
    if (name == "live.m3u8") {
        lines.erase(std::remove(lines.begin(), lines.end(), "#EXT-X-ENDLIST"), lines.end());
        lines.erase(std::remove(lines.begin(), lines.end(), "#EXT-X-PLAYLIST-TYPE:VOD"), lines.end());
    } else if (name == "encrypted.m3u8") {
        lines.insert(lines.begin() + 1,
                     "#EXT-X-KEY:METHOD=AES-128,URI=\"key.bin\",IV=0x00000000000000000000000000000001");
    } else if (name == "ftp.m3u8") {
        for (std::string& line : lines)
            if (isSegment(line))
                line = "ftp://127.0.0.1:" + std::to_string(library.port) + "/hls/" + id + "/" + line;
    } else if (name == "flaky.m3u8") {
        // The second segment answers 503 (Retry-After: 1) the first time each download asks.
        static std::atomic<int> downloads{0};
        const std::string key = "flaky-" + std::to_string(++downloads);
        int seen = 0;
        for (std::string& line : lines)
            if (isSegment(line) && ++seen == 2)
                line += "?fail=503&key=" + key;
    } else if (name == "interleaved.m3u8") {
        // Each segment answers later than the one after it: fetched side by side, they arrive
        // last first.
        int segments = int(std::count_if(lines.begin(), lines.end(), isSegment));
        for (std::string& line : lines)
            if (isSegment(line))
                line += "?delay=" + std::to_string(--segments * 150);
    } else if (name == "slow.m3u8") {
        // Every segment answers late, so that a download can be stopped or killed half way.
        for (std::string& line : lines)
            if (isSegment(line))
                line += "?delay=300";
    } else if (name == "missing.m3u8") {
        // The second segment does not exist: the download fails half way.
        int seen = 0;
        for (std::string& line : lines)
            if (isSegment(line) && ++seen == 2)
                line = "v0/no-such-segment.ts";
    } else {
        return false;
    }
    response.set_content(Joined(lines), "application/vnd.apple.mpegurl");
    return true;
}

std::string Origin(const Library& library) {
    return "http://127.0.0.1:" + std::to_string(library.port);
}

} // namespace

void InstallWebRoutes(httplib::Server& server, const Library& library) {
    server.Get(R"(/media/(.+))", [&library](const httplib::Request& request, httplib::Response& response) {
        ServeMedia(library, request.matches[1], false, response);
    });
    server.Get(R"(/attachment/(.+))",
               [&library](const httplib::Request& request, httplib::Response& response) {
                   ServeMedia(library, request.matches[1], true, response);
               });
    server.Get(
        R"(/hls/([^/]+)/(.+))", [&library](const httplib::Request& request, httplib::Response& response) {
            const std::string id = request.matches[1];
            const std::string rest = request.matches[2];
            if (rest.find('/') == std::string::npos && ServeDerivedPlaylist(library, id, rest, response))
                return;
            if (request.has_param("fail") && FailsThisTime(request.get_param_value("key"), 1))
                return SendRetryLater(response, 503, 1, false);
            // A segment that answers late, so that segments fetched side by side complete out of order.
            if (request.has_param("delay"))
                std::this_thread::sleep_for(std::chrono::milliseconds(
                    std::clamp(std::atoi(request.get_param_value("delay").c_str()), 0, 5000)));
            ServeMedia(library, "hls/" + id + "/" + rest, false, response);
        });
    const auto page = [&server](const char* path, auto make) {
        server.Get(path, [make](const httplib::Request& request, httplib::Response& response) {
            response.set_content(make(request.get_param_value("v")), "text/html; charset=utf-8");
        });
    };
    page("/html5", [&library](const std::string& id) { return Html5Page(library, id); });
    page("/og", [&library](const std::string& id) { return OpenGraphPage(library, id, Origin(library)); });
    page("/card", [&library](const std::string& id) { return CardPage(library, id); });
    page("/pages/jsonld", [&library](const std::string& id) { return JsonLdPage(library, id); });
    page("/hlspage", [&library](const std::string& id) { return HlsPage(library, id); });
    page("/novideo", [](const std::string&) { return NoVideoPage(); });
    page("/videos", [&library](const std::string& id) { return SeveralVideosPage(library, id); });
}

const char* WebRouteList() {
    return "  /media/<file>                      a file of the media folder, typed by its extension\n"
           "  /attachment/<file>                 the same as application/octet-stream with a\n"
           "                                     Content-Disposition name made of the video's title\n"
           "  /html5?v=<id>                      a <video> with the renditions <id>-<height>.mp4\n"
           "  /og?v=<id>, /card?v=<id>           Open Graph / twitter:player:stream pages of <id>.mp4\n"
           "  /pages/jsonld?v=<id>               a JSON-LD VideoObject page of <id>.mp4\n"
           "  /hlspage?v=<id>                    a <video> whose source is the HLS master playlist\n"
           "  /novideo                           a page that names no video\n"
           "  /videos?v=<id>                     three <video>s, each a clip of its own, one shown twice\n"
           "  /hls/<id>/master.m3u8              HLS: three variants of MPEG-TS segments\n"
           "  /hls/<id>/fmp4/index.m3u8          HLS: fragmented MP4 segments\n"
           "  /hls/<id>/live.m3u8, encrypted.m3u8, ftp.m3u8, missing.m3u8, huge.m3u8, flaky.m3u8\n"
           "                                     HLS faults: live, AES-128, ftp segments, a missing\n"
           "                                     segment, more than 100,000 segments, a segment that\n"
           "                                     answers 503 once per download\n"
           "  /hls/<id>/interleaved.m3u8         HLS: each segment answers 150 ms after the next one\n"
           "  /hls/<id>/slow.m3u8                HLS: each segment answers after 300 ms\n"
           "  /hls/<id>/alt/master.m3u8          HLS: pictures without sound, their sound as an audio\n"
           "                                     rendition, a sound-only variant, an I-frame playlist\n"
           "  /hls/<id>/alt/sound.m3u8           HLS: sound-only variants and nothing else\n"
           "  /hls/<id>/alt/inside.m3u8          HLS: an audio group without URI (sound in the variants)\n";
}

} // namespace VideoService
