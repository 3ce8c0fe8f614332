// bench_small: the smallest jobs, where the time is the program's own start and end. Each
// contender is a process of its own, timed from start to exit, in rounds whose order turns:
// tarnwick-fetch downloading a 1 KiB direct link from the sample video service (loopback)
// against `curl -s -o` of the same address, and `tarnwick-fetch --help` against `curl --help`.
// yt-dlp is installed and configured, and no job needs it. Prints the median of the per-round
// time ratios with their spread. Goals: at most 3x curl for both.
//
//   bench_small [--rounds N]

#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

using BenchSupport::Measurement;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int at = int(arguments.indexOf(QStringLiteral("--rounds")));
    const int rounds = at > 0 && at + 1 < arguments.size() ? qMax(1, arguments[at + 1].toInt()) : 21;
    const QString binDir = QCoreApplication::applicationDirPath();
    const QString fetch = binDir + QStringLiteral("/tarnwick-fetch");

    QTemporaryDir work;
    const QString media = work.filePath(QStringLiteral("media"));
    const QString output = work.filePath(QStringLiteral("output"));
    const QString home = work.filePath(QStringLiteral("home"));
    QDir().mkpath(media);
    QDir().mkpath(output);
    QDir().mkpath(home + QStringLiteral("/config/Ostrand"));
    const QString ytDlp = QStandardPaths::findExecutable(QStringLiteral("yt-dlp"));
    if (!BenchSupport::MakeFileOfSize(media + QStringLiteral("/small.mp4"), 1024) ||
        !BenchSupport::WriteText(
            home + QStringLiteral("/config/Ostrand/Tarnwick.conf"),
            QStringLiteral("[Settings]\nConvert=0\nAlwaysOverwrite=1\nYtDlpPath=%1\n").arg(ytDlp).toUtf8())) {
        std::fprintf(stderr, "Cannot write the work files under %s.\n", qPrintable(work.path()));
        return 1;
    }
    QProcess service;
    int port = 0;
    if (!BenchSupport::StartSampleService(service, binDir, media, port)) {
        std::fprintf(stderr, "The sample video service did not start.\n");
        return 1;
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1/media/small.mp4").arg(port);
    // A profile of its own, as a new user has: settings, data and cache folders start empty.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        environment.insert(QString::fromLatin1(name),
                           home + QLatin1Char('/') +
                               QString::fromLatin1(name).section(QLatin1Char('_'), 1, 1).toLower());
    const QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();

    std::printf("1 KiB direct link %s, %d rounds, order turning; yt-dlp: %s\n", qPrintable(url), rounds,
                ytDlp.isEmpty() ? "not installed" : qPrintable(ytDlp));
    const QString delivered = output + QStringLiteral("/small.mp4");
    const QList<BenchSupport::Contender> contenders = {
        [&](Measurement& m) {
            return BenchSupport::MeasureDelivery(fetch, {output, url}, environment, delivered, 1024, m);
        },
        [&](Measurement& m) {
            return BenchSupport::MeasureDelivery(QStringLiteral("curl"),
                                                 {QStringLiteral("-s"), QStringLiteral("-o"), delivered, url},
                                                 plain, delivered, 1024, m);
        },
        [&](Measurement& m) {
            return BenchSupport::RunProcess(fetch, {QStringLiteral("--help")}, environment, m);
        },
        [&](Measurement& m) {
            return BenchSupport::RunProcess(QStringLiteral("curl"), {QStringLiteral("--help")}, plain, m);
        },
    };
    QList<QList<Measurement>> warmUp;
    QList<QList<Measurement>> results;
    if (!BenchSupport::RunRounds(1, contenders, warmUp) ||
        !BenchSupport::RunRounds(rounds, contenders, results)) {
        std::fprintf(stderr, "A run failed.\n");
        return 1;
    }
    BenchSupport::PrintRatio("tarnwick-fetch 1 KiB / curl -o, wall", BenchSupport::TimeRatio(results, 0, 1),
                             "at most 3");
    BenchSupport::PrintRatio("tarnwick-fetch --help / curl --help, wall",
                             BenchSupport::TimeRatio(results, 2, 3), "at most 3");
    QList<double> fetchMs;
    for (const QList<Measurement>& round : results)
        fetchMs.append(round[0].seconds * 1000);
    BenchSupport::PrintFigure("tarnwick-fetch 1 KiB, wall", BenchSupport::Summarize(fetchMs), "ms");
    service.terminate();
    service.waitForFinished(5000);
    return 0;
}
