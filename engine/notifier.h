#pragma once

#include "varnex.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace VarnexEngine {

// The host's notification function, wrapped: the plain one of command 201 or the one with the
// host's context of command 202. Without a function every call does nothing and no stop is
// ever asked for.
class Notifier {
public:
    // Status kinds, as the host's progress sink reads them.
    static constexpr int kResultText = 3;   // an error or the final result
    static constexpr int kActivityText = 4; // the time reached and the speed
    // Progress kinds.
    static constexpr int kTotal = 1;
    static constexpr int kPosition = 2;

    explicit Notifier(VarnexNotifyFunction function);
    Notifier(VarnexContextNotifyFunction function, void* context);

    void Begin();
    void End();
    void Total(int64_t milliseconds);
    void Position(int64_t milliseconds);
    void Activity(const std::string& text);
    void Error(const std::string& text);

    // Asks the host whether to stop, at most every kPollInterval; a stop once answered stays.
    bool StopRequested();

private:
    static constexpr std::chrono::milliseconds kPollInterval{50};

    int Send(int code, int a, intptr_t b);

    VarnexNotifyFunction function_ = nullptr;
    VarnexContextNotifyFunction contextFunction_ = nullptr;
    void* context_ = nullptr;
    std::chrono::steady_clock::time_point lastPoll_{};
    bool stopRequested_ = false;
};

} // namespace VarnexEngine
