// tarnwick-fetch <folder> <url>...: downloads each watch-page address into the folder with the
// program's own download procedure and settings, one after another, and prints what happened.

#include "app/settingsstore.h"
#include "consolerun.h"
#include "formatlisting.h"
#include "interruptwaker.h"
#include "queue/scheduledrun.h"
#include "retrieval/job/journal/jobjournal.h"
#include "retrieval/job/processjob.h"
#include "retrieval/sources/ytdlp/ytdlplocator.h"
#include "retrieval/transfer/jobcookies.h"
#include "retrieval/transfer/transfernetwork.h"
#include "terminaltext.h"
#include "ytdlpcommands.h"

#include <QCoreApplication>
#include <QDir>
#include <atomic>
#include <csignal>
#include <cstdio>

using namespace Tarnwick;

namespace {

std::atomic<bool> updateStop{false};
ConsoleRun* runningRun = nullptr;
RunState* runningState = nullptr;

void OnInterrupt(int) {
    // Lock-free stores, safe in a signal handler; the waker then wakes the transfers at once, and
    // the run looks before every start.
    updateStop = true;
    if (runningRun != nullptr)
        runningRun->RequestStop();
    if (runningState != nullptr)
        runningState->stopRequest = static_cast<int>(StopRequest::Stop);
    InterruptWaker::Notify();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const InterruptWaker waker;
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));

    QStringList arguments = QCoreApplication::arguments().mid(1);
    // Scripted runs against the local sample service shorten the transfer's waits.
    int stallSeconds = 0;
    double retryWaitScale = 1.0;
    bool resume = false;
    int jobsAtOnce = 0;     // 0: the setting's
    QString exactFormat;    // --format: the one format of the one address
    int folderArgument = 1; // in argv
    for (;;) {
        if (!arguments.isEmpty() && arguments.first() == QLatin1String("--resume")) {
            resume = true;
            arguments = arguments.mid(1);
            ++folderArgument;
            continue;
        }
        if (arguments.size() < 2 ||
            (arguments.first() != QLatin1String("--stall-seconds") &&
             arguments.first() != QLatin1String("--retry-wait-scale") &&
             arguments.first() != QLatin1String("--jobs") && arguments.first() != QLatin1String("--format")))
            break;
        bool valid = false;
        if (arguments.first() == QLatin1String("--format")) {
            exactFormat = arguments[1];
            valid = !exactFormat.isEmpty();
        } else if (arguments.first() == QLatin1String("--stall-seconds"))
            stallSeconds = arguments[1].toInt(&valid);
        else if (arguments.first() == QLatin1String("--jobs")) {
            jobsAtOnce = arguments[1].toInt(&valid);
            valid = valid && jobsAtOnce >= 1 && jobsAtOnce <= 8;
        } else
            retryWaitScale = arguments[1].toDouble(&valid);
        if (!valid)
            break;
        arguments = arguments.mid(2);
        folderArgument += 2;
    }
    SettingsStore store;
    store.Load();
    const AppSettings& settings = store.Values();

    if (arguments == QStringList{QStringLiteral("--update-yt-dlp")}) {
        ConsoleSink sink(stdout, &updateStop);
        std::signal(SIGINT, OnInterrupt);
        std::signal(SIGTERM, OnInterrupt);
        return UpdateYtDlpFromConsole(settings, sink);
    }
    if (arguments.size() == 2 && arguments.first() == QLatin1String("--list-formats")) {
        std::signal(SIGINT, OnInterrupt);
        std::signal(SIGTERM, OnInterrupt);
        return ListFormats(settings, arguments[1], stdout, updateStop);
    }
    if (arguments == QStringList{QStringLiteral("--find-yt-dlp")}) {
        const YtDlpProgram program = FindYtDlp(settings.ytDlpPath);
        PrintYtDlpInUse(stdout, program);
        return program.IsFound() ? 0 : 1;
    }
    const bool helpAsked = !arguments.isEmpty() && (arguments.first() == QLatin1String("--help") ||
                                                    arguments.first() == QLatin1String("-h"));
    if (arguments.size() < (resume ? 1 : 2) || arguments.first().startsWith(QLatin1Char('-'))) {
        std::FILE* out = helpAsked ? stdout : stderr;
        std::fprintf(
            out, "tarnwick-fetch " TARNWICK_VERSION "\n"
                 "Usage: tarnwick-fetch [--jobs N] [--stall-seconds N] [--retry-wait-scale F] [--resume]\n"
                 "                      <output folder> [<url1> <url2> ...]\n"
                 "       tarnwick-fetch [--format ID] <output folder> <url>\n"
                 "       tarnwick-fetch --list-formats <url>\n"
                 "       tarnwick-fetch --update-yt-dlp | --find-yt-dlp\n"
                 "Uses the settings Quality, AlwaysOverwrite, VideoHost, YtDlpPath, SegmentConnections,\n"
                 "DownloadsAtOnce, DownloadsPerSite, SpeedLimit, Proxy, CookiesFile, CookiesFromBrowser,\n"
                 "LargestPicture, PreferredCodec, EmbedMetadata, SubtitleLanguages, AutomaticCaptions and\n"
                 "EmbedSubtitles of [Settings].\n"
                 "--jobs: how many downloads run at once, 1 to 8 (DownloadsAtOnce)\n"
                 "--list-formats: prints the formats the address offers, one a line, and downloads nothing\n"
                 "--format: downloads the format of that ID (from --list-formats), with its sound added\n"
                 "  when it has none\n"
                 "--stall-seconds: how long a silent server is waited for (60)\n"
                 "--retry-wait-scale: the waits before retries times F (1)\n"
                 "--resume: first continue the unfinished downloads into the folder that an\n"
                 "  earlier tarnwick-fetch or Tarnwick window left (addresses optional)\n"
                 "--update-yt-dlp: installs yt-dlp's newest release as Tarnwick's own copy, from the\n"
                 "  settings value YtDlpUpdateUrl (nothing else reaches the network unasked)\n"
                 "--find-yt-dlp: looks for yt-dlp now and says which one is in use\n");
        // From what earlier runs found: starting yt-dlp to ask would take most of the time.
        PrintYtDlpInUse(out, CachedYtDlp(settings.ytDlpPath));
        return helpAsked ? 0 : 2;
    }

