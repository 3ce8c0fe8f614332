// bench_ytdlp: one large single-file format behind a web page that yt-dlp reads and the built-in
// readers do not (a player set up in a script), on the sample video service (loopback). Two
// contenders, each a process of its own timed from start to exit, in rounds whose order turns:
// tarnwick-fetch (one yt-dlp run to resolve, then Tarnwick's own transfer) and yt-dlp
// downloading the same format by itself. Prints the median of the per-round time ratios with
// their spread; the goal is at most 1.0x yt-dlp's time.
//
// With --entries N the page sets up N players instead, each with a file of --bytes, which yt-dlp
// reads as a playlist: tarnwick-fetch (one yt-dlp run for the list, then each entry through its
// own transfer) against yt-dlp downloading the list itself, one entry after another. Goal: at
// most 0.9x yt-dlp's time.
//
//   bench_ytdlp [--rounds N] [--bytes N] [--entries N] [--work DIR] [--yt-dlp PATH]

#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

using BenchSupport::Measurement;

namespace {

struct Options {
    int rounds = 5;
    qint64 bytes = qint64(1) << 30;
    int entries = 0; // 0: one format; more: a playlist of that many
    QString work = QDir::currentPath();
    QString ytDlp = QStringLiteral("/usr/bin/yt-dlp");
};

Options ParseOptions(const QStringList& arguments) {
    Options options;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        const QString& name = arguments[i];
        const QString& value = arguments[i + 1];
        if (name == QLatin1String("--rounds"))
            options.rounds = value.toInt();
        else if (name == QLatin1String("--bytes"))
            options.bytes = value.toLongLong();
        else if (name == QLatin1String("--entries"))
            options.entries = value.toInt();
        else if (name == QLatin1String("--work"))
            options.work = value;
        else if (name == QLatin1String("--yt-dlp"))
            options.ytDlp = value;
    }
    return options;
}

// Runs the contender and checks that the whole file arrived, then removes it.
bool Measure(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
             const QString& outputPath, qint64 bytes, Measurement& measurement) {
    ::sync(); // each starts on a settled disk, whatever the other left to write back
    return BenchSupport::MeasureDelivery(program, arguments, environment, outputPath, bytes, measurement);
}

// One round to warm up, then the measured rounds of tarnwick-fetch against yt-dlp, and their
// time ratio against goal; the exit status of the benchmark.
int RunAndPrint(int rounds, const QList<BenchSupport::Contender>& contenders, const char* label,
                const char* goal) {
    QList<QList<Measurement>> warmUp;
    QList<QList<Measurement>> results;
    if (!BenchSupport::RunRounds(1, contenders, warmUp) ||
        !BenchSupport::RunRounds(rounds, contenders, results, [](int round, const QList<Measurement>& m) {
            std::printf("round %d: tarnwick-fetch %.2f s, yt-dlp %.2f s\n", round + 1, m[0].seconds,
                        m[1].seconds);
            std::fflush(stdout);
        })) {
        std::fprintf(stderr, "A run failed.\n");
        return 1;
    }
    BenchSupport::PrintRatio(label, BenchSupport::TimeRatio(results, 0, 1), goal);
    return 0;
}

// Runs a contender that delivers entries files of bytes bytes each into folder, checks that they
// all arrived whole, then empties the folder.
bool MeasureList(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                 const QString& folder, int entries, qint64 bytes, Measurement& measurement) {
    ::sync();
    const bool ok = BenchSupport::RunProcess(program, arguments, environment, measurement);
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    int whole = 0;
    for (const QFileInfo& file : files) {
        whole += file.size() == bytes ? 1 : 0;
        measurement.bytes += file.size();
        QFile::remove(file.absoluteFilePath());
    }
    if (!ok || whole != entries || files.size() != entries)
        std::fprintf(stderr, "%s delivered %d whole files of %d\n", qPrintable(program), whole, entries);
    return ok && whole == entries && files.size() == entries;
}

// The page of a playlist that only yt-dlp reads: players set up in a script, one per entry.
QByteArray PlaylistPage(const QString& origin, int entries) {
    QByteArray page = "<html><head><title>Many players</title></head><body><script>\n";
    for (int i = 0; i < entries; ++i)
        page += "var player" + QByteArray::number(i) + " = {video_url: \"" +
                (origin + QStringLiteral("/media/entry%1.mp4").arg(i)).toUtf8() + "\"};\n";
    return page + "</script></body></html>";
}

