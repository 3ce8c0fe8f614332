#pragma once

#include <QString>

namespace Tarnwick {

// The yt-dlp program a run uses, when there is one.
struct YtDlpProgram {
    QString path;    // absolute path of the program; empty when none was found
    QString version; // what its --version printed, such as "2023.03.04"
    bool IsFound() const { return !path.isEmpty(); }
};

// Finds yt-dlp: the program at configuredPath ("YtDlpPath"), or "yt-dlp" on PATH when that is
// empty (a bare name is also looked for on PATH). A program that is missing, cannot be started
// or does not answer --version as yt-dlp does counts as no yt-dlp. Starts a process, so a run
// asks once and keeps the answer.
YtDlpProgram FindYtDlp(const QString& configuredPath);

// Finds yt-dlp when it is first asked for, and keeps the answer: one run looks once.
class YtDlpOnce {
public:
    explicit YtDlpOnce(QString configuredPath)
        : configuredPath_(std::move(configuredPath)) {}
    const YtDlpProgram& Get() {
        if (!looked_) {
            program_ = FindYtDlp(configuredPath_);
            looked_ = true;
        }
        return program_;
    }

private:
    QString configuredPath_;
    YtDlpProgram program_;
    bool looked_ = false;
};

} // namespace Tarnwick
