#pragma once

#include "ytdlpchoice.h"

#include <QString>
#include <functional>
#include <mutex>
#include <optional>

namespace Tarnwick {

// The yt-dlp program a run uses, when there is one.
struct YtDlpProgram {
    QString path;    // absolute path of the program; empty when none was found
    QString version; // what its --version printed, such as "2023.03.04"
    YtDlpOrigin origin = YtDlpOrigin::None;
    bool IsFound() const { return !path.isEmpty(); }
};

// Finds yt-dlp: the program at configuredPath ("YtDlpPath"; a bare name is looked for on PATH),
// or when that is empty the newer of Tarnwick's own copy and "yt-dlp" on PATH (see
// ChooseNewerYtDlp). A program that is missing, cannot be started or does not answer --version
// as yt-dlp does counts as no yt-dlp. A program that answered before and has not changed since
// (see YtDlpVersionCache) is not asked again; any other is started, so a run asks once and keeps
// the answer; stopRequested ends a probe that takes long.
YtDlpProgram FindYtDlp(const QString& configuredPath, const std::function<bool()>& stopRequested = {});

// The answer FindYtDlp would give, from what earlier runs learned, without starting anything;
// nothing when a program it would look at has not answered yet as it is now. For showing which
// yt-dlp is in use where a probe would cost more than the answer is worth.
std::optional<YtDlpProgram> CachedYtDlp(const QString& configuredPath);

// Finds yt-dlp when it is first asked for, and keeps the answer: one run looks once.
class YtDlpOnce {
public:
    // stopRequested, when given, ends the looking early (a dialog closed while it reads).
    explicit YtDlpOnce(QString configuredPath, std::function<bool()> stopRequested = {})
        : configuredPath_(std::move(configuredPath))
        , stopRequested_(std::move(stopRequested)) {}
    // Jobs that run at once may ask together: one looks, the others wait for its answer.
    const YtDlpProgram& Get() {
        std::call_once(looked_, [this] { program_ = FindYtDlp(configuredPath_, stopRequested_); });
        return program_;
    }

private:
    QString configuredPath_;
    std::function<bool()> stopRequested_;
    YtDlpProgram program_;
    std::once_flag looked_;
};

} // namespace Tarnwick
