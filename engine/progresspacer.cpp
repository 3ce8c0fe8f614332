#include "progresspacer.h"

#include <cstdio>
#include <utility>

namespace VarnexEngine {

namespace {

constexpr auto kPositionInterval = std::chrono::milliseconds(100);
constexpr auto kStatusInterval = std::chrono::seconds(1);

std::string FormatSpeed(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", ratio);
    return text;
}

} // namespace

std::string FormatClock(int64_t milliseconds) {
    if (milliseconds < 0)
        milliseconds = 0;
    char text[32];
    std::snprintf(
        text, sizeof text, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(milliseconds / 3600000),
        static_cast<long long>(milliseconds / 60000 % 60), static_cast<long long>(milliseconds / 1000 % 60),
        static_cast<long long>(milliseconds % 1000));
    return text;
}

ProgressPacer::ProgressPacer(Notifier& notifier, std::string activitySuffix)
    : notifier_(notifier)
    , activitySuffix_(std::move(activitySuffix)) {}

void ProgressPacer::Start() {
    started_ = Clock::now();
}

void ProgressPacer::SetTotal(int64_t totalMs) {
    totalMs_ = totalMs;
    notifier_.Total(totalMs_);
}

void ProgressPacer::Report(int64_t positionMs, bool force) {
    const auto now = Clock::now();
    if (force || now - lastPosition_ >= kPositionInterval) {
        lastPosition_ = now;
        notifier_.Position(totalMs_ > 0 && positionMs > totalMs_ ? totalMs_ : positionMs);
    }
    if (force || now - lastStatus_ >= kStatusInterval) {
        lastStatus_ = now;
        const double seconds = std::chrono::duration<double>(now - started_).count();
        const double speed = seconds > 0 ? positionMs / 1000.0 / seconds : 0;
        notifier_.Activity("Time " + FormatClock(positionMs) + ", speed " + FormatSpeed(speed) +
                           activitySuffix_);
    }
}

void ProgressPacer::Finish(int64_t positionMs) {
    Report(positionMs, true);
    if (totalMs_ > 0)
        notifier_.Position(totalMs_);
}

} // namespace VarnexEngine
