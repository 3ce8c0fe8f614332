#pragma once

#include <QByteArray>
#include <cstdint>

namespace Quillet {

// Native messaging frames: a 32-bit length in the machine's byte order, then that many bytes.
inline constexpr std::uint32_t MaxMessageSize = 1024 * 1024;

struct Frame {
    enum class Kind {
        Message,   // body holds the message
        End,       // input ended between frames
        TooLong,   // the stated length was over the limit; its bytes were skipped
        Truncated, // input ended inside a frame
    };
    Kind kind = Kind::End;
    QByteArray body;
};

// Reads one frame from the file descriptor. Never allocates more than the limit, whatever
// length the frame states.
Frame ReadFrame(int fd);
// Writes one frame. False when the output is gone.
bool WriteFrame(int fd, const QByteArray& body);

} // namespace Quillet
