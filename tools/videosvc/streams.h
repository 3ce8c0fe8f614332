#pragma once

#include "bodycount.h"

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace VideoService {

// How a body is delivered; the defaults give an ordinary, complete answer.
struct Delivery {
    bool chunked = false;       // no Content-Length
    int64_t cutAfter = -1;      // declare the whole length, send this many bytes, then close
    int64_t stallAfter = -1;    // send this many bytes, then nothing more
    int64_t bytesPerSecond = 0; // 0: as fast as the connection takes it
    int64_t rangeStart = -1;    // answer 206 with the bytes from here on
    std::string etag;           // sent as ETag when set
    unsigned char flip = 0;     // every byte XOR this: a second version of the same body
    std::shared_ptr<std::atomic<int64_t>> sentCounter; // counts the body bytes sent, when set
    std::shared_ptr<BodyCount::Ticket> counted;        // held while the body is being sent, when set
};

// Set when the service is stopping, so that stalled answers end.
extern std::atomic<bool> stopping;

// A body of length bytes of a fixed pattern; byte p is PatternByte(p).
void SendPattern(httplib::Response& response, int64_t length, const Delivery& delivery,
                 const std::string& contentType = "application/octet-stream");
// The file at path (Range requests are answered by the library with 206).
bool SendFile(httplib::Response& response, const std::string& path, const std::string& contentType,
              const Delivery& delivery);

unsigned char PatternByte(int64_t position);

// The request's query value name as a number; fallback when it is missing or not a number.
int64_t NumberParam(const httplib::Request& request, const char* name, int64_t fallback);

} // namespace VideoService
