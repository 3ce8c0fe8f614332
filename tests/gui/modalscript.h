#pragma once

#include <QStringList>
#include <functional>
#include <vector>

class QDialog;

// Drives a dialog that runs modally, the way the program runs its window: exec() with steps
// played from inside the dialog's own event loop, one timer event each. If the loop ends
// early, the steps after that point never run, and StepsRun() says where it ended.
class ModalScript {
public:
    // Runs step after delayMs.
    ModalScript& Then(std::function<void()> step, int delayMs = 50);
    // Waits until condition holds; records a failure named what when timeoutMs pass first.
    ModalScript& WaitFor(const QString& what, std::function<bool()> condition, int timeoutMs = 30000);

    // exec() of the dialog with the steps played; returns its result.
    int Run(QDialog& dialog);
    int StepsRun() const { return stepsRun_; }
    int StepCount() const { return static_cast<int>(steps_.size()); }
    const QStringList& Failures() const { return failures_; }

private:
    struct Step {
        std::function<bool()> run; // false: run again a little later
        int delayMs;
        QString what;
        int timeoutMs;
    };
    void Schedule(size_t index, int delayMs);

    std::vector<Step> steps_;
    int stepsRun_ = 0;
    int waitedMs_ = 0;
    QStringList failures_;
};