int RunPlaylist(const Options& options, const QString& binDir, const QString& origin, const QString& media,
                const QString& output, const QProcessEnvironment& environment) {
    for (int i = 0; i < options.entries; ++i)
        if (!BenchSupport::MakeFileOfSize(media + QStringLiteral("/entry%1.mp4").arg(i), options.bytes))
            return 1;
    const QString page = origin + QStringLiteral("/media/list.html");
    if (!BenchSupport::WriteText(media + QStringLiteral("/list.html"), PlaylistPage(origin, options.entries)))
        return 1;
    std::printf("Playlist of %d entries of %lld bytes behind %s, yt-dlp %s, %d rounds, order turning\n",
                options.entries, options.bytes, qPrintable(page), qPrintable(options.ytDlp), options.rounds);
    const QList<BenchSupport::Contender> contenders = {
        [&](Measurement& m) {
            return MeasureList(binDir + QStringLiteral("/tarnwick-fetch"), {output, page}, environment,
                               output, options.entries, options.bytes, m);
        },
        [&](Measurement& m) {
            return MeasureList(options.ytDlp,
                               {QStringLiteral("--ignore-config"), QStringLiteral("--quiet"),
                                QStringLiteral("--no-warnings"), QStringLiteral("--output"),
                                output + QStringLiteral("/%(playlist_index)s.%(ext)s"), QStringLiteral("--"),
                                page},
                               environment, output, options.entries, options.bytes, m);
        },
    };
    return RunAndPrint(options.rounds, contenders, "tarnwick-fetch playlist time / yt-dlp playlist time",
                       "at most 0.9");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const Options options = ParseOptions(QCoreApplication::arguments());
    const QString binDir = QCoreApplication::applicationDirPath();

    QTemporaryDir work(options.work + QStringLiteral("/bench-ytdlp-XXXXXX"));
    const QString media = work.filePath(QStringLiteral("media"));
    const QString output = work.filePath(QStringLiteral("output"));
    const QString config = work.filePath(QStringLiteral("config"));
    QDir().mkpath(media);
    QDir().mkpath(output);
    QDir().mkpath(config + QStringLiteral("/Ostrand"));
    if (!work.isValid() || (options.entries == 0 && !BenchSupport::MakeFileOfSize(
                                                        media + QStringLiteral("/big.mp4"), options.bytes))) {
        std::fprintf(stderr, "Cannot write the %lld-byte video under %s.\n", options.bytes,
                     qPrintable(options.work));
        return 1;
    }
    QProcess service;
    int port = 0;
    if (!BenchSupport::StartSampleService(service, binDir, media, port)) {
        std::fprintf(stderr, "The sample video service did not start.\n");
        return 1;
    }
    const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(port);
    const QString page = origin + QStringLiteral("/media/player.html");
    if (!BenchSupport::WriteText(
            media + QStringLiteral("/player.html"),
            "<html><head><title>Big player</title></head><body><script>var setup = {video_url: \"" +
                (origin + QStringLiteral("/media/big.mp4")).toUtf8() + "\"};</script></body></html>") ||
        !BenchSupport::WriteText(config + QStringLiteral("/Ostrand/Tarnwick.conf"),
                                 QStringLiteral("[Settings]\nConvert=0\nAlwaysOverwrite=1\nYtDlpPath=%1\n")
                                     .arg(options.ytDlp)
                                     .toUtf8()))
        return 1;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    if (options.entries > 0)
        return RunPlaylist(options, binDir, origin, media, output, environment);

    std::printf("Format of %lld bytes behind %s, yt-dlp %s, %d rounds, order turning\n", options.bytes,
                qPrintable(page), qPrintable(options.ytDlp), options.rounds);
    const QList<BenchSupport::Contender> contenders = {
        [&](Measurement& m) {
            return Measure(binDir + QStringLiteral("/tarnwick-fetch"), {output, page}, environment,
                           output + QStringLiteral("/Big player.mp4"), options.bytes, m);
        },
        [&](Measurement& m) {
            const QString path = output + QStringLiteral("/yt-dlp.mp4");
            return Measure(options.ytDlp,
                           {QStringLiteral("--ignore-config"), QStringLiteral("--quiet"),
                            QStringLiteral("--no-warnings"), QStringLiteral("--output"), path,
                            QStringLiteral("--"), page},
                           environment, path, options.bytes, m);
        },
    };
    return RunAndPrint(options.rounds, contenders, "tarnwick-fetch time / yt-dlp time", "at most 1.0");
}
