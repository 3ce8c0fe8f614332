// bench_hls: downloads an HLS playlist of 200 MPEG-TS segments from the sample video service on
// loopback through the job procedure (playlist, then segment after segment into the job's
// file), and through `ffmpeg -i URL -c copy` on the same playlist, taking turns, and prints the
// median of the per-round throughput ratios with their minimum and maximum. Goal: at least 0.9.
//   bench_hls [rounds] [segments]

#include "benchsupport.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/job/processjob.h"
#include "showingsink.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace Tarnwick;
using BenchSupport::ShowingSink;
using BenchSupport::StartSampleService;

namespace {

class BenchContext : public JobContext {
public:
    explicit BenchContext(QString folder)
        : folder_(std::move(folder)) {}
    DownloadJob job;
    ShowingSink sink;

    DownloadJob& Job(int) override { return job; }
    void SetJobState(int, JobState state) override { job.state = state; }
    QString OutputFolder() const override { return folder_; }
    QString VideoHost() const override { return QStringLiteral("127.0.0.1"); }
    const Preset* SelectedPreset() const override { return nullptr; }
    ConversionEngine* Engine() override { return nullptr; }
    OverwritePolicy Policy() const override { return OverwritePolicy::OverwriteAll; }
    void SetPolicy(OverwritePolicy) override {}
    int AskOverwrite(const QString&) override { return AnswerYes; }
    ProgressSink* DownloadSink() override { return &sink; }
    ProgressSink* ConversionSink() override { return &sink; }
    void SetPhase(RunPhase) override {}
    void ResetProgress() override {}

private:
    QString folder_;
};

// Seconds for one download through the job procedure; 0 when it failed.
double TimeJob(const QString& url, const QString& folder, qint64& bytes) {
    BenchContext context(folder);
    context.job.url = url;
    QElapsedTimer timer;
    timer.start();
    const int result = ProcessJob(context, 0, VideoQuality::HighMp4, false);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (result != JobSucceeded) {
        std::fprintf(stderr, "the job failed: %s\n", qPrintable(context.sink.Result()));
        return 0;
    }
    bytes = QFile(context.job.outputPath).size();
    QFile::remove(context.job.outputPath);
    return seconds;
}

double TimeFfmpeg(const QString& url, const QString& path) {
    QElapsedTimer timer;
    timer.start();
    const int exitCode =
        QProcess::execute(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                           QStringLiteral("-i"), url, QStringLiteral("-c"), QStringLiteral("copy"), path});
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    QFile::remove(path);
    return exitCode == 0 ? seconds : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int rounds = arguments.size() > 1 ? arguments[1].toInt() : 7;
    const int segments = arguments.size() > 2 ? arguments[2].toInt() : 200;

    QTemporaryDir work;
    const QString binDir = QCoreApplication::applicationDirPath();
    std::printf("Making %d segments of one second (640x360, 2 Mbit/s) with ffmpeg...\n", segments);
    std::fflush(stdout);
    const int made =
        QProcess::execute(binDir + QStringLiteral("/make-web-media"),
                          {work.path(), QStringLiteral("bench"), QStringLiteral("--ts-only"),
                           QStringLiteral("--segments"), QString::number(segments),
                           QStringLiteral("--seconds"), QString::number(segments), QStringLiteral("--size"),
                           QStringLiteral("640x360"), QStringLiteral("--bitrate"), QStringLiteral("2000")});
    if (made != 0) {
        std::fprintf(stderr, "make-web-media failed\n");
        return 1;
    }
    QProcess service;
    int port = 0;
    if (!StartSampleService(service, binDir, work.path(), port)) {
        std::fprintf(stderr, "The sample video service did not start.\n");
        return 1;
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1/hls/bench/v0/index.m3u8").arg(port);
    const QString folder = work.filePath(QStringLiteral("out"));
    QDir().mkpath(folder);

    std::printf("Playlist %s, %d rounds, taking turns\n", qPrintable(url), rounds);
    QList<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        qint64 bytes = 0;
        double ours = 0;
        double reference = 0;
        // Taking turns evens out whatever else the machine is doing.
        if (round % 2 == 1) {
            ours = TimeJob(url, folder, bytes);
            reference = TimeFfmpeg(url, folder + QStringLiteral("/reference.ts"));
        } else {
            reference = TimeFfmpeg(url, folder + QStringLiteral("/reference.ts"));
            ours = TimeJob(url, folder, bytes);
        }
        if (ours <= 0 || reference <= 0) {
            std::fprintf(stderr, "round %d: a download failed\n", round);
            return 1;
        }
        // The same playlist both ways: the throughput ratio is the inverse ratio of the times.
        const double ratio = reference / ours;
        ratios.append(ratio);
        std::printf("round %d: job procedure %6.3f s (%6.1f MiB/s)   ffmpeg -c copy %6.3f s   ratio %.2f\n",
                    round, ours, double(bytes) / 1048576.0 / ours, reference, ratio);
        std::fflush(stdout);
    }
    BenchSupport::PrintRatio("job procedure / ffmpeg -c copy", BenchSupport::Summarize(ratios),
                             "at least 0.9");
    service.terminate();
    service.waitForFinished(5000);
    return 0;
}