#ifndef Q_OS_WIN
    // The name would be decoded with replacement characters and the files would land in a
    // folder of another name.
    if (!IsValidUtf8(argv[folderArgument])) {
        std::fprintf(stderr, "tarnwick-fetch: the folder name is not valid UTF-8: %s\n",
                     qPrintable(EscapedBytes(argv[folderArgument])));
        return 2;
    }
#endif

    if (!settings.proxy.isEmpty() && !IsUsableProxy(settings.proxy)) {
        std::fprintf(stderr,
                     "tarnwick-fetch: the setting Proxy is not an address of an http, https, socks5 or "
                     "socks5h proxy with a host and a port: %s\n",
                     qPrintable(TerminalSafe(ProxyShownAs(settings.proxy))));
        return 2;
    }
    if (!settings.cookiesFromBrowser.isEmpty() && !IsKnownCookieBrowser(settings.cookiesFromBrowser)) {
        std::fprintf(stderr, "tarnwick-fetch: the setting CookiesFromBrowser names none of %s: %s\n",
                     qPrintable(CookieBrowsers().join(QStringLiteral(", "))),
                     qPrintable(TerminalSafe(settings.cookiesFromBrowser)));
        return 2;
    }
    ConsoleRun context(QDir(arguments.first()).absolutePath(), settings.videoHost, settings.ytDlpPath,
                       settings.alwaysOverwrite ? OverwritePolicy::OverwriteAll : OverwritePolicy::Ask);
    context.SetStallSeconds(stallSeconds);
    context.SetRetryWaitScale(retryWaitScale);
    context.SetSegmentConnections(settings.segmentConnections);
    context.SetPictureWish(settings.largestPicture, settings.preferredCodec);
    context.SetEmbedMetadata(settings.embedMetadata);
    context.SetSubtitles(settings.Subtitles());
    context.SetLimits({jobsAtOnce > 0 ? jobsAtOnce : settings.downloadsAtOnce, settings.downloadsPerSite});
    context.SetSpeedLimit(settings.speedLimit);
    context.SetProxy(settings.proxy);
    context.SetCookies({settings.cookiesFile, settings.cookiesFromBrowser, {}});
    // Its own journal, so that a stop, a kill or an end of the session loses nothing.
    JobJournal journal(JobJournal::Kind::Fetch);
    if (journal.IsOpen())
        context.SetJournal(&journal);
    if (resume) {
        QStringList problems;
        const QString folder = QDir::cleanPath(context.OutputFolder());
        const QList<DownloadJob> unfinished = journal.TakeOver(
            {JobJournal::Kind::Window, JobJournal::Kind::Fetch},
            [&folder](const DownloadJob& job) {
                return job.choices &&
                       QDir::cleanPath(QDir(job.choices->outputFolder).absolutePath()) == folder;
            },
            &problems);
        for (const QString& problem : problems)
            std::fprintf(stderr, "tarnwick-fetch: %s\n", qPrintable(problem));
        for (const DownloadJob& job : unfinished)
            context.AddJob(job);
        std::printf("Unfinished downloads to continue: %d\n", int(unfinished.size()));
        std::fflush(stdout);
    }
    if (!exactFormat.isEmpty() && arguments.size() != 2) {
        std::fprintf(stderr, "tarnwick-fetch: --format takes exactly one address\n");
        return 2;
    }
    for (const QString& url : arguments.mid(1))
        context.AddJob(url, VideoQuality(settings.quality), exactFormat);

    RunState run;
    RunOptions options;
    options.outputFolder = context.OutputFolder();
    options.quality = VideoQuality(settings.quality);
    runningRun = &context;
    runningState = &run;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    const RunCounts counts = ExecuteScheduledRun(run, options, context, ProcessJob);
    // A stop leaves the jobs that had not started waiting; they stay in the journal.
    return counts.failures == 0 && !counts.folderMissing ? 0 : 1;
}
