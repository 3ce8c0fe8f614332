// "Update yt-dlp" as the window runs and shows it: in the place of a download run, so that the
// status line, the bar and Stop work as they do for one.

#include "app/appsettings.h"
#include "mainwindow.h"
#include "queue/progresssink.h"
#include "retrieval/sources/ytdlp/update/ytdlpupdater.h"

#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <memory>

namespace Tarnwick {

namespace {

// Turns the update's reports into the run's bar, percentage and status line.
class UpdateDisplaySink : public ProgressSink {
public:
    UpdateDisplaySink(RunState& run, RunDisplayBoard& board)
        : run_(run)
        , board_(board) {}

    int Begin() override {
        ShowPercent(0);
        return 0;
    }
    int End() override { return 0; }
    int Progress(int kind, int value) override {
        if (kind == ProgressTotal)
            totalKB_ = value;
        else if (totalKB_ > 0)
            ShowPercent(int(qint64(value) * 100 / totalKB_));
        return 0;
    }
    int Status(int kind, const QString& text) override {
        if (kind == StatusActivity && !text.isEmpty())
            board_.SetStatus(QStringLiteral("Updating yt-dlp: ") + text);
        else if (kind == StatusWaiting && !text.isEmpty())
            board_.SetStatus(QStringLiteral("Updating yt-dlp: ") + text);
        return 0;
    }
    int IsCancelled() override { return run_.StopRequested() ? 1 : 0; }

private:
    void ShowPercent(int percent) {
        percent = qBound(0, percent, 100);
        board_.SetBar(percent);
        board_.SetPercent(QStringLiteral("%1%").arg(percent));
    }

    RunState& run_;
    RunDisplayBoard& board_;
    int totalKB_ = 0;
};

} // namespace

void MainWindow::StartYtDlpUpdate() {
    if (IsRunning())
        return;
    run_.stopRequest = static_cast<int>(StopRequest::None);
    run_.currentIndex = -1;
    board_.Take();
    const YtDlpUpdateOptions options = YtDlpUpdateDefaults(settings_.ytDlpUpdateUrl);
    auto result = std::make_shared<YtDlpUpdateResult>();
    thread_ = QThread::create([this, options, result] {
        UpdateDisplaySink sink(run_, board_);
        *result = UpdateYtDlp(options, &sink);
    });
    thread_->setObjectName(QStringLiteral("yt-dlp update"));
    connect(
        thread_, &QThread::finished, this, [this, result] { OnYtDlpUpdateFinished(*result); },
        Qt::QueuedConnection);
    SetRunningLayout();
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    ShowStatus(QStringLiteral("Updating yt-dlp from %1").arg(options.releaseUrl));
    displayTimer_->start();
    thread_->start();
}

void MainWindow::OnYtDlpUpdateFinished(const YtDlpUpdateResult& result) {
    if (!EndWorker())
        return;
    const auto stop = static_cast<StopRequest>(run_.stopRequest.load());
    SetIdleLayout();
    // The outcome stays in the status line, as a run's summary does.
    ShowStatus(result.message);
    ShowSummaryInIdleLayout();
    EchoWhereNobodySees(result.message);
    emit runFinished();
    if (stop == StopRequest::StopAndClose) {
        done(QDialog::Rejected);
        return;
    }
    if (result.outcome != YtDlpUpdateResult::Outcome::Stopped)
        ShowMessage(result.message);
}

} // namespace Tarnwick
