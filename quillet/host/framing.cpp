#include "framing.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace Quillet {

namespace {

// Reads exactly size bytes unless the input ends first; returns how many arrived.
std::size_t ReadFully(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool WriteFully(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace

Frame ReadFrame(int fd) {
    char header[sizeof(std::uint32_t)];
    const std::size_t got = ReadFully(fd, header, sizeof header);
    if (got == 0)
        return {Frame::Kind::End, {}};
    if (got < sizeof header)
        return {Frame::Kind::Truncated, {}};
    std::uint32_t length = 0;
    std::memcpy(&length, header, sizeof length);

    if (length > MaxMessageSize) {
        // Skip the oversized body so that the next frame can still be read.
        char discard[64 * 1024];
        std::uint32_t left = length;
        while (left > 0) {
            const std::size_t chunk = left < sizeof discard ? left : sizeof discard;
            if (ReadFully(fd, discard, chunk) < chunk)
                return {Frame::Kind::Truncated, {}};
            left -= static_cast<std::uint32_t>(chunk);
        }
        return {Frame::Kind::TooLong, {}};
    }

    QByteArray body(static_cast<qsizetype>(length), Qt::Uninitialized);
    if (ReadFully(fd, body.data(), length) < length)
        return {Frame::Kind::Truncated, {}};
    return {Frame::Kind::Message, body};
}

bool WriteFrame(int fd, const QByteArray& body) {
    const auto length = static_cast<std::uint32_t>(body.size());
    char header[sizeof length];
    std::memcpy(header, &length, sizeof length);
    return WriteFully(fd, header, sizeof header) && WriteFully(fd, body.constData(), body.size());
}

} // namespace Quillet
