#include "streams.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace VideoService {

std::atomic<bool> stopping{false};

namespace {

constexpr size_t PieceSize = 64 * 1024;
// A stalled answer gives up after this long, so that no thread is held for ever.
constexpr auto LongestStall = std::chrono::seconds(90);

// Fills out with the bytes from position on; false when they cannot be read.
using Source = std::function<bool(int64_t position, char* out, size_t length)>;

// The pattern repeats with a prime period, so a body shifted by any amount a transfer could
// plausibly lose or repeat does not match itself.
constexpr int64_t PatternPeriod = 65521;

const std::vector<char>& PatternBlock() {
    static const std::vector<char> block = [] {
        std::vector<char> bytes(PatternPeriod);
        for (int64_t i = 0; i < PatternPeriod; ++i)
            bytes[static_cast<size_t>(i)] = static_cast<char>((i * 31 + i / 251) & 0xFF);
        return bytes;
    }();
    return block;
}

void Stall() {
    const auto until = std::chrono::steady_clock::now() + LongestStall;
    while (!stopping && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Sends [position, end) of the source in pieces, with the delivery's faults. Returns false
// when the answer must end here (the connection is then closed).
// endsBody: the range ends the whole body, so that a counted body ends as its last piece goes
// out (after it, the client may have it and ask for the next body before this thread runs on).
bool SendRange(const Source& source, int64_t position, int64_t end, const Delivery& delivery,
               httplib::DataSink& sink, bool endsBody = false) {
    std::vector<char> piece(PieceSize);
    const auto started = std::chrono::steady_clock::now();
    int64_t sent = 0;
    while (position < end) {
        int64_t limit = end;
        if (delivery.cutAfter >= 0)
            limit = std::min(limit, delivery.cutAfter);
        if (delivery.stallAfter >= 0)
            limit = std::min(limit, delivery.stallAfter);
        if (position >= limit) {
            if (delivery.stallAfter >= 0 && position >= delivery.stallAfter)
                Stall();
            return false;
        }
        size_t length = static_cast<size_t>(std::min<int64_t>(limit - position, PieceSize));
        if (delivery.bytesPerSecond > 0) {
            // A tenth of a second's worth at a time, each piece waiting for its moment.
            length = std::min<size_t>(
                length, static_cast<size_t>(std::max<int64_t>(1, delivery.bytesPerSecond / 10)));
            const auto due = started + std::chrono::milliseconds(sent * 1000 / delivery.bytesPerSecond);
            std::this_thread::sleep_until(due);
            if (stopping)
                return false;
        }
        if (!source(position, piece.data(), length))
            return false;
        if (endsBody && delivery.counted && position + static_cast<int64_t>(length) == end)
            delivery.counted->End();
        if (!sink.write(piece.data(), length))
            return false;
        position += static_cast<int64_t>(length);
        sent += static_cast<int64_t>(length);
        if (delivery.sentCounter)
            *delivery.sentCounter += static_cast<int64_t>(length);
    }
    return true;
}

void Send(httplib::Response& response, const Source& plainSource, int64_t length,
          const std::string& contentType, const Delivery& delivery) {
    Source source = plainSource;
    if (delivery.flip != 0)
        source = [plainSource, flip = delivery.flip](int64_t position, char* out, size_t count) {
            if (!plainSource(position, out, count))
                return false;
            for (size_t i = 0; i < count; ++i)
                out[i] = static_cast<char>(out[i] ^ flip);
            return true;
        };
    if (!delivery.etag.empty())
        response.set_header("ETag", delivery.etag);
    if (delivery.chunked) {
        response.set_chunked_content_provider(contentType, [=](size_t offset, httplib::DataSink& sink) {
            if (!SendRange(source, static_cast<int64_t>(offset), length, delivery, sink))
                return false;
            sink.done();
            return true;
        });
        return;
    }
    response.set_header("Accept-Ranges", "bytes");
    int64_t first = 0;
    if (delivery.rangeStart >= 0) {
        const std::string total = std::to_string(length);
        if (delivery.rangeStart >= length) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + total);
            response.set_content("", contentType);
            return;
        }
        first = delivery.rangeStart;
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                 std::to_string(length - 1) + "/" + total);
    }
    if (length == first) {
        // The library never asks a provider for an empty body, and the answer would not end.
        response.set_content("", contentType);
        return;
    }
    response.set_content_provider(static_cast<size_t>(length - first), contentType,
                                  [=](size_t offset, size_t count, httplib::DataSink& sink) {
                                      const int64_t from = first + static_cast<int64_t>(offset);
                                      const int64_t to = from + static_cast<int64_t>(count);
                                      return SendRange(source, from, to, delivery, sink, to == length);
                                  });
}

} // namespace

unsigned char PatternByte(int64_t position) {
    return static_cast<unsigned char>(PatternBlock()[static_cast<size_t>(position % PatternPeriod)]);
}

void SendPattern(httplib::Response& response, int64_t length, const Delivery& delivery,
                 const std::string& contentType) {
    const Source pattern = [](int64_t position, char* out, size_t count) {
        const std::vector<char>& block = PatternBlock();
        while (count > 0) {
            const auto index = static_cast<size_t>(position % PatternPeriod);
            const size_t run = std::min(count, block.size() - index);
            std::copy_n(block.data() + index, run, out);
            out += run;
            count -= run;
            position += static_cast<int64_t>(run);
        }
        return true;
    };
    Send(response, pattern, length, contentType, delivery);
}

bool SendFile(httplib::Response& response, const std::string& path, const std::string& contentType,
              const Delivery& delivery) {
    auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
    if (!*file)
        return false;
    file->seekg(0, std::ios::end);
    const int64_t length = static_cast<int64_t>(file->tellg());
    const Source source = [file](int64_t position, char* out, size_t count) {
        file->clear();
        file->seekg(position);
        file->read(out, static_cast<std::streamsize>(count));
        return static_cast<size_t>(file->gcount()) == count;
    };
    Send(response, source, length, contentType, delivery);
    return true;
}

int64_t NumberParam(const httplib::Request& request, const char* name, int64_t fallback) {
    if (!request.has_param(name))
        return fallback;
    try {
        return std::stoll(request.get_param_value(name));
    } catch (...) {
        return fallback;
    }
}

} // namespace VideoService
