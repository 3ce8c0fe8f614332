#include "windowruncontext.h"

#include "joblistview.h"
#include "mainwindow.h"
#include "ui/vendor.h"

#include <QMetaObject>
#include <QThread>

namespace Tarnwick {

WindowRunContext::WindowRunContext(MainWindow& window, RunOptions options, QString videoHost,
                                   const Preset* preset, ConversionEngine* engine, OverwritePolicy policy)
    : window_(window)
    , options_(std::move(options))
    , videoHost_(std::move(videoHost))
    , preset_(preset ? std::optional<Preset>(*preset) : std::nullopt)
    , engine_(engine)
    , policy_(policy)
    , downloadSink_(window.run_, window.board_, ProductTitle)
    , conversionSink_(window.run_, window.board_, ProductTitle) {}

template <typename Function>
void WindowRunContext::OnWindowThread(Function&& function) {
    if (QThread::currentThread() == window_.thread()) {
        function();
        return;
    }
    QMetaObject::invokeMethod(&window_, std::forward<Function>(function), Qt::BlockingQueuedConnection);
}

DownloadJob& WindowRunContext::Job(int index) {
    if (index != jobIndex_ || !job_) {
        // The record lives behind a stable pointer; only finding it needs the window's thread.
        OnWindowThread([this, index] { job_ = &window_.model_->Job(index); });
        jobIndex_ = index;
    }
    return *job_;
}

void WindowRunContext::SetJobState(int index, JobState state) {
    OnWindowThread([this, index, state] { window_.ShowJobState(index, state); });
}

int WindowRunContext::AskOverwrite(const QString& fileName) {
    int answer = AnswerCancel;
    OnWindowThread([this, &answer, &fileName] { answer = window_.AskOverwrite(fileName); });
    return answer;
}

void WindowRunContext::SetPhase(RunPhase phase) {
    window_.run_.phase = static_cast<int>(phase);
}

void WindowRunContext::ResetProgress() {
    window_.board_.SetBar(0);
    window_.board_.SetPercent(QString());
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
    OnWindowThread([this, index, &count] {
        window_.list_->SelectAlone(index);
        job_ = &window_.model_->Job(index);
        count = window_.model_->rowCount();
    });
    jobIndex_ = index;
    return count;
}

int WindowRunContext::ItemCount() {
    int count = 0;
    OnWindowThread([this, &count] { count = window_.model_->rowCount(); });
    return count;
}

void WindowRunContext::ShowSummary(const QString& text) {
    OnWindowThread([this, &text] {
        window_.ShowStatus(text);
        window_.EchoWhereNobodySees(text);
    });
}

} // namespace Tarnwick
