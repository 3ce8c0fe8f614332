#include "engineerror.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <cstdio>
#include <deque>
#include <mutex>

namespace VarnexEngine {

namespace {

std::mutex logMutex;
std::deque<std::string> errorLines;
constexpr size_t kKeptLines = 4;

void CaptureLog(void* context, int level, const char* format, va_list args) {
    if (level > AV_LOG_ERROR)
        return;
    char line[1024];
    int prefix = 0; // "[mp4 @ 0x...]" means nothing to the user
    av_log_format_line2(context, level, format, args, line, sizeof line, &prefix);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
        return;
    std::lock_guard<std::mutex> lock(logMutex);
    errorLines.push_back(std::move(text));
    if (errorLines.size() > kKeptLines)
        errorLines.pop_front();
}

} // namespace

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

LogCapture::LogCapture() {
    TakeErrors();
    av_log_set_callback(CaptureLog);
}

LogCapture::~LogCapture() {
    av_log_set_callback(av_log_default_callback);
}

std::string LogCapture::TakeErrors() {
    std::lock_guard<std::mutex> lock(logMutex);
    std::string joined;
    for (const std::string& line : errorLines)
        joined += (joined.empty() ? "" : " ") + line;
    errorLines.clear();
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
