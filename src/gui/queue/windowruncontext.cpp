#include "windowruncontext.h"

#include "retrieval/transfer/httptransfer.h"
#include "runwindow.h"
#include "ui/vendor.h"

#include <QMetaObject>
#include <QThread>

namespace Tarnwick {

WindowRunContext::WindowRunContext(QObject& windowObject, RunWindow& window, RunState& run,
                                   RunDisplayBoard& board, RunOptions options, QString videoHost,
                                   QString ytDlpPath, const Preset* preset, ConversionEngine* engine,
                                   OverwritePolicy policy, bool keepsUnfinished)
    : windowObject_(windowObject)
    , window_(window)
    , run_(run)
    , board_(board)
    , options_(std::move(options))
    , videoHost_(std::move(videoHost))
    , ytDlp_(std::move(ytDlpPath))
    , preset_(preset ? std::optional<Preset>(*preset) : std::nullopt)
    , engine_(engine)
    , policy_(policy)
    , keepsUnfinished_(keepsUnfinished)
    , downloadSink_(run, board, ProductTitle)
    , conversionSink_(run, board, ProductTitle) {}

template <typename Function>
void WindowRunContext::OnWindowThread(Function&& function) {
    if (QThread::currentThread() == windowObject_.thread()) {
        function();
        return;
    }
    QMetaObject::invokeMethod(&windowObject_, std::forward<Function>(function), Qt::BlockingQueuedConnection);
}

void WindowRunContext::TakeRecord(int index) {
    OnWindowThread([this, index] { record_ = window_.JobRecord(index); });
    jobIndex_ = index;
    // A job run again starts without the reason of its last failure.
    record_.failureText.clear();
    downloadSink_.TakeResult();
    conversionSink_.TakeResult();
}

DownloadJob& WindowRunContext::Job(int index) {
    if (index != jobIndex_)
        TakeRecord(index);
    return record_;
}

void WindowRunContext::SetJobState(int index, JobState state) {
    if (index != jobIndex_)
        TakeRecord(index);
    record_.state = state;
    if (state == JobState::Failed && run_.StopRequested()) {
        // A stopped transfer or conversion ends without an error of its own; say who stopped it.
        record_.failureText = StopReasonText(static_cast<StopRequest>(run_.stopRequest.load()));
    } else if (state == JobState::Failed && record_.failureText.isEmpty()) {
        // The procedure gave no reason of its own: the last error its transfer or conversion said.
        record_.failureText = conversionSink_.TakeResult();
        if (record_.failureText.isEmpty())
            record_.failureText = downloadSink_.TakeResult();
    }
    const DownloadJob shown = record_;
    OnWindowThread([this, index, &shown] { window_.ShowJobRecord(index, shown); });
}

void WindowRunContext::PartialChanged(int index) {
    if (index != jobIndex_)
        return;
    const DownloadJob record = record_;
    OnWindowThread([this, index, &record] { window_.UpdateJobRecord(index, record); });
}

bool WindowRunContext::InsertJobs(int index, const QList<DownloadJob>& jobs) {
    OnWindowThread([this, index, &jobs] { window_.InsertJobs(index, jobs); });
    return true;
}

int WindowRunContext::AskOverwrite(const QString& fileName) {
    int answer = AnswerCancel;
    OnWindowThread([this, &answer, &fileName] { answer = window_.AskOverwrite(fileName); });
    return answer;
}

void WindowRunContext::SetPhase(RunPhase phase) {
    run_.phase = static_cast<int>(phase);
}

void WindowRunContext::ResetProgress() {
    board_.SetBar(0);
    board_.SetPercent(QString());
}

void WindowRunContext::ConfigureTransfer(HttpTransfer& transfer) {
    transfer.SetSegmentConnections(options_.segmentConnections);
    transfer.SetNetwork(options_.network);
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
    TakeRecord(index);
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
