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
    // stop: the run's stop request, shared by the sinks of all its jobs. rewriting: whether
    // activity may go on a rewritten line (when out is a terminal); a job that runs beside
    // others prints only its result lines.
    ConsoleSink(std::FILE* out, const std::atomic<bool>* stop, bool rewriting = true);

    int Begin() override { return 0; }
    int End() override { return 0; }
    int Progress(int, int) override { return 0; }
    int Status(int kind, const QString& text) override;
    int IsCancelled() override { return stop_->load() ? 1 : 0; }

    // Ends the rewritten line, if one is open.
    void FinishLine();

private:
    std::FILE* out_;
    bool interactive_;
    bool lineOpen_ = false;
    const std::atomic<bool>* stop_;
};

} // namespace Tarnwick
