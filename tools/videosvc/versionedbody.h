#pragma once

#include <httplib.h>

namespace VideoService {

// A body that changes while the service runs, as a file replaced on a real server does:
// /versioned[/name]?n=N[&rate=B] answers N bytes of the pattern, typed video/mp4, as version K of the body
// (version 1 is the plain pattern, each later one differs in every byte) with the ETag "ver-K". A Range
// request is answered with 206 only while its If-Range still names the current version, else with the whole
// new body. /version?set=K switches every such body to version K. /served tells how many body bytes these
// answers have sent, and the Range and If-Range of each request, so that a test sees what a continuation
// asked for and cost.
void InstallVersionedRoutes(httplib::Server& server);

// The help text of these routes.
const char* VersionedRouteList();

} // namespace VideoService
