#include "windowruncontext.h"

#include "retrieval/transfer/sharedrate.h"
#include "runwindow.h"
#include "windowjobcontext.h"

namespace Tarnwick {

WindowRunContext::WindowRunContext(QObject& windowObject, RunWindow& window, RunState& run,
                                   RunDisplayBoard& board, RowProgressBoard& rows, RunOptions options,
                                   QString videoHost, QString ytDlpPath, const Preset* preset,
                                   ConversionEngine* engine, OverwritePolicy policy, bool keepsUnfinished,
                                   std::function<RunLimits()> limits)
    : windowObject_(windowObject)
    , window_(window)
    , run_(run)
    , board_(board)
    , rows_(rows)
    , options_(std::move(options))
    , videoHost_(std::move(videoHost))
    , ytDlp_(std::move(ytDlpPath))
    , preset_(preset ? std::optional<Preset>(*preset) : std::nullopt)
    , engine_(engine)
    , policy_(int(policy))
    , keepsUnfinished_(keepsUnfinished)
    , limits_(std::move(limits)) {}

QList<ScheduledFrontEnd::RowAddress> WindowRunContext::Rows() {
    QList<RowAddress> rows;
    OnWindowThread([this, &rows] { rows = window_.RowAddresses(); });
    return rows;
}

std::shared_ptr<JobContext> WindowRunContext::ContextFor(quint64 id, int index) {
    DownloadJob record;
    OnWindowThread([this, id, index, &record] {
        const int row = window_.RowOfJob(id);
        record = window_.JobRecord(row >= 0 ? row : index);
    });
    // A job run again starts without the reason of its last failure.
    record.failureText.clear();
    return std::make_shared<WindowJobContext>(*this, std::move(record), atOnce_.load() <= 1);
}

RunLimits WindowRunContext::Limits() {
    RunLimits limits;
    OnWindowThread([this, &limits] { limits = limits_ ? limits_() : RunLimits{}; });
    atOnce_ = limits.atOnce;
    return limits;
}

void WindowRunContext::InProgressChanged(int count) {
    if (options_.network.rate != nullptr)
        options_.network.rate->SetSharers(count);
}

int WindowRunContext::AskOverwrite(const QString& fileName) {
    // The other jobs that need an answer wait for this one; "to All" then holds for them.
    std::lock_guard ask(askMutex_);
    switch (OverwritePolicy(policy_.load())) {
    case OverwritePolicy::OverwriteAll:
        return JobContext::AnswerYes;
    case OverwritePolicy::SkipAll:
        return JobContext::AnswerNo;
    case OverwritePolicy::Ask:
        break;
    }
    int answer = JobContext::AnswerCancel;
    OnWindowThread([this, &answer, &fileName] { answer = window_.AskOverwrite(fileName); });
    if (answer == JobContext::AnswerYesToAll)
        policy_ = int(OverwritePolicy::OverwriteAll);
    else if (answer == JobContext::AnswerNoToAll || answer == JobContext::AnswerCancel)
        policy_ = int(OverwritePolicy::SkipAll);
    return answer;
}

void WindowRunContext::FolderMissing(const QString& folder) {
    OnWindowThread([this, &folder] {
        window_.ShowMessage(QStringLiteral("Cannot find or create the folder:\n%1").arg(folder));
    });
}

void WindowRunContext::ShowProgressDisplay(bool shown) {
    OnWindowThread([this, shown] { window_.ShowProgressDisplay(shown); });
}

int WindowRunContext::SelectJob(int index) {
    int count = 0;
    OnWindowThread([this, index, &count] { count = window_.SelectJob(index); });
    return count;
}

int WindowRunContext::ItemCount() {
    int count = 0;
    OnWindowThread([this, &count] { count = window_.JobCount(); });
    return count;
}

void WindowRunContext::ShowSummary(const QString& text) {
    OnWindowThread([this, &text] { window_.ShowSummary(text); });
}

} // namespace Tarnwick
