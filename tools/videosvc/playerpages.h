#pragma once

#include "routes.h"

#include <httplib.h>

namespace VideoService {

// Pages shaped as players publish their videos: a JW Player set-up written as a script, a
// <video> with an automatic rendition and lazily loaded sources, and a page that answers
// compressed whatever the request asked for (with its faults). Their media are the renditions
// <id>-<height>.mp4 and the HLS playlists that make-web-media makes.
void InstallPlayerRoutes(httplib::Server& server, const Library& library);

// The routes, for --help and the README.
const char* PlayerRouteList();

} // namespace VideoService
