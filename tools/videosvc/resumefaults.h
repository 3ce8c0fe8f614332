#pragma once

#include "streams.h"

#include <httplib.h>

#include <cstdint>
#include <string>

namespace VideoService {

// The first byte of the one "bytes=N-" or "bytes=N-M" range a request asks for, or -1. The
// library's own range handling is switched off for the request: the service answers ranges
// itself, so that a fault can ignore or betray them.
int64_t TakeRangeStart(const httplib::Request& request);

// How a body meets a cut connection and the Range request that follows it.
struct ResumeFaults {
    int64_t cutFirst = -1;            // a request without Range is cut after this many bytes
    std::string once;                 // when set: only the first such request with this key is cut
    bool ignoreRange = false;         // a Range request gets the whole body again, with 200
    bool changeEtag = false;          // the ETag differs between a plain and a Range request
    unsigned char changedContent = 0; // with changeEtag: the Range answers' bytes XOR this
};

// Sets up the delivery for the request: the first cut, the range answered, the ETag. A Range
// request whose If-Range no longer matches gets the whole body, as a careful server does.
void ApplyResumeFaults(const httplib::Request& request, const ResumeFaults& faults, Delivery& delivery);

// True for the first `times` requests that bring key, false from then on. Keys are the
// per-download stream tokens, so each download meets its transient fault afresh.
bool FailsThisTime(const std::string& key, int64_t times);

// An error answer that asks the client to come back: Retry-After in seconds, or as an HTTP
// date that many seconds from now.
void SendRetryLater(httplib::Response& response, int status, int64_t seconds, bool asDate);

// A token for one download of a video: the video's token with a serial number, unique for the
// life of the service.
std::string DownloadToken(const std::string& baseToken);
// Whether token is the base token or one of its download tokens.
bool TokenMatches(const std::string& token, const std::string& baseToken);

} // namespace VideoService
