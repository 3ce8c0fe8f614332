#include "application.h"

#include "app/commandline.h"
#include "messages.h"
#include "queue/mainwindow.h"
#include "retrieval/processjob.h"

#include <QCoreApplication>
#include <QFileIconProvider>
#include <cstdio>

namespace Tarnwick {

namespace {

// Exit codes: the original program gave its exit code no meaning; these help scripts.
constexpr int ExitOk = 0;
constexpr int ExitStartupFailed = 1;

bool SystemIconsAvailable() {
    // The folder lists draw the system's icons; a desktop without any cannot show them.
    QFileIconProvider provider;
    return !provider.icon(QFileIconProvider::Drive).isNull() ||
           !provider.icon(QFileIconProvider::Folder).isNull();
}

} // namespace

Application::Application()
    : core_([](const QString& text) { ShowMessage(nullptr, text, QMessageBox::Critical); },
            [](const QString& text) { ShowMessage(nullptr, text, QMessageBox::Warning); }) {}

int Application::Run(const QStringList& arguments) {
    if (!SystemIconsAvailable())
        return ExitStartupFailed;
    if (!core_.Start(QCoreApplication::applicationDirPath()))
        return ExitStartupFailed;

    const CommandLineArgs args = ParseCommandLine(arguments);
    if (args.request == CommandLineArgs::ShowUsage) {
        std::printf("%s\n", UsageText);
        std::fflush(stdout);
        if (CanAskUser())
            ShowMessage(nullptr, QString::fromLatin1(UsageText), QMessageBox::Information);
        return ExitOk;
    }

    MainWindow window(core_.Settings(), &core_.Engine(), &core_.Presets().Groups(), ProcessJob);
    window.ApplyCommandLine(args);
    window.exec();
    return ExitOk;
}

} // namespace Tarnwick
