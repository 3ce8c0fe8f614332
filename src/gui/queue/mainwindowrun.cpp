// The download run as the window drives and shows it.

#include "app/appsettings.h"
#include "app/downloadfolder.h"
#include "app/messages.h"
#include "joblistview.h"
#include "mainwindow.h"
#include "overwriteconfirmdialog.h"
#include "queue/journalkeeper.h"
#include "retrieval/job/jobcontext.h"
#include "ui/twocolumncombobox.h"
#include "ui/vendor.h"
#include "windowruncontext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <climits>
#include <cstdio>

namespace Tarnwick {

void MainWindow::StartRun() {
    if (IsRunning())
        return;
    TakeControlValues();
    // An empty field would make the run fail on a folder without a name.
    if (saveFolder_.trimmed().isEmpty()) {
        saveFolder_ = FallbackDownloadFolder();
        SetFolderText(saveFolder_);
    }
    chosenPreset_ =
        presetIndex_ >= 0
            ? reinterpret_cast<const Preset*>(presetCombo_->itemData(presetIndex_).value<quintptr>())
            : nullptr;
    if (!saveFolder_.isEmpty() && QFileInfo(saveFolder_).isDir()) {
        settings_.recentFolderList.Add(saveFolder_);
        RefillFolderList();
    }

    const OverwritePolicy policy =
        settings_.alwaysOverwrite ? OverwritePolicy::OverwriteAll : OverwritePolicy::Ask;
    run_.stopRequest = static_cast<int>(StopRequest::None);
    run_.currentIndex = -1;
    run_.phase = static_cast<int>(RunPhase::PhasePrepare);
    run_.total = 100;
    run_.itemCount = model_->rowCount();
    board_.Take();

    RunOptions options;
    options.outputFolder = saveFolder_;
    options.convert = convert_;
    options.quality = static_cast<VideoQuality>(qualityIndex_);
    options.segmentConnections = settings_.segmentConnections;
    options.largestPicture = settings_.largestPicture;
    options.preferredCodec = settings_.preferredCodec;
    options.embedMetadata = settings_.embedMetadata;
    options.subtitles = settings_.Subtitles();
    options.cookies = {settings_.cookiesFile, settings_.cookiesFromBrowser, {}};
    rate_.SetLimit(qint64(settings_.speedLimit) * 1024);
    options.network = TransferNetwork{settings_.proxy, &rate_, nullptr};
    RunWindow& runWindow = *this; // the run's narrow view of this window
    rowBoard_.TakeChanges();
    rowProgress_.clear();
    // Read before every start, so that a change in Options takes effect at the next one.
    const auto limits = [this] {
        return RunLimits{settings_.downloadsAtOnce, settings_.downloadsPerSite};
    };
    context_ = std::make_unique<WindowRunContext>(*this, runWindow, run_, board_, rowBoard_, options,
                                                  settings_.videoHost, settings_.ytDlpPath, chosenPreset_,
                                                  engine_, policy, journal_ != nullptr, limits);

    SetRunningLayout();
    WindowRunContext* context = context_.get();
    thread_ = QThread::create(
        [this, context] { ExecuteScheduledRun(run_, context->Options(), *context, procedure_); });
    thread_->setObjectName(QStringLiteral("download run"));
    connect(thread_, &QThread::finished, this, &MainWindow::OnRunFinished, Qt::QueuedConnection);
    displayTimer_->start();
    thread_->start();
    if (!thread_->isRunning() && !thread_->isFinished()) {
        // No worker: go back to idle rather than leaving the window stuck in the running layout.
        delete thread_;
        thread_ = nullptr;
        context_.reset();
        displayTimer_->stop();
        SetIdleLayout();
        ShowMessage(QStringLiteral("Cannot start the download: no worker thread could be created."));
    }
}

void MainWindow::RequestStop() {
    if (IsRunning())
        run_.RequestStop(StopRequest::Stop);
}

bool MainWindow::EndWorker() {
    if (!thread_)
        return false;
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    displayTimer_->stop();
    ApplyDisplay(); // the last values the worker left
    return true;
}

void MainWindow::OnRunFinished() {
    if (!EndWorker())
        return;
    context_.reset();
    // The stopped job's kept download is on record before the window may close.
    if (journalKeeper_)
        journalKeeper_->Flush();

    const auto stop = static_cast<StopRequest>(run_.stopRequest.load());
    SetIdleLayout();
    if (std::exchange(summaryPending_, false))
        ShowSummaryInIdleLayout();
    emit runFinished();
    if (stop == StopRequest::None && closeWhenDoneCheck_->isChecked())
        QTimer::singleShot(0, this, [this] { close(); });
    else if (stop == StopRequest::StopAndClose)
        done(QDialog::Rejected);
}

void MainWindow::ApplyDisplay() {
    const auto rowChanges = rowBoard_.TakeChanges();
    for (auto change = rowChanges.cbegin(); change != rowChanges.cend(); ++change) {
        QString activity;
        if (change->has_value()) {
            activity = change->value().text;
            rowProgress_.insert(change.key(), change->value());
        } else {
            rowProgress_.remove(change.key());
        }
        model_->SetActivity(RowOfJob(change.key()), activity);
    }
    if (!rowChanges.isEmpty())
        ShowSeveralInProgress();
    const RunDisplayBoard::Snapshot snapshot = board_.Take();
    if (snapshot.bar)
        progressBar_->setValue(*snapshot.bar);
    if (snapshot.percent)
        percentLabel_->setText(*snapshot.percent);
    if (snapshot.title)
        setWindowTitle(*snapshot.title);
    if (snapshot.status)
        ShowStatus(*snapshot.status);
}

void MainWindow::ShowSeveralInProgress() {
    if (rowProgress_.isEmpty())
        return;
    int first = INT_MAX;
    int last = -1;
    double speed = 0;
    double percent = 0;
    for (auto job = rowProgress_.cbegin(); job != rowProgress_.cend(); ++job) {
        const int row = RowOfJob(job.key());
        first = qMin(first, row);
        last = qMax(last, row);
        speed += job->bytesPerSecond;
        percent += job->percent;
    }
    const int rows = model_->rowCount();
    ShowStatus(SeveralJobsStatusText(first + 1, last + 1, rows, int(rowProgress_.size()), speed));
    // The run as a whole: the rows done count whole, the rows in progress by their part.
    int done = 0;
    for (int row = 0; row < rows; ++row) {
        const JobState state = model_->Job(row).state;
        done +=
            state == JobState::Succeeded || state == JobState::Failed || state == JobState::Skipped ? 1 : 0;
    }
    const int overall = rows > 0 ? int((100.0 * done + percent) / rows) : 0;
    progressBar_->setValue(qBound(0, overall, 100));
    percentLabel_->setText(QStringLiteral("%1 %").arg(overall));
    setWindowTitle(QStringLiteral("%1% - %2").arg(overall).arg(ProductTitle));
}

void MainWindow::ShowStatus(const QString& text) {
    statusLine_->setText(text);
    SetCompactTip(text);
}

void MainWindow::EchoWhereNobodySees(const QString& text) {
    // On the offscreen platform (a script, the demo without a display) the job states and the
    // summary also go to standard output, so a run can be followed.
    if (!CanAskUser() && !text.isEmpty()) {
        std::printf("%s\n", qPrintable(text));
        std::fflush(stdout);
    }
}

QList<ScheduledFrontEnd::RowAddress> MainWindow::RowAddresses() const {
    QList<ScheduledFrontEnd::RowAddress> rows;
    rows.reserve(model_->rowCount());
    for (int row = 0; row < model_->rowCount(); ++row)
        rows.append({model_->Job(row).id, model_->Job(row).url});
    return rows;
}

int MainWindow::RowOfJob(quint64 id) const {
    for (int row = 0; row < model_->rowCount(); ++row)
        if (model_->Job(row).id == id)
            return row;
    return -1;
}

DownloadJob MainWindow::JobRecord(int index) const {
    return index >= 0 && index < model_->rowCount() ? model_->Job(index) : DownloadJob();
}

void MainWindow::ShowJobRecord(int row, const DownloadJob& record) {
    // What the worker reported before the change is shown first; its status line is outdated.
    board_.DropStatus();
    ApplyDisplay();
    if (row < 0 || row >= model_->rowCount())
        return;
    model_->TakeResults(row, record);
    list_->scrollTo(model_->index(row, 0));
    QString text = JobStateStatusText(record.state);
    if (record.state == JobState::Failed && !record.failureText.isEmpty())
        text += QStringLiteral(": ") + record.failureText;
    const QString line =
        text.isEmpty() ? QString() : QStringLiteral("[%1 / %2] ").arg(row + 1).arg(model_->rowCount()) + text;
    ShowStatus(line);
    EchoWhereNobodySees(line);
    UpdateCommands();
}

void MainWindow::UpdateJobRecord(int row, const DownloadJob& record) {
    if (row >= 0 && row < model_->rowCount())
        model_->TakeResults(row, record);
}

int MainWindow::SelectJob(int index) {
    list_->SelectAlone(index);
    return model_->rowCount();
}

int MainWindow::JobCount() const {
    return model_->rowCount();
}

void MainWindow::InsertJobs(int index, const QList<DownloadJob>& jobs) {
    model_->InsertAfter(index, jobs);
    UpdateHeader();
}

void MainWindow::ShowSummary(const QString& text) {
    ShowStatus(text);
    EchoWhereNobodySees(text);
    summaryPending_ = true;
}

void MainWindow::ShowProgressDisplay(bool shown) {
    progressBar_->setRange(0, 100);
    progressBar_->setVisible(shown);
    percentLabel_->setVisible(shown);
    UpdateCommands();
}

int MainWindow::AskOverwrite(const QString& fileName) {
    ApplyDisplay();
    if (askOverwrite_)
        return askOverwrite_(fileName);
    if (!CanAskUser()) {
        // Nobody can answer: keep the existing file.
        std::fprintf(stderr, "%s exists; kept (nobody can answer the overwrite question)\n",
                     qPrintable(fileName));
        return JobContext::AnswerNo;
    }
    OverwriteConfirmDialog dialog(fileName, this);
    return dialog.exec();
}

} // namespace Tarnwick
