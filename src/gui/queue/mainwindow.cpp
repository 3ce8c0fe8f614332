#include "mainwindow.h"

#include "app/appsettings.h"
#include "commandids.h"
#include "joblistview.h"
#include "queue/journalkeeper.h"
#include "ui/programicon.h"
#include "ui/twocolumncombobox.h"
#include "ui/vendor.h"
#include "windowruncontext.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QThread>
#include <QTimer>
#include <utility>

namespace Tarnwick {

MainWindow::MainWindow(AppSettings& settings, ConversionEngine* engine, Catalog* catalog,
                       JobProcedure procedure, QWidget* parent)
    : QDialog(parent)
    , settings_(settings)
    , engine_(engine)
    , catalog_(catalog)
    , procedure_(std::move(procedure)) {
    setObjectName(IdName(128));
    setAcceptDrops(true);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    setWindowTitle(ProductTitle);

    // A stored AutoClose lets a run started from the command line end the program by itself.
    closeWhenDone_ = settings_.autoClose;
    convert_ = settings_.convert;
    saveFolder_ = settings_.defaultFolder;
    keepOnTop_ = settings_.keepOnTop;
    qualityIndex_ = settings_.quality;

    CreateControls();
    CreateCommands();
    CreateMenus();
    PushFieldsToControls();
    FillFolderField();
    FillFormatCombo();
    SetIdleLayout();
    ApplyKeepOnTop();
    UpdateHeader();

    displayTimer_ = new QTimer(this);
    // About thirty repaints a second, however fast the transfer reports.
    displayTimer_->setInterval(33);
    connect(displayTimer_, &QTimer::timeout, this, &MainWindow::ApplyDisplay);

    // A stored compact mode starts the window small; the full rectangle is its own layout.
    if (settings_.iconic)
        QTimer::singleShot(0, this, [this] { SetCompact(true); });
}

MainWindow::~MainWindow() {
    if (thread_) {
        // Never leave the worker behind: it calls into this window until it ends. Its end is
        // awaited here, so the end-of-run handling (which returns without a thread) must not
        // take it over while events are processed.
        run_.RequestStop(StopRequest::StopAndClose);
        QThread* thread = std::exchange(thread_, nullptr);
        disconnect(thread, nullptr, this, nullptr);
        while (!thread->wait(10))
            QCoreApplication::processEvents();
        delete thread;
    }
    WriteSettings();
    // The list as it stands at the end: what is unfinished comes back next time.
    if (journalKeeper_)
        journalKeeper_->Flush();
    journalKeeper_.reset();
}

void MainWindow::PushFieldsToControls() {
    closeWhenDoneCheck_->setChecked(closeWhenDone_);
    convertCheck_->setChecked(convert_);
    keepOnTopCheck_->setChecked(keepOnTop_);
    qualityCombo_->setCurrentIndex(std::clamp(qualityIndex_, 0, qualityCombo_->count() - 1));
}

void MainWindow::TakeControlValues() {
    closeWhenDone_ = closeWhenDoneCheck_->isChecked();
    convert_ = convertCheck_->isChecked();
    saveFolder_ = folderField_->currentText();
    keepOnTop_ = keepOnTopCheck_->isChecked();
    formatIndex_ = formatCombo_->currentIndex();
    presetIndex_ = presetCombo_->currentIndex();
    qualityIndex_ = qualityCombo_->currentIndex();
}

void MainWindow::WriteSettings() {
    settings_.recentFormat = formatIndex_;
    settings_.recentPreset = presetIndex_;
    settings_.convert = convert_;
    settings_.keepOnTop = keepOnTop_;
    settings_.autoClose = closeWhenDone_;
    settings_.quality = qualityIndex_;
}

void MainWindow::UpdateCommands() {
    if (!list_ || actions_.isEmpty())
        return;
    const QList<int> selected = list_->SelectedRows();
    const bool anySelected = !selected.isEmpty();
    const bool jobInProgress = run_.currentIndex.load() != -1;
    const bool listEmpty = model_->rowCount() == 0;
    const bool firstSucceeded = anySelected && model_->Job(selected.first()).state == JobState::Succeeded;

    auto enable = [this](int id, bool enabled) {
        for (QAction* action : actions_.value(id))
            action->setEnabled(enabled);
    };
    enable(Command::Remove, anySelected && !jobInProgress);
    enable(Command::Clear, !listEmpty && !jobInProgress);
    enable(Command::StartDownloading, !listEmpty && !jobInProgress);
    enable(Command::Stop, jobInProgress);
    enable(Command::CopyUrl, anySelected);
    enable(Command::WatchOnline, anySelected);
    enable(Command::ChooseFormat, anySelected && !IsInProgress(model_->Job(selected.first()).state));
    enable(Command::Play, firstSucceeded);
    enable(Command::Rename, firstSucceeded);
    enable(Command::CopyTo, firstSucceeded);
    enable(Command::UpdateYtDlp, !IsRunning());
}

void MainWindow::UpdateHeader() {
    const int count = model_->rowCount();
    run_.itemCount = count;
    SetCompactTip(QStringLiteral("URL (%1)").arg(count));
    list_->UpdateHint();
    UpdateCommands();
}

void MainWindow::OnListChanged() {
    UpdateHeader();
    HideSummary();
}

void MainWindow::SetCompactTip(const QString& text) {
    programIcon_->setToolTip(text);
}

QString MainWindow::CompactTip() const {
    return programIcon_->toolTip();
}

QString MainWindow::FolderText() const {
    return folderField_->currentText();
}

void MainWindow::SetFolderText(const QString& folder) {
    folderField_->setEditText(folder);
}

QString MainWindow::StatusText() const {
    return statusLine_->text();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (IsRunning()) {
        // The window stays until the worker has ended; then the run's end closes it.
        run_.RequestStop(StopRequest::StopAndClose);
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void MainWindow::accept() {
    CloseCommand();
}

void MainWindow::reject() {
    if (IsRunning()) {
        run_.RequestStop(StopRequest::StopAndClose);
        return;
    }
    QDialog::reject();
}

void MainWindow::done(int result) {
    // Every way of closing keeps what the user set in the check boxes and lists.
    TakeControlValues();
    WriteSettings();
    if (journalKeeper_)
        journalKeeper_->Flush();
    QDialog::done(result);
}

void MainWindow::CloseCommand() {
    if (IsRunning()) {
        run_.RequestStop(StopRequest::StopAndClose);
        return;
    }
    TakeControlValues();
    QDialog::done(QDialog::Accepted);
}

} // namespace Tarnwick
