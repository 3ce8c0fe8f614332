#pragma once

#include <httplib.h>

#include <string>

namespace VideoService {

// Where the service finds its videos: <id>.flv and <id>.mp4, an optional <id>.title (UTF-8) with
// the page title, and an optional <id>.html served as the watch page exactly as stored.
struct Library {
    std::string mediaFolder;
    int port = 0;
};

// /watch, /get_video, and the plain bodies the transfer tests and the benchmark ask for.
void InstallRoutes(httplib::Server& server, const Library& library);

// The ids that choose a fault, one per line with what it does (for --help and the README).
const char* FaultModeList();

} // namespace VideoService
