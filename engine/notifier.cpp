#include "notifier.h"

#include <climits>

namespace VarnexEngine {

namespace {

// Milliseconds travel in the notification's int argument on 32-bit hosts too.
intptr_t ClampMilliseconds(int64_t value) {
    if (value < 0)
        return 0;
    return value > INT_MAX ? INT_MAX : static_cast<intptr_t>(value);
}

} // namespace

Notifier::Notifier(VarnexNotifyFunction function)
    : function_(function) {}

Notifier::Notifier(VarnexContextNotifyFunction function, void* context)
    : contextFunction_(function)
    , context_(context) {}

int Notifier::Send(int code, int a, intptr_t b) {
    if (contextFunction_ != nullptr)
        return contextFunction_(context_, code, a, b);
    return function_ ? function_(code, a, b) : 0;
}

void Notifier::Begin() {
    Send(VARNEX_NOTIFY_BEGIN, 0, 0);
}

void Notifier::End() {
    Send(VARNEX_NOTIFY_END, 0, 0);
}

void Notifier::Total(int64_t milliseconds) {
    Send(VARNEX_NOTIFY_PROGRESS, kTotal, ClampMilliseconds(milliseconds));
}

void Notifier::Position(int64_t milliseconds) {
    Send(VARNEX_NOTIFY_PROGRESS, kPosition, ClampMilliseconds(milliseconds));
}

void Notifier::Activity(const std::string& text) {
    Send(VARNEX_NOTIFY_STATUS, kActivityText, reinterpret_cast<intptr_t>(text.c_str()));
}

void Notifier::Error(const std::string& text) {
    Send(VARNEX_NOTIFY_STATUS, kResultText, reinterpret_cast<intptr_t>(text.c_str()));
}

bool Notifier::StopRequested() {
    if (stopRequested_ || (function_ == nullptr && contextFunction_ == nullptr))
        return stopRequested_;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ < kPollInterval)
        return false;
    lastPoll_ = now;
    stopRequested_ = Send(VARNEX_NOTIFY_ASK_STOP, 0, 0) != 0;
    return stopRequested_;
}

} // namespace VarnexEngine
