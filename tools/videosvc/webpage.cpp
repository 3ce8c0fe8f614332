#include "webpage.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace VideoService {

namespace fs = std::filesystem;

bool ReadText(const fs::path& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream contents;
    contents << file.rdbuf();
    text = contents.str();
    return true;
}

std::string TitleOf(const Library& library, const std::string& id) {
    std::string title;
    if (!ReadText(fs::path(library.mediaFolder) / (id + ".title"), title))
        return id;
    while (!title.empty() && (title.back() == '\n' || title.back() == '\r'))
        title.pop_back();
    return title;
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string PageHead(const std::string& title, const std::string& extra) {
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + EscapeHtml(title) +
           "</title>\n" + extra + "</head>\n";
}

std::vector<int> RenditionHeights(const Library& library, const std::string& id) {
    std::vector<int> heights;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(library.mediaFolder, error)) {
        const std::string name = entry.path().filename().string();
        const std::string prefix = id + "-";
        if (name.rfind(prefix, 0) != 0 || entry.path().extension() != ".mp4")
            continue;
        const std::string number = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (!number.empty() && std::all_of(number.begin(), number.end(), ::isdigit))
            heights.push_back(std::stoi(number));
    }
    std::sort(heights.begin(), heights.end());
    return heights;
}

} // namespace VideoService
