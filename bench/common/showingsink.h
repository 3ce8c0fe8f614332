#pragma once

#include "queue/progresssink.h"

#include <QString>

namespace BenchSupport {

// Stands for the window in a benchmark: keeps the last values and texts as the window would
// show them, so that reporting costs what it costs in the program.
class ShowingSink : public Tarnwick::ProgressSink {
public:
    int Begin() override { return 0; }
    int End() override { return 0; }
    int Progress(int kind, int value) override {
        (kind == ProgressTotal ? total_ : position_) = value;
        return 0;
    }
    int Status(int kind, const QString& text) override {
        (kind == StatusResult ? result_ : activity_) = text;
        ++texts_;
        return 0;
    }
    int IsCancelled() override { return 0; }

    qint64 Texts() const { return texts_; }
    const QString& Result() const { return result_; }

private:
    int total_ = 0;
    int position_ = 0;
    qint64 texts_ = 0;
    QString activity_;
    QString result_;
};

} // namespace BenchSupport
