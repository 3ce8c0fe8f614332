#include "application.h"

#include "app/commandline.h"
#include "app/standardinput.h"
#include "messages.h"
#include "presets/optionsdialog.h"
#include "queue/mainwindow.h"
#include "retrieval/job/journal/jobjournal.h"
#include "retrieval/job/processjob.h"
#include "retrieval/transfer/jobcookies.h"
#include "singlewindow.h"
#include "terminationsignals.h"
#include "ui/foldericon.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <cstdio>

namespace Tarnwick {

namespace {

// Exit codes: the original program gave its exit code no meaning; these help scripts.
constexpr int ExitOk = 0;
constexpr int ExitStartupFailed = 1;

bool SystemIconsAvailable() {
    // The folder lists draw the system's folder icon; a desktop without one cannot show them.
    return !FolderIcon().isNull();
}

// The session or the system asks the program to end: as the window's Close, the run stops
// (its job keeps its download for the next start), the settings are kept, and any question
// still open is cancelled.
void CloseForTermination(MainWindow& window) {
    window.close();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog != &window && dialog->isVisible() && dialog->isModal())
            dialog->reject();
    }
}

} // namespace

Application::Application()
    : core_([](const QString& text) { ShowMessage(nullptr, text, QMessageBox::Critical); },
            [](const QString& text) { ShowMessage(nullptr, text, QMessageBox::Warning); }) {}

int Application::Run(const QStringList& arguments) {
    // Before anything else, so that a signal during start-up is not lost either.
    TerminationSignals termination;
    CommandLineArgs args = ParseCommandLine(arguments);
    // The browser's helper writes the site's cookies and closes the pipe; it waits for this read,
    // so it comes first. Too much is cut at one byte over the limit, which the job refuses.
    if (args.cookiesFromInput)
        args.handedCookies = ReadStandardInput(JobCookies::MaxFileBytes);
    // Ahead of everything a window needs: a start that hands its addresses over ends at once,
    // having read, written and loaded nothing.
    SingleWindow single;
    if (args.request != CommandLineArgs::ShowUsage && !args.newWindow) {
        const SingleWindow::Outcome outcome = single.HandOverOrListen(args);
        if (outcome == SingleWindow::Outcome::HandedOver)
            return ExitOk;
        if (!single.Problem().isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(single.Problem()));
    }
    if (!SystemIconsAvailable())
        return ExitStartupFailed;
    if (!core_.Start(QCoreApplication::applicationDirPath()))
        return ExitStartupFailed;

    if (args.request == CommandLineArgs::ShowUsage) {
        const QString usage = UsageText(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        std::printf("%s\n", qPrintable(usage));
        std::fflush(stdout);
        if (CanAskUser())
            ShowMessage(nullptr, usage, QMessageBox::Information);
        return ExitOk;
    }

    // This session's own journal; it outlives the window, which records its list there. The
    // jobs an earlier session left unfinished come first, ahead of the command line's.
    JobJournal journal(JobJournal::Kind::Window);
    QStringList problems;
    QList<DownloadJob> unfinished = journal.TakeOver({JobJournal::Kind::Window}, {}, &problems);
    for (const QString& problem : problems)
        ShowMessage(nullptr, problem, QMessageBox::Warning);

    MainWindow window(core_.Settings(), &core_.Engine(), &core_.Presets().Groups(), ProcessJob);
    window.SetOptionsRefresher([this] { core_.StoredSettings().Refresh(OptionsDialog::StoredKeys()); });
    // Without a journal a kept download would be litter: the window then works as before.
    if (journal.IsOpen())
        window.SetJournal(&journal);
    window.RestoreJobs(std::move(unfinished));
    window.ApplyCommandLine(args);
    QObject::connect(&single, &SingleWindow::Arrived, &window, &MainWindow::TakeHandOff);
    QObject::connect(&termination, &TerminationSignals::Arrived, &window,
                     [&window] { CloseForTermination(window); });
    if (termination.Received())
        QMetaObject::invokeMethod(
            &window, [&window] { CloseForTermination(window); }, Qt::QueuedConnection);
    window.exec();
    return ExitOk;
}

} // namespace Tarnwick
