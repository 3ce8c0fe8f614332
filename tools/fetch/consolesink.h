#pragma once

#include "queue/progresssink.h"

#include <QString>
#include <atomic>
#include <cstdio>

namespace Tarnwick {

// Reports a transfer on a terminal: activity on one rewritten line when the output is a
// terminal, only result lines otherwise, so that logs stay readable.
class ConsoleSink : public ProgressSink {
public:
    explicit ConsoleSink(std::FILE* out);

    int Begin() override { return 0; }
    int End() override { return 0; }
    int Progress(int, int) override { return 0; }
    int Status(int kind, const QString& text) override;
    int IsCancelled() override { return stop_.load() ? 1 : 0; }

    void RequestStop() { stop_ = true; }
    // Ends the rewritten line, if one is open.
    void FinishLine();

private:
    std::FILE* out_;
    bool interactive_;
    bool lineOpen_ = false;
    std::atomic<bool> stop_{false};
};

} // namespace Tarnwick
