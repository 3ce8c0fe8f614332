#pragma once

#include <deque>
#include <stdexcept>
#include <string>

namespace VarnexEngine {

// A conversion failure with the text the user is shown. Thrown inside the engine only; the
// convert command catches it, reports the text and cleans up in one place.
class EngineError : public std::runtime_error {
public:
    explicit EngineError(const std::string& text)
        : std::runtime_error(text) {}
};

// FFmpeg's text for one of its error codes.
std::string AvErrorText(int code);

// Throws EngineError("<what>: <FFmpeg's text>") when code is negative; returns code otherwise.
int CheckAv(int code, const std::string& what);

// While alive, FFmpeg's log goes here instead of to standard error, and the last error lines
// logged on this thread are kept, so that an encoder's own complaint ("The specified picture
// size ...") can be shown to the user with the failure it caused. Each request keeps its own
// lines, so that conversions side by side never report each other's complaints; lines logged
// on threads of FFmpeg's own are dropped.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The error lines logged on this thread since the last call, joined with blanks, then
    // forgotten.
    static std::string TakeErrors();

    // Keeps a line logged on this thread for the thread's innermost capture, if any.
    static void KeepLine(std::string line);

private:
    std::deque<std::string> lines_;
    LogCapture* outer_;
};

// what, then the library's own complaint when it logged one, then the error code's text.
std::string DescribeFailure(const std::string& what, int code);

} // namespace VarnexEngine
