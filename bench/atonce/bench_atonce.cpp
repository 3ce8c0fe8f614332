// bench_atonce: a list of files that each connection receives at a fraction of the line's
// speed, where running several at once is what saves the time. Eight files of 8 MiB from the
// sample video service at 2 MiB/s per connection: tarnwick-fetch with --jobs 4, and the window
// (tarnwick offscreen, DownloadsAtOnce=4, starting and closing by itself), each against
// `aria2c -j 4 -x 1` given the same list, whole processes, in rounds whose order turns.
// Then the same list unthrottled under a speed limit (SpeedLimit, KiB/s), with the rate
// reached against the limit. Goals: at most 1.05x aria2c's time through tarnwick-fetch and
// 1.1x through the window; the limit reached 0.95 to 1.0.
//
//   bench_atonce [--rounds N] [--mib M]

#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

using BenchSupport::Measurement;

namespace {

int Option(const QStringList& arguments, const QString& name, int fallback) {
    const int at = int(arguments.indexOf(name));
    return at > 0 && at + 1 < arguments.size() ? qMax(1, arguments[at + 1].toInt()) : fallback;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int rounds = Option(arguments, QStringLiteral("--rounds"), 5);
    const qint64 fileBytes = qint64(Option(arguments, QStringLiteral("--mib"), 8)) << 20;
    constexpr int files = 8;
    constexpr int limitKiB = 16 * 1024;
    const QString binDir = QCoreApplication::applicationDirPath();
    const QString fetch = binDir + QStringLiteral("/tarnwick-fetch");
    const QString window = binDir + QStringLiteral("/tarnwick");
    const QString aria2c = QStandardPaths::findExecutable(QStringLiteral("aria2c"));
    if (aria2c.isEmpty()) {
        std::fprintf(stderr, "aria2c is not installed (Debian package aria2).\n");
        return 1;
    }

    QTemporaryDir work;
    const QString output = work.filePath(QStringLiteral("output"));
    const QString home = work.filePath(QStringLiteral("home"));
    const QString limitedHome = work.filePath(QStringLiteral("limited"));
    const QString windowHome = work.filePath(QStringLiteral("window"));
    QDir().mkpath(output);
    const QString settings = QStringLiteral("[Settings]\nConvert=0\nAlwaysOverwrite=1\nDownloadsPerSite=8\n");
    QDir().mkpath(home + QStringLiteral("/config/Ostrand"));
    QDir().mkpath(limitedHome + QStringLiteral("/config/Ostrand"));
    QDir().mkpath(windowHome + QStringLiteral("/config/Ostrand"));
    const QString windowSettings =
        settings +
        QStringLiteral("DownloadsAtOnce=4\nAutoStart=1\nAutoClose=1\nDefaultFolder=%1\n").arg(output);
    if (!BenchSupport::WriteText(home + QStringLiteral("/config/Ostrand/Tarnwick.conf"), settings.toUtf8()) ||
        !BenchSupport::WriteText(windowHome + QStringLiteral("/config/Ostrand/Tarnwick.conf"),
                                 windowSettings.toUtf8()) ||
        !BenchSupport::WriteText(limitedHome + QStringLiteral("/config/Ostrand/Tarnwick.conf"),
                                 (settings + QStringLiteral("SpeedLimit=%1\n").arg(limitKiB)).toUtf8())) {
        std::fprintf(stderr, "Cannot write the work files under %s.\n", qPrintable(work.path()));
        return 1;
    }
    QProcess service;
    int port = 0;
    if (!BenchSupport::StartSampleService(service, binDir, work.path(), port)) {
        std::fprintf(stderr, "The sample video service did not start.\n");
        return 1;
    }
    QStringList slowUrls;
    QStringList fastUrls;
    for (int i = 0; i < files; ++i) {
        slowUrls << QStringLiteral("http://127.0.0.1:%1/bytes/slow%2.mp4?n=%3&rate=%4")
                        .arg(port)
                        .arg(i)
                        .arg(fileBytes)
                        .arg(2 << 20);
        fastUrls
            << QStringLiteral("http://127.0.0.1:%1/bytes/fast%2.mp4?n=%3").arg(port).arg(i).arg(fileBytes);
    }
    const QString list = work.filePath(QStringLiteral("aria2c-list"));
    if (!BenchSupport::WriteText(list, (slowUrls.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()))
        return 1;
    const auto profile = [](const QString& folder) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            environment.insert(QString::fromLatin1(name),
                               folder + QLatin1Char('/') +
                                   QString::fromLatin1(name).section(QLatin1Char('_'), 1, 1).toLower());
        return environment;
    };
    const QProcessEnvironment ours = profile(home);
    const QProcessEnvironment limited = profile(limitedHome);
    QProcessEnvironment windowed = profile(windowHome);
    if (!windowed.contains(QStringLiteral("DISPLAY")))
        windowed.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();
    const auto delivered = [&](const QString& prefix, Measurement& m) {
        for (int i = 0; i < files; ++i)
            if (QFileInfo(output + QStringLiteral("/%1%2.mp4").arg(prefix).arg(i)).size() != fileBytes)
                return false;
        m.bytes = files * fileBytes;
        QDir(output).removeRecursively();
        return QDir().mkpath(output);
    };

    std::printf("%d files of %lld MiB at 2 MiB/s per connection, %d rounds, order turning\n", files,
                fileBytes >> 20, rounds);
    const QList<BenchSupport::Contender> contenders = {
        [&](Measurement& m) {
            return BenchSupport::RunProcess(
                       fetch, QStringList{QStringLiteral("--jobs"), QStringLiteral("4"), output} + slowUrls,
                       ours, m) &&
                   delivered(QStringLiteral("slow"), m);
        },
        [&](Measurement& m) {
            return BenchSupport::RunProcess(aria2c,
                                            {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("4"),
                                             QStringLiteral("-x"), QStringLiteral("1"), QStringLiteral("-d"),
                                             output, QStringLiteral("-i"), list},
                                            plain, m) &&
                   delivered(QStringLiteral("slow"), m);
        },
        [&](Measurement& m) {
            return BenchSupport::RunProcess(
                       fetch, QStringList{QStringLiteral("--jobs"), QStringLiteral("4"), output} + fastUrls,
                       limited, m) &&
                   delivered(QStringLiteral("fast"), m);
        },
        [&](Measurement& m) {
            return BenchSupport::RunProcess(
                       window, QStringList{QStringLiteral("--new-window")} + slowUrls + QStringList{output},
                       windowed, m) &&
                   delivered(QStringLiteral("slow"), m);
        },
    };
    QList<QList<Measurement>> results;
    if (!BenchSupport::RunRounds(rounds, contenders, results)) {
        std::fprintf(stderr, "A run failed.\n");
        return 1;
    }
    BenchSupport::PrintRatio("tarnwick-fetch --jobs 4 / aria2c -j 4 -x 1, wall",
                             BenchSupport::TimeRatio(results, 0, 1), "at most 1.05");
    BenchSupport::PrintRatio("tarnwick window, 4 at once / aria2c -j 4 -x 1, wall",
                             BenchSupport::TimeRatio(results, 3, 1), "at most 1.1");
    QList<double> reached;
    for (const QList<Measurement>& round : results)
        reached.append(round[2].MiBPerSecond() * 1024.0 / limitKiB);
    BenchSupport::PrintRatio("speed limit reached / SpeedLimit, whole process",
                             BenchSupport::Summarize(reached), "0.95 to 1.0");
    service.terminate();
    service.waitForFinished(5000);
    return 0;
}
