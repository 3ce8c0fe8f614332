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

void OnInterrupt(int) {
    // The transfer looks at the stop request at least every quarter second.
    if (runningSink != nullptr)
        runningSink->RequestStop();
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

    runningSink = &context.Sink();
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    int successes = 0;
    int failures = 0;
    for (int index = 0; index < context.JobCount(); ++index) {
        if (context.Sink().IsCancelled() != 0)
            break;
        const int result = ProcessJob(context, index, VideoQuality(settings.quality), false);
        (result == JobSucceeded ? successes : failures)++;
    }
    std::printf("Completed: %d success, %d failure\n", successes, failures);
    return failures == 0 ? 0 : 1;
}
