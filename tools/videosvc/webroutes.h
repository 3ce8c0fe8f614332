#pragma once

#include "routes.h"

#include <httplib.h>

namespace VideoService {

// The pages that publish a video the ways web sites do beyond the watch page: media files
// (with and without a Content-Disposition name), HTML5, Open Graph, twitter:player:stream and
// JSON-LD pages, and HLS playlists with their faults. The media comes from the media folder
// as make-web-media lays it out.
void InstallWebRoutes(httplib::Server& server, const Library& library);

// The web routes, for --help and the README.
const char* WebRouteList();

} // namespace VideoService
