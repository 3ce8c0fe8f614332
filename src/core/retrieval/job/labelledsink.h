#pragma once

#include "queue/progresssink.h"

#include <QString>

namespace Tarnwick {

// Passes everything on to another sink, putting a label before each activity text, so that
// the status line keeps saying which of several offered renditions is being downloaded.
class LabelledSink : public ProgressSink {
public:
    explicit LabelledSink(ProgressSink* inner)
        : inner_(inner) {}

    void SetLabel(const QString& label) {
        prefix_ = label.isEmpty() ? QString() : label + QStringLiteral(": ");
    }

    int Begin() override { return inner_ != nullptr ? inner_->Begin() : 0; }
    int End() override { return inner_ != nullptr ? inner_->End() : 0; }
    int Progress(int kind, int value) override {
        return inner_ != nullptr ? inner_->Progress(kind, value) : 0;
    }
    int Status(int kind, const QString& text) override {
        if (inner_ == nullptr)
            return 0;
        if (kind == StatusActivity && !prefix_.isEmpty() && !text.isEmpty())
            return inner_->Status(kind, prefix_ + text);
        return inner_->Status(kind, text);
    }
    int IsCancelled() override { return inner_ != nullptr ? inner_->IsCancelled() : 0; }

private:
    ProgressSink* inner_;
    QString prefix_;
};

} // namespace Tarnwick
