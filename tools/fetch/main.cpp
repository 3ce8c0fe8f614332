// tarnwick-fetch <folder> <url>...: downloads each watch-page address into the folder with the
// program's own download procedure and settings, one after another, and prints what happened.

#include "app/appsettings.h"
#include "consolejobcontext.h"
#include "retrieval/processjob.h"
#include "terminaltext.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <csignal>
#include <cstdio>

using namespace Tarnwick;

namespace {

ConsoleSink* runningSink = nullptr;
RunState* runningRun = nullptr;

void OnInterrupt(int) {
    // The transfer looks at the stop request at least every quarter second; the run looks
    // between jobs. Both are lock-free stores, safe in a signal handler.
    if (runningSink != nullptr)
        runningSink->RequestStop();
    if (runningRun != nullptr)
        runningRun->stopRequest = static_cast<int>(StopRequest::Stop);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() < 2 || arguments.first().startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "Usage: tarnwick-fetch <output folder> <url1> [<url2> ...]\n"
                             "Uses the settings Quality, AlwaysOverwrite and VideoHost of [Settings].\n");
        return 2;
    }

#ifndef Q_OS_WIN
    // The name would be decoded with replacement characters and the files would land in a
    // folder of another name.
    if (!IsValidUtf8(argv[1])) {
        std::fprintf(stderr, "tarnwick-fetch: the folder name is not valid UTF-8: %s\n",
                     qPrintable(EscapedBytes(argv[1])));
        return 2;
    }
#endif

    AppSettings settings;
    QSettings store;
    settings.Load(store);

    ConsoleJobContext context(QDir(arguments.first()).absolutePath(), settings.videoHost,
                              settings.alwaysOverwrite ? OverwritePolicy::OverwriteAll
                                                       : OverwritePolicy::Ask);
    for (const QString& url : arguments.mid(1))
        context.AddJob(url);

    RunState run;
    RunOptions options;
    options.outputFolder = context.OutputFolder();
    options.quality = VideoQuality(settings.quality);
    runningSink = &context.Sink();
    runningRun = &run;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    const RunCounts counts = ExecuteRun(run, options, context, context, ProcessJob);
    return counts.failures == 0 && !counts.folderMissing ? 0 : 1;
}
