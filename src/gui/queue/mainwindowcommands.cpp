// The list commands and the window's other commands.

#include "addurldialog.h"
#include "app/appsettings.h"
#include "app/commandline.h"
#include "app/messages.h"
#include "app/urlcheck.h"
#include "browser/extensionregistrar.h"
#include "chooseformatdialog.h"
#include "conversion/presetlookup.h"
#include "joblistview.h"
#include "mainwindow.h"
#include "presets/formatsettingsdialog.h"
#include "presets/optionsdialog.h"
#include "presets/presetsdialog.h"
#include "queue/journalkeeper.h"
#include "queue/outputfile.h"
#include "retrieval/job/fileoperations.h"
#include "retrieval/job/jobsteps.h"
#include "ui/aboutbox.h"
#include "ui/twocolumncombobox.h"
#include "ui/vendor.h"

#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace Tarnwick {

void MainWindow::ShowMessage(const QString& text) {
    if (showMessage_)
        showMessage_(text);
    else
        Tarnwick::ShowMessage(this, text);
}

void MainWindow::ApplyCommandLine(const CommandLineArgs& args) {
    if (!args.outputFolder.isEmpty())
        SetFolderText(args.outputFolder);
    // Jobs that came back go on into their own folders; with no folder chosen yet, the first
    // one's stands in, so that the run can start.
    if (FolderText().isEmpty() && restoredFolder_.has_value())
        SetFolderText(*restoredFolder_);
    TakeAddresses(args);
    if ((!args.urls.isEmpty() || restoredJobs_) && settings_.autoStart && !FolderText().isEmpty())
        StartRun();
}

