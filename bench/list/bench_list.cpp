// bench_list [addresses] [rounds]: a window given thousands of addresses on its command line.
//
// Per round, in alternating order, it times the window being made and shown with the addresses
// and with none, and prints the median of the per-round ratios with their min and max (goal:
// at most 2x). It also times removing every row while all are selected (goal: under 0.5 s)
// and reports the longest the event loop went without turning while the addresses went in
// (goal: under 50 ms). Runs on the offscreen platform unless a display is asked for.

#include "app/appsettings.h"
#include "app/commandline.h"
#include "benchsupport.h"
#include "queue/commandids.h"
#include "queue/joblistview.h"
#include "queue/mainwindow.h"
#include "retrieval/job/journal/jobjournal.h"
#include "retrieval/job/processjob.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace Tarnwick;

namespace {

struct Round {
    double fullSeconds = 0;
    double emptySeconds = 0;
    double removeSeconds = 0;
    double longestStallMs = 0;
};

QStringList Addresses(int count) {
    QStringList urls;
    urls.reserve(count);
    for (int i = 0; i < count; ++i)
        urls.append(QStringLiteral("http://127.0.0.1:9/watch?v=item%1").arg(i));
    return urls;
}

// Makes the window with the addresses and shows it; returns the seconds until it is exposed.
// With remove, also selects every row and removes them, timing that.
double ShowWindow(const QStringList& urls, double* removeSeconds, double* longestStallMs) {
    AppSettings settings;
    QTemporaryDir output;
    settings.defaultFolder = output.path();

    // A timer that should fire every 5 ms tells how long the loop was kept from turning.
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });

    QElapsedTimer clock;
    clock.start();
    // As the program runs it: every change of the list reaches its journal of unfinished jobs.
    QTemporaryDir journalFolder;
    JobJournal journal(JobJournal::Kind::Window, journalFolder.path());
    MainWindow window(settings, nullptr, nullptr, ProcessJob);
    window.SetJournal(&journal);
    window.SetMessageFunction([](const QString&) {});
    CommandLineArgs args;
    args.urls = urls;
    sinceTick.start();
    watch.start();
    window.ApplyCommandLine(args);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return -1;
    QCoreApplication::processEvents();
    const double shown = double(clock.nsecsElapsed()) / 1e9;
    watch.stop();
    if (longestStallMs)
        *longestStallMs = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);

    if (removeSeconds) {
        window.List()->selectAll();
        clock.restart();
        window.CommandAction(Command::Remove)->trigger();
        QCoreApplication::processEvents();
        *removeSeconds = double(clock.nsecsElapsed()) / 1e9;
        if (window.Model()->rowCount() != 0)
            return -1;
    }
    return shown;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
    const QStringList urls = Addresses(count);

    ShowWindow({}, nullptr, nullptr); // the first window pays for fonts and styles
    QList<double> ratios, removals, stalls;
    for (int round = 0; round < rounds; ++round) {
        Round r;
        // Alternate which one goes first, so that a drift of the machine favours neither.
        if (round % 2 == 0) {
            r.fullSeconds = ShowWindow(urls, &r.removeSeconds, &r.longestStallMs);
            r.emptySeconds = ShowWindow({}, nullptr, nullptr);
        } else {
            r.emptySeconds = ShowWindow({}, nullptr, nullptr);
            r.fullSeconds = ShowWindow(urls, &r.removeSeconds, &r.longestStallMs);
        }
        if (r.fullSeconds < 0 || r.emptySeconds <= 0) {
            std::fprintf(stderr, "round %d: the window did not show or keep its rows\n", round + 1);
            return 1;
        }
        std::printf("round %d: %d addresses %.3f s, empty %.3f s, remove all %.3f s, longest stall %.1f ms\n",
                    round + 1, count, r.fullSeconds, r.emptySeconds, r.removeSeconds, r.longestStallMs);
        ratios.push_back(r.fullSeconds / r.emptySeconds);
        removals.push_back(r.removeSeconds * 1000);
        stalls.push_back(r.longestStallMs);
    }
    const BenchSupport::RatioSummary ratio = BenchSupport::Summarize(ratios);
    const BenchSupport::RatioSummary removal = BenchSupport::Summarize(removals);
    const BenchSupport::RatioSummary stall = BenchSupport::Summarize(stalls);
    std::printf("%d addresses:\n", count);
    BenchSupport::PrintRatio("window shown with the addresses / empty window", ratio, "at most 2");
    BenchSupport::PrintFigure("removing every selected row", removal, "ms", "at most 500");
    BenchSupport::PrintFigure("longest event-loop stall while adding", stall, "ms", "at most 50");
    // This process is the program's window and little else: its peak is that of a window with
    // every row (one window at a time, each closed before the next).
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    BenchSupport::PrintFigure("peak memory with the rows shown",
                              BenchSupport::Summarize({usage.ru_maxrss / 1024.0}), "MiB", "at most 150");
    return 0;
}
