#include "modalscript.h"

#include <QDialog>
#include <QTimer>

namespace {

constexpr int PollMs = 50;

} // namespace

ModalScript& ModalScript::Then(std::function<void()> step, int delayMs) {
    steps_.push_back({[step = std::move(step)] {
                          step();
                          return true;
                      },
                      delayMs, QString(), 0});
    return *this;
}

ModalScript& ModalScript::WaitFor(const QString& what, std::function<bool()> condition, int timeoutMs) {
    steps_.push_back({std::move(condition), PollMs, what, timeoutMs});
    return *this;
}

int ModalScript::Run(QDialog& dialog) {
    stepsRun_ = 0;
    failures_.clear();
    if (!steps_.empty())
        Schedule(0, steps_.front().delayMs);
    return dialog.exec();
}

void ModalScript::Schedule(size_t index, int delayMs) {
    // A zero-timeout timer started before exec() fires once the dialog's loop runs.
    QTimer::singleShot(delayMs, [this, index] {
        Step& step = steps_[index];
        if (!step.run()) {
            waitedMs_ += PollMs;
            if (waitedMs_ < step.timeoutMs) {
                Schedule(index, PollMs);
                return;
            }
            failures_.append(QStringLiteral("timed out waiting for ") + step.what);
        }
        waitedMs_ = 0;
        ++stepsRun_;
        if (index + 1 < steps_.size())
            Schedule(index + 1, steps_[index + 1].delayMs);
    });
}
