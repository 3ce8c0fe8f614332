#include "engineerror.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <cstdio>
#include <mutex>

namespace VarnexEngine {

namespace {

constexpr size_t kKeptLines = 4;

// The innermost capture of this thread. A plain pointer, so that the thread keeps nothing
// that would hold the library loaded after it is closed.
thread_local LogCapture* currentCapture = nullptr;

// FFmpeg's log callback is one for the process: set by the first capture, taken back by the
// last.
std::mutex callbackMutex;
int liveCaptures = 0;

void CaptureLog(void* context, int level, const char* format, va_list args) {
    if (level > AV_LOG_ERROR)
        return;
    char line[1024];
    int prefix = 0; // "[mp4 @ 0x...]" means nothing to the user
    av_log_format_line2(context, level, format, args, line, sizeof line, &prefix);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (!text.empty())
        LogCapture::KeepLine(std::move(text));
}

} // namespace

void LogCapture::KeepLine(std::string line) {
    LogCapture* capture = currentCapture;
    if (capture == nullptr)
        return;
    capture->lines_.push_back(std::move(line));
    if (capture->lines_.size() > kKeptLines)
        capture->lines_.pop_front();
}

std::string AvErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

int CheckAv(int code, const std::string& what) {
    if (code < 0)
        throw EngineError(DescribeFailure(what, code));
    return code;
}

LogCapture::LogCapture()
    : outer_(currentCapture) {
    currentCapture = this;
    std::lock_guard<std::mutex> lock(callbackMutex);
    if (liveCaptures++ == 0)
        av_log_set_callback(CaptureLog);
}

LogCapture::~LogCapture() {
    currentCapture = outer_;
    std::lock_guard<std::mutex> lock(callbackMutex);
    if (--liveCaptures == 0)
        av_log_set_callback(av_log_default_callback);
}

std::string LogCapture::TakeErrors() {
    if (currentCapture == nullptr)
        return {};
    std::string joined;
    for (const std::string& line : currentCapture->lines_)
        joined += (joined.empty() ? "" : " ") + line;
    currentCapture->lines_.clear();
    return joined;
}

std::string DescribeFailure(const std::string& what, int code) {
    std::string text = what;
    const std::string logged = LogCapture::TakeErrors();
    if (!logged.empty())
        text += ": " + logged;
    if (code < 0)
        text += " (" + AvErrorText(code) + ")";
    return text;
}

} // namespace VarnexEngine
