#include "playerpages.h"

#include "webpage.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>
#include <zlib.h>

namespace VideoService {

namespace {

namespace fs = std::filesystem;

// The compressed page that expands past what a page may be: this much blank text in a comment.
constexpr size_t ExpandingPadding = size_t(17) << 20;

// A set-up as sites write it: not JSON (unquoted keys, single quotes, "\/", trailing commas, a
// function), the adaptive HLS choice first and labelled "Auto", the renditions out of order and
// sized by a numeric height or by labels, and a second playlist item that is not the page's
// video.
std::string JwPlayerPage(const Library& library, const std::string& id) {
    std::vector<int> heights = RenditionHeights(library, id);
    if (heights.size() >= 3)
        std::rotate(heights.begin(), heights.begin() + 1, heights.end());
    std::string sources = "      {file: '\\/hls\\/" + id + "\\/master.m3u8', label: 'Auto', type: 'hls'},\n";
    for (size_t i = 0; i < heights.size(); ++i) {
        const std::string height = std::to_string(heights[i]);
        const std::string file = "'\\/media\\/" + id + "-" + height + ".mp4'";
        if (i == 0)
            sources += "      {file: " + file + ", height: " + height + ", label: 'Medium', type: 'mp4'},\n";
        else if (i == 1)
            sources += "      {\"file\": " + file + ", \"label\": \"" + height + "p HD\"},\n";
        else
            sources += "      {file: " + file + ", type: \"video/mp4\", label: 'SD " + height + "p',},\n";
    }
    return PageHead(TitleOf(library, id)) + "<body>\n<div id=\"player\">Loading the player...</div>\n" +
           "<script src=\"/jwplayer.js\"></script>\n<script>\n"
           "  jwplayer(\"player\").setup({\n"
           "    width: '100%', aspectratio: '16:9', // the box, not the video\n"
           "    playlist: [{\n"
           "      title: '" +
           EscapeHtml(TitleOf(library, id)) +
           "',\n"
           "      sources: [\n" +
           sources +
           "      ],\n"
           "    }, {\n"
           "      file: '/media/" +
           id +
           ".flv', title: 'Up next',\n"
           "    }],\n"
           "    events: { onReady: function () { console.log(\"ready }\"); } },\n"
           "  });\n</script>\n</body>\n</html>\n";
}

// The first <source> is the adaptive stream with no height ("Auto", res 0); the renditions are
// loaded lazily: the address in data-src, src empty or a placeholder until the player shows.
std::string AutoLazyPage(const Library& library, const std::string& id) {
    std::string sources = "  <source src=\"/hls/" + id +
                          "/master.m3u8\" type=\"application/x-mpegURL\" label=\"Auto\" res=\"0\">\n";
    const std::vector<int> heights = RenditionHeights(library, id);
    for (size_t i = 0; i < heights.size(); ++i) {
        const std::string height = std::to_string(heights[i]);
        sources += std::string("  <source ") + (i == 0 ? "" : "src=\"data:,\" ") + "data-src=\"/media/" + id +
                   "-" + height + ".mp4\" type=\"video/mp4\" res=\"" + height + "\" label=\"" + height +
                   "p\">\n";
    }
    return PageHead(TitleOf(library, id)) + "<body>\n<video class=\"lazy\" controls preload=\"none\">\n" +
           sources + "</video>\n</body>\n</html>\n";
}

// zlib's three framings: 31 gzip, 15 zlib ("deflate" as meant), -15 raw deflate (as some send).
std::string Compressed(const std::string& text, int windowBits) {
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::string();
    std::string out(deflateBound(&stream, uLong(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = uInt(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : std::string();
}

void ServeCompressed(const Library& library, const httplib::Request& request, httplib::Response& response) {
    const std::string id = request.get_param_value("v");
    const std::string encoding = request.has_param("encoding") ? request.get_param_value("encoding") : "gzip";
    const std::string fault = request.get_param_value("fault");
    std::string page = JwPlayerPage(library, id);
    if (fault == "expanding")
        page += "<!--" + std::string(ExpandingPadding, ' ') + "-->\n";
    std::string body = Compressed(page, encoding == "gzip" ? 31 : encoding == "rawdeflate" ? -15 : 15);
    if (fault == "trailing") {
        // Sized from the literal: its leading zero bytes would end a length taken with strlen.
        static constexpr char Trailing[] = "\0\0\0\0garbage after the stream";
        body.append(Trailing, sizeof Trailing - 1);
    } else if (fault == "truncated")
        body.resize(body.size() / 2);
    response.set_header("Content-Encoding", encoding == "rawdeflate" ? "deflate" : encoding);
    // Served through a provider of known length, which the server library leaves alone: it would
    // compress a text body once more when the request asks for gzip.
    const auto shared = std::make_shared<const std::string>(std::move(body));
    response.set_content_provider(shared->size(), "text/html; charset=utf-8",
                                  [shared](size_t offset, size_t length, httplib::DataSink& sink) {
                                      return sink.write(shared->data() + offset, length);
                                  });
}

} // namespace

void InstallPlayerRoutes(httplib::Server& server, const Library& library) {
    const auto page = [&server](const char* path, auto make) {
        server.Get(path, [make](const httplib::Request& request, httplib::Response& response) {
            response.set_content(make(request.get_param_value("v")), "text/html; charset=utf-8");
        });
    };
    page("/jwplayer", [&library](const std::string& id) { return JwPlayerPage(library, id); });
    page("/autolazy", [&library](const std::string& id) { return AutoLazyPage(library, id); });
    server.Get("/compressed", [&library](const httplib::Request& request, httplib::Response& response) {
        ServeCompressed(library, request, response);
    });
}

const char* PlayerRouteList() {
    return "  /jwplayer?v=<id>                   a JW Player set-up: an HLS source labelled Auto and\n"
           "                                     the renditions <id>-<height>.mp4, in a playlist\n"
           "  /autolazy?v=<id>                   a <video> with an Auto source (res 0) and lazily\n"
           "                                     loaded renditions (data-src)\n"
           "  /compressed?v=<id>[&encoding=E][&fault=F]\n"
           "                                     the JW Player page compressed whatever the request\n"
           "                                     asked: E gzip (default), deflate, rawdeflate; F\n"
           "                                     trailing (bytes after the stream), truncated (half of\n"
           "                                     it), expanding (decodes to more than 17 MiB)\n";
}

} // namespace VideoService