void MainWindow::TakeHandOff(const CommandLineArgs& args) {
    // A run keeps its folder; the handed-over rows join it and go there.
    if (!args.outputFolder.isEmpty() && !IsRunning())
        SetFolderText(args.outputFolder);
    if (TakeAddresses(args) && !IsRunning() && settings_.autoStart && !FolderText().isEmpty())
        StartRun();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void MainWindow::SetJournal(JobJournal* journal) {
    journalKeeper_.reset();
    journal_ = journal;
    if (journal_ != nullptr)
        journalKeeper_ = std::make_unique<JournalKeeper>(*model_, *journal_);
}

void MainWindow::RestoreJobs(QList<DownloadJob> jobs) {
    if (jobs.isEmpty())
        return;
    for (DownloadJob& job : jobs)
        if (job.choices && job.choices->convert && catalog_ != nullptr) {
            const Preset* preset = FindPreset(*catalog_, job.choices->formatName, job.choices->presetName);
            if (preset != nullptr)
                job.choices->preset = std::make_shared<const Preset>(*preset);
        }
    model_->AppendJobs(jobs);
    restoredJobs_ = true;
    for (const DownloadJob& job : jobs)
        if (job.choices && !job.choices->outputFolder.isEmpty()) {
            restoredFolder_ = job.choices->outputFolder;
            break;
        }
}

void MainWindow::DiscardKeptDownloads(const QList<int>& rows) {
    for (int row : rows)
        if (row >= 0 && row < model_->rowCount())
            DiscardPartial(model_->Job(row));
}

namespace {

// A row that failed only because the cookies it came with are gone: it waits for them.
bool FailedForWantOfCookies(const DownloadJob& job) {
    return job.state == JobState::Failed && WantsHandedCookies(job);
}

} // namespace

bool MainWindow::TakeAddresses(const CommandLineArgs& args) {
    // An address given again while its row still waits is that row, not a second one.
    QStringList added;
    for (const QString& url : args.urls)
        if (WaitingRowOf(url) < 0 && !added.contains(url))
            added.append(url);
    const int firstNew = model_->rowCount();
    const bool addedAny = !added.isEmpty() && AddUrls(added) > 0;
    // The first address given is the row selected, old or new.
    int selected = -1;
    for (const QString& url : args.urls) {
        const int row = WaitingRowOf(url);
        if (row >= 0 && !args.handedCookies.isEmpty())
            GiveHandedCookies(row, args.handedCookies);
        if (selected < 0)
            selected = row;
    }
    if (addedAny || selected >= 0)
        list_->SelectAlone(selected >= 0 ? selected : firstNew);
    return addedAny || selected >= 0;
}

void MainWindow::GiveHandedCookies(int row, const QByteArray& cookies) {
    DownloadJob& job = model_->Job(row);
    // A row that failed for want of them waits again, its kept download with it.
    if (FailedForWantOfCookies(job)) {
        job.state = JobState::Idle;
        job.failureText.clear();
    }
    job.handedCookies = cookies;
    job.cookiesHanded = true;
    model_->JobChanged(row);
}

int MainWindow::WaitingRowOf(const QString& url) const {
    for (int row = 0; row < model_->rowCount(); ++row) {
        const DownloadJob& job = model_->Job(row);
        if ((job.state == JobState::Idle || FailedForWantOfCookies(job)) && job.url == url)
            return row;
    }
    return -1;
}

int MainWindow::AddUrl(const QString& text) {
    return AddUrls({text}) == 1 ? model_->rowCount() - 1 : -1;
}

int MainWindow::AddUrls(const QStringList& texts) {
    QStringList accepted;
    QStringList refused;
    for (const QString& text : texts)
        (IsUrl(text) ? accepted : refused).append(text);
    if (!accepted.isEmpty()) {
        // One insertion and one selection for the whole batch: selecting and scrolling to each
        // new row lays out the list every time, which thousands of addresses cannot afford.
        model_->AppendAll(accepted);
        list_->SelectAlone(model_->rowCount() - 1);
        RememberRecentUrls(accepted);
    }
    if (!refused.isEmpty()) {
        QStringList quoted;
        for (const QString& text : refused)
            quoted.append(QStringLiteral("'%1'").arg(text));
        ShowMessage(QStringLiteral("Invalid URL:\n") + quoted.join(QLatin1Char('\n')));
    }
    return static_cast<int>(accepted.size());
}

void MainWindow::RememberRecentUrls(const QStringList& urls) {
    // Only the newest distinct addresses can stay in the recent list; adding those, in order,
    // leaves it as adding every one would, without a pass over it per address.
    QStringList newest;
    for (auto url = urls.crbegin(); url != urls.crend() && newest.size() < RecentList::Capacity; ++url) {
        if (!newest.contains(*url))
            newest.prepend(*url);
    }
    for (const QString& url : newest)
        settings_.recentUrlList.Add(url);
}

void MainWindow::AddFromClipboard() {
    QStringList lines;
    for (const QString& line : QGuiApplication::clipboard()->text().split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    AddUrls(lines);
}

bool MainWindow::AddFromDrop(const QString& text) {
    if (text.isEmpty())
        return false;
    activateWindow();
    raise();
    AddUrl(text);
    return true;
}

void MainWindow::OpenAddUrlDialog() {
    AddUrlDialog dialog(AddUrlDialog::Mode::Add, settings_.recentUrlList.Entries(), settings_.videoHost, {},
                        this);
    if (dialog.exec() == QDialog::Accepted)
        AddUrl(dialog.Text());
}

void MainWindow::ChooseFormat() {
    const int row = list_->FirstSelectedRow();
    if (row < 0 || IsInProgress(model_->Job(row).state))
        return;
    const DownloadJob& job = model_->Job(row);
    const quint64 id = job.id;
    ChooseFormatDialog dialog(
        job.url, job.chosenFormat, job.largestPicture,
        [url = job.url, host = settings_.videoHost, ytDlp = settings_.ytDlpPath,
         proxy = settings_.proxy](const std::atomic<bool>& stop) {
            return SurveyFormats(url, host, ytDlp, TransferNetwork{proxy, nullptr, nullptr}, stop);
        },
        this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // While the dialog was open the row may have moved, gone, or been reached by a run.
    const int now = RowOfJob(id);
    if (now < 0 || IsInProgress(model_->Job(now).state))
        return;
    model_->SetPictureChoice(now, dialog.ChosenFormat(), dialog.ChosenLimit());
}

void MainWindow::EditUrlOfItem(int row) {
    // The worker reads the address of a job in progress; it is not changed under it.
    if (row == run_.currentIndex.load() || (IsRunning() && IsInProgress(model_->Job(row).state)))
        return;
    AddUrlDialog dialog(AddUrlDialog::Mode::Edit, settings_.recentUrlList.Entries(), settings_.videoHost,
                        model_->Job(row).url, this);
    // While the dialog is open the row may have been removed, or a run may have reached it.
    QPersistentModelIndex index(model_->index(row, 0));
    if (dialog.exec() == QDialog::Accepted && index.isValid() && index.row() != run_.currentIndex.load() &&
        !(IsRunning() && IsInProgress(model_->Job(index.row()).state)))
        model_->SetUrl(index.row(), dialog.Text());
}

void MainWindow::OnListDoubleClicked() {
    const int row = list_->FirstSelectedRow();
    if (row < 0)
        OpenAddUrlDialog();
    else
        EditUrlOfItem(row);
}

void MainWindow::RemoveSelected() {
    if (run_.currentIndex.load() != -1)
        return;
    const QList<int> rows = list_->SelectedRows();
    DiscardKeptDownloads(rows);
    model_->RemoveJobs(rows);
}

void MainWindow::ClearList() {
    if (run_.currentIndex.load() != -1)
        return;
    QList<int> rows;
    for (int row = 0; row < model_->rowCount(); ++row)
        rows.append(row);
    DiscardKeptDownloads(rows);
    model_->Clear();
}

void MainWindow::CopyUrlToClipboard() {
    const int row = list_->FirstSelectedRow();
    if (row < 0 || model_->Job(row).url.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(model_->Job(row).url);
}

void MainWindow::Play() {
    const int row = list_->FirstSelectedRow();
    if (row < 0)
        return;
    const DownloadJob& job = model_->Job(row);
    if (job.state != JobState::Succeeded || !QFileInfo::exists(job.outputPath))
        return;
    const QFileInfo player(settings_.player);
    if (!settings_.player.isEmpty() && player.isFile()) {
        QProcess::startDetached(settings_.player, {job.outputPath});
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(job.outputPath));
}

void MainWindow::Rename() {
    const int row = list_->FirstSelectedRow();
    if (row < 0 || !QFileInfo::exists(model_->Job(row).outputPath))
        return;
    const QModelIndex index = model_->index(row, JobListModel::FileNameColumn);
    list_->setCurrentIndex(index);
    list_->edit(index);
}

void MainWindow::OnRenameRefused(int /*row*/, const QString& text) {
    // The view keeps the old label: the model did not take the new name.
    ShowMessage(text);
}

void MainWindow::CopyTo() {
    const int row = list_->FirstSelectedRow();
    if (row < 0)
        return;
    const QString source = model_->Job(row).outputPath;
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Select Destination Folder"), QFileInfo(source).absolutePath());
    if (folder.isEmpty())
        return;
    if (!QFileInfo::exists(source)) {
        ShowMessage(QStringLiteral("Cannot copy %1: the file does not exist.").arg(source));
        return;
    }
    const QString target = QDir(folder).filePath(QFileInfo(source).fileName());
    if (QFileInfo(target) == QFileInfo(source))
        return;
    if (QFileInfo::exists(target)) {
        const auto answer = QMessageBox::question(
            this, ProductTitle,
            QStringLiteral("The folder already contains a file named '%1'.\nDo you want to replace it?")
                .arg(QFileInfo(target).fileName()));
        if (answer != QMessageBox::Yes)
            return;
    }
    // The copy goes beside the target and is renamed over it, so a failed copy leaves the old file.
    if (!CopyFileTo(source, target, folder))
        ShowMessage(QStringLiteral("Cannot copy %1 to %2.").arg(QFileInfo(source).fileName(), folder));
}

void MainWindow::WatchOnline() {
    const int row = list_->FirstSelectedRow();
    if (row < 0)
        return;
    // Only web pages go to the desktop: a job address may be anything with a scheme, and
    // "file:" or "javascript:" would open or run something else.
    const QUrl page(model_->Job(row).url);
    if (page.isValid() && IsWebUrl(page))
        QDesktopServices::openUrl(page);
    else
        ShowMessage(QStringLiteral("Only web pages (http and https) can be watched online:\n%1")
                        .arg(model_->Job(row).url));
}

void MainWindow::OpenFolder() {
    const QString folder = FolderText();
    if (!folder.isEmpty() && QFileInfo::exists(folder))
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    else
        ShowMessage(QStringLiteral("Folder not exists"));
}

void MainWindow::Browse() {
    QString start = FolderText();
    if (start.isEmpty()) {
        start = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
        QDir().mkpath(start);
    }
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Select Output Folder"), start);
    if (!chosen.isEmpty())
        SetFolderText(QDir::toNativeSeparators(chosen));
}

void MainWindow::ShowAbout() {
    AboutBox about(settings_.ytDlpPath, this);
    about.exec();
}

void MainWindow::ShowOptions() {
    if (refreshOptions_)
        refreshOptions_();
    ExtensionRegistrar registrar;
    OptionsDialog dialog(settings_, &registrar, this);
    dialog.exec();
    // At once, also for the downloads in progress.
    rate_.SetLimit(qint64(settings_.speedLimit) * 1024);
}

void MainWindow::ShowPresets() {
    if (!catalog_)
        return;
    PresetsDialog dialog(*catalog_, this);
    // "Reset All" replaces every format's presets even when the dialog is cancelled; the list's
    // entries would then point at presets that no longer exist.
    if (dialog.exec() != QDialog::Accepted && !dialog.CatalogReset())
        return;
    // The presets of the current format may have changed under the list.
    const int selected = formatCombo_->currentIndex();
    formatIndex_ = -1;
    currentFormat_ = nullptr;
    formatCombo_->setCurrentIndex(selected);
    OnFormatChanged();
}

void MainWindow::ShowAdvanced() {
    if (!catalog_)
        return;
    FormatSettingsDialog dialog(*catalog_, formatCombo_->currentIndex(), presetCombo_->currentIndex(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    formatIndex_ = -1;
    currentFormat_ = nullptr;
    const QSignalBlocker quiet(formatCombo_);
    formatCombo_->setCurrentIndex(dialog.FormatIndex());
    OnFormatChanged();
}

void MainWindow::OpenSupport() {
    QDesktopServices::openUrl(QUrl(SupportMailUrl()));
}

void MainWindow::OpenWebSite() {
    QDesktopServices::openUrl(QUrl(WebSiteAddress));
}

} // namespace Tarnwick
