// bench_download: downloads one video of a watch page on the sample video service (loopback)
// three ways, each in a process of its own, timed from start to exit, in rounds whose order
// turns: the program with its window (offscreen; started with the address, it begins at once
// and closes when done), the console runner tarnwick-fetch, and `curl -o` of the stream address
// the page leads to. Prints the median of the per-round throughput ratios with their spread,
// and the peak resident memory of each process.
//
// Afterwards, one download of a small and one of a large video through each program shows
// whether peak memory stays flat in the file size.
//
//   bench_download [--rounds N] [--bytes N] [--temp DIR] [--work DIR] [--memory-bytes N]
//     --temp DIR          the system temporary folder (TMPDIR) of the measured processes, for
//                         example a RAM disk; the output folder stays on the work folder's disk
//     --work DIR          where the served video and the output folder live (default: here)
//     --memory-bytes N    size of the large video of the memory check; 0 leaves the check out

#include "benchsupport.h"
#include "queue/progresssink.h"
#include "retrieval/sources/resolver.h"
#include "retrieval/transfer/httptransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <utility>

using namespace Tarnwick;
using BenchSupport::Measurement;

namespace {

struct Options {
    int rounds = 5;
    qint64 bytes = qint64(1) << 30;
    qint64 memoryBytes = qint64(4) << 30;
    QString temp;
    QString work = QDir::currentPath();
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
        else if (name == QLatin1String("--memory-bytes"))
            options.memoryBytes = value.toLongLong();
        else if (name == QLatin1String("--temp"))
            options.temp = value;
        else if (name == QLatin1String("--work"))
            options.work = value;
    }
    return options;
}

// A video of the given size under the given id and title; a sparse file where its bytes need
// not come from the disk.
bool AddVideo(const QString& mediaDir, const QString& id, const QByteArray& title, qint64 bytes,
              bool sparse) {
    const QString path = mediaDir + QLatin1Char('/') + id + QStringLiteral(".flv");
    if (sparse) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(bytes))
            return false;
    } else if (!BenchSupport::MakeFileOfSize(path, bytes)) {
        return false;
    }
    return BenchSupport::WriteText(mediaDir + QLatin1Char('/') + id + QStringLiteral(".title"), title);
}

// The stream address the watch page leads to, as the program finds it.
QString StreamUrl(const QString& host, const QString& page) {
    struct QuietSink : ProgressSink {
        int Begin() override { return 0; }
        int End() override { return 0; }
        int Progress(int, int) override { return 0; }
        int Status(int, const QString&) override { return 0; }
        int IsCancelled() override { return 0; }
    } sink;
    HttpTransfer transfer;
    transfer.OpenSession(&sink);
    DownloadJob job;
    job.url = page;
    return ResolveJob(transfer, job, VideoQuality::Standard, host) ? job.streamUrl : QString();
}

// Runs one of the programs on the page and checks that the whole file arrived, then removes it.
// The previous contender's gigabyte is still being written back when the next one starts, and
// which contender pays for that would depend on the order. Each starts on a settled disk.
void SettleDisk() {
    ::sync();
}

