#pragma once

#include <QString>

namespace Tarnwick {

// The callback interface through which a transfer or a conversion reports to whoever runs it
// and learns whether it should stop. All calls arrive on the worker thread that runs the job.
class ProgressSink {
public:
    // Progress kinds.
    static constexpr int ProgressTotal = 1;    // the total of the work that follows (0: not given)
    static constexpr int ProgressPosition = 2; // the position reached, in the total's unit
    // Status kinds.
    static constexpr int StatusResult = 3;   // result line: an error text, or empty on completion
    static constexpr int StatusActivity = 4; // progress or activity line
    static constexpr int StatusWaiting = 5;  // a pause before trying again; empty when it is over

    virtual ~ProgressSink() = default;

    virtual int Begin() = 0;
    virtual int End() = 0;
    virtual int Progress(int kind, int value) = 0;
    virtual int Status(int kind, const QString& text) = 0;
    // Non-zero when the user asked to stop.
    virtual int IsCancelled() = 0;
};

} // namespace Tarnwick
