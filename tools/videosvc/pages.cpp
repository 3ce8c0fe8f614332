#include "pages.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace VideoService {

namespace {

std::vector<char32_t> DecodeUtf8(const std::string& text) {
    std::vector<char32_t> result;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < text.size(); ++k)
            value = value << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        result.push_back(value);
        i += extra + 1;
    }
    return result;
}

} // namespace

std::string TokenFor(const std::string& videoId) {
    // FNV-1a: stable across runs, so a page fetched by one process is valid for another.
    uint32_t hash = 2166136261u;
    for (unsigned char c : videoId)
        hash = (hash ^ c) * 16777619u;
    char text[16];
    std::snprintf(text, sizeof text, "tk%08x", hash);
    return text;
}

std::string WatchPage(const std::string& videoId, const std::string& title, const std::string& token) {
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>YouTube - " + title +
           "</title>\n</head>\n<body>\n<div id=\"player\">" + title +
           "</div>\n<script type=\"text/javascript\">\n"
           "var swfArgs = {\"video_id\": \"" +
           videoId + "\", \"l\": \"2\", \"t\": \"" + (token.empty() ? TokenFor(videoId) : token) +
           "\", \"sk\": \"sample\"};\n"
           "</script>\n</body>\n</html>\n";
}

std::string ToUtf16(const std::string& utf8, bool bigEndian, bool withMark) {
    std::string out;
    const auto put = [&](char16_t unit) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    if (withMark)
        put(0xFEFF);
    for (char32_t c : DecodeUtf8(utf8)) {
        if (c >= 0x10000) {
            c -= 0x10000;
            put(static_cast<char16_t>(0xD800 | (c >> 10)));
            put(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
        } else {
            put(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string ToWindows1252(const std::string& utf8) {
    static const char32_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    std::string out;
    for (char32_t c : DecodeUtf8(utf8)) {
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            out += static_cast<char>(c);
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i)
            if (high[i] == c)
                mapped = static_cast<char>(0x80 + i);
        out += mapped;
    }
    return out;
}

} // namespace VideoService