double MiB(qint64 kib) {
    return double(kib) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const Options options = ParseOptions(QCoreApplication::arguments());
    const QString binDir = QCoreApplication::applicationDirPath();

    QTemporaryDir work(options.work + QStringLiteral("/bench-download-XXXXXX"));
    const QString media = work.filePath(QStringLiteral("media"));
    const QString output = work.filePath(QStringLiteral("output"));
    const QString config = work.filePath(QStringLiteral("config"));
    QDir().mkpath(media);
    QDir().mkpath(output);
    QDir().mkpath(config + QStringLiteral("/Ostrand"));
    if (!work.isValid() || !AddVideo(media, QStringLiteral("big"), "Big video", options.bytes, false)) {
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
    const QString host = QStringLiteral("127.0.0.1:%1").arg(port);
    // Started with an address, the program begins at once, overwrites without asking and ends
    // when the run is done.
    if (!BenchSupport::WriteText(
            config + QStringLiteral("/Ostrand/Tarnwick.conf"),
            QStringLiteral("[Settings]\nVideoHost=%1\nConvert=0\nAlwaysOverwrite=1\nAutoStart=1\n"
                           "AutoClose=1\nDefaultFolder=%2\n")
                .arg(host, output)
                .toUtf8()))
        return 1;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!options.temp.isEmpty())
        environment.insert(QStringLiteral("TMPDIR"), options.temp);

    using Program = std::function<bool(const QString& id, const QString& title, qint64 bytes, Measurement&)>;
    const Program window = [&](const QString& id, const QString& title, qint64 bytes, Measurement& m) {
        return BenchSupport::MeasureDelivery(
            binDir + QStringLiteral("/tarnwick"),
            {QStringLiteral("http://%1/watch?v=%2").arg(host, id), output}, environment,
            output + QLatin1Char('/') + title + QStringLiteral(".flv"), bytes, m);
    };
    const Program fetch = [&](const QString& id, const QString& title, qint64 bytes, Measurement& m) {
        return BenchSupport::MeasureDelivery(
            binDir + QStringLiteral("/tarnwick-fetch"),
            {output, QStringLiteral("http://%1/watch?v=%2").arg(host, id)}, environment,
            output + QLatin1Char('/') + title + QStringLiteral(".flv"), bytes, m);
    };
    const QString streamUrl = StreamUrl(host, QStringLiteral("http://%1/watch?v=big").arg(host));
    if (streamUrl.isEmpty()) {
        std::fprintf(stderr, "The watch page did not resolve.\n");
        return 1;
    }
    const QString curlPath = output + QStringLiteral("/curl.flv");

    std::printf("Video of %lld bytes, output folder %s, temporary folder %s, %d rounds, order turning\n",
                options.bytes, qPrintable(output),
                qPrintable(options.temp.isEmpty() ? QDir::tempPath() : options.temp), options.rounds);
    const QList<BenchSupport::Contender> contenders = {
        [&](Measurement& m) {
            SettleDisk();
            return window(QStringLiteral("big"), QStringLiteral("Big video"), options.bytes, m);
        },
        [&](Measurement& m) {
            SettleDisk();
            return fetch(QStringLiteral("big"), QStringLiteral("Big video"), options.bytes, m);
        },
        [&](Measurement& m) {
            SettleDisk();
            return BenchSupport::MeasureCurl(streamUrl, curlPath, m) && m.bytes == options.bytes;
        },
    };
    // One round outside the count warms the caches.
    QList<QList<Measurement>> warmUp;
    QList<QList<Measurement>> results;
    const bool measured =
        BenchSupport::RunRounds(1, contenders, warmUp) &&
        BenchSupport::RunRounds(
            options.rounds, contenders, results, [](int round, const QList<Measurement>& m) {
                std::printf(
                    "round %d: window %7.1f MiB/s (CPU %5.2f s, %5.1f MiB peak)   tarnwick-fetch %7.1f "
                    "MiB/s (CPU %5.2f s, %5.1f MiB peak)   curl -o %7.1f MiB/s (CPU %5.2f s, %5.1f MiB "
                    "peak)\n",
                    round, m[0].MiBPerSecond(), m[0].cpuSeconds, MiB(m[0].peakRssKiB), m[1].MiBPerSecond(),
                    m[1].cpuSeconds, MiB(m[1].peakRssKiB), m[2].MiBPerSecond(), m[2].cpuSeconds,
                    MiB(m[2].peakRssKiB));
                std::fflush(stdout);
            });
    if (measured) {
        BenchSupport::PrintRatio("window / curl -o", BenchSupport::ThroughputRatio(results, 0, 2),
                                 "at least 0.95");
        BenchSupport::PrintRatio("tarnwick-fetch / curl -o", BenchSupport::ThroughputRatio(results, 1, 2),
                                 "at least 1.0");
        // CPU time follows the work done and varies less than wall time on a busy machine.
        for (const auto& [label, ours] : {std::pair{"window / curl -o, CPU time (below 1: less work)", 0},
                                          {"tarnwick-fetch / curl -o, CPU time (below 1: less work)", 1}})
            BenchSupport::PrintRatio(
                label, BenchSupport::SummarizeRounds(results, [ours](const QList<Measurement>& m) {
                    return m[ours].cpuSeconds / m[2].cpuSeconds;
                }));
    }

    bool memoryFlat = true;
    if (measured && options.memoryBytes > 0) {
        constexpr qint64 SmallBytes = qint64(64) << 20;
        if (!AddVideo(media, QStringLiteral("small"), "Small video", SmallBytes, true) ||
            !AddVideo(media, QStringLiteral("large"), "Large video", options.memoryBytes, true))
            return 1;
        std::printf("Peak resident memory, %lld bytes against %lld bytes:\n", SmallBytes,
                    options.memoryBytes);
        for (const auto& [name, program] :
             {std::pair{"window", window}, std::pair{"tarnwick-fetch", fetch}}) {
            Measurement small;
            Measurement large;
            if (!program(QStringLiteral("small"), QStringLiteral("Small video"), SmallBytes, small) ||
                !program(QStringLiteral("large"), QStringLiteral("Large video"), options.memoryBytes,
                         large)) {
                std::fprintf(stderr, "%s: a download failed\n", name);
                return 1;
            }
            const bool under = large.peakRssKiB * 1024 < 100 * 1000 * 1000;
            memoryFlat = memoryFlat && under;
            std::printf("%s: %.1f MiB against %.1f MiB  goal: under 100 MB%s\n", name, MiB(small.peakRssKiB),
                        MiB(large.peakRssKiB), under ? "" : "  ABOVE");
            const QByteArray label = QByteArray(name) + " peak memory, large download / small download";
            BenchSupport::PrintRatio(label.constData(),
                                     BenchSupport::Summarize({double(large.peakRssKiB) / small.peakRssKiB}),
                                     "at most 1.1");
        }
    }
    service.terminate();
    service.waitForFinished(5000);
    return measured && memoryFlat ? 0 : 1;
}
