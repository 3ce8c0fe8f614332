// bench_hls: an HLS playlist of 100 MPEG-TS segments of one second, served on loopback by the
// sample video service with a fixed delay before every answer (50 ms, as a distant server
// has), downloaded three ways in rounds whose order turns: through the job procedure (the
// segments SegmentConnections at a time), with `ffmpeg -i URL -c copy`, and with
// `aria2c -j 4 -i <the segment addresses>`. Prints the median of the per-round time ratios
// with their minimum and maximum. Goals: at most 0.3x ffmpeg's time, at most 0.95x aria2c's. Needs ffmpeg and
// aria2c on PATH.
//   bench_hls [rounds] [segments] [delay ms] [connections]

#include "benchsupport.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/job/processjob.h"
#include "retrieval/transfer/httptransfer.h"
#include "showingsink.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace Tarnwick;
using BenchSupport::Measurement;
using BenchSupport::ShowingSink;

namespace {

class BenchContext : public JobContext {
public:
    BenchContext(QString folder, int connections)
        : folder_(std::move(folder))
        , connections_(connections) {}
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
    void ConfigureTransfer(HttpTransfer& transfer) override { transfer.SetSegmentConnections(connections_); }

private:
    QString folder_;
    int connections_;
};

bool RunTool(const QString& program, const QStringList& arguments, Measurement& m) {
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    const bool ok = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                    process.exitCode() == 0;
    m.seconds = double(timer.nsecsElapsed()) / 1e9;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const auto argument = [&arguments](int index, int fallback) {
        return arguments.size() > index ? qMax(1, arguments[index].toInt()) : fallback;
    };
    const int rounds = argument(1, 5);
    const int segments = argument(2, 100);
    const int delayMs = arguments.size() > 3 ? qMax(0, arguments[3].toInt()) : 50;
    const int connections = argument(4, HttpTransfer::DefaultSegmentConnections);

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
    if (!BenchSupport::StartSampleService(service, binDir, work.path(), port,
                                          {QStringLiteral("--latency"), QString::number(delayMs)})) {
        std::fprintf(stderr, "The sample video service did not start.\n");
        return 1;
    }
    const QString base = QStringLiteral("http://127.0.0.1:%1/hls/bench/v0/").arg(port);
    const QString url = base + QStringLiteral("index.m3u8");
    // aria2c gets the segment addresses the playlist names, and the same bytes to fetch.
    const QDir variant(work.filePath(QStringLiteral("hls/bench/v0")));
    const QStringList names = variant.entryList({QStringLiteral("seg*.ts")}, QDir::Files, QDir::Name);
    qint64 segmentBytes = 0;
    QByteArray list;
    for (const QString& name : names) {
        segmentBytes += QFileInfo(variant.filePath(name)).size();
        list += (base + name).toUtf8() + '\n';
    }
    const QString listPath = work.filePath(QStringLiteral("segments.txt"));
    QFile listFile(listPath);
    if (!listFile.open(QIODevice::WriteOnly) || listFile.write(list) != list.size()) {
        std::fprintf(stderr, "cannot write the segment list\n");
        return 1;
    }
    listFile.close();
    const QString folder = work.filePath(QStringLiteral("out"));
    const QString ariaFolder = work.filePath(QStringLiteral("aria"));
    QDir().mkpath(folder);

    const QList<BenchSupport::Contender> contenders = {
        [&](Measurement& m) {
            BenchContext context(folder, connections);
            context.job.url = url;
            QElapsedTimer timer;
            timer.start();
            const bool ok = ProcessJob(context, 0, VideoQuality::HighMp4, false) == JobSucceeded;
            m.seconds = double(timer.nsecsElapsed()) / 1e9;
            m.bytes = segmentBytes;
            if (!ok)
                std::fprintf(stderr, "the job failed: %s\n", qPrintable(context.sink.Result()));
            // Every segment's bytes, and nothing else, make the delivered file.
            const bool whole = ok && QFile(context.job.outputPath).size() == segmentBytes;
            if (ok && !whole)
                std::fprintf(stderr, "the delivered file is not the segments' bytes\n");
            QFile::remove(context.job.outputPath);
            return whole;
        },
        [&](Measurement& m) {
            const QString output = folder + QStringLiteral("/reference.ts");
            const bool ok = RunTool(QStringLiteral("ffmpeg"),
                                    {QStringLiteral("-nostdin"), QStringLiteral("-v"),
                                     QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"), url,
                                     QStringLiteral("-c"), QStringLiteral("copy"), output},
                                    m);
            m.bytes = segmentBytes;
            QFile::remove(output);
            return ok;
        },
        [&](Measurement& m) {
            QDir(ariaFolder).removeRecursively();
            const bool ok = RunTool(QStringLiteral("aria2c"),
                                    {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("4"),
                                     QStringLiteral("-d"), ariaFolder, QStringLiteral("-i"), listPath},
                                    m);
            m.bytes = segmentBytes;
            QDir(ariaFolder).removeRecursively();
            return ok;
        },
    };
    std::printf("Playlist %s: %d segments, %.1f MiB, %d ms before every answer; %d connections; %d rounds, "
                "order turning\n",
                qPrintable(url), int(names.size()), double(segmentBytes) / 1048576.0, delayMs, connections,
                rounds);
    std::fflush(stdout);
    QList<QList<Measurement>> results;
    const bool ok =
        BenchSupport::RunRounds(rounds, contenders, results, [](int round, const QList<Measurement>& m) {
            std::printf("round %d: job procedure %6.3f s   ffmpeg -c copy %6.3f s   aria2c -j 4 %6.3f s\n",
                        round, m[0].seconds, m[1].seconds, m[2].seconds);
            std::fflush(stdout);
        });
    service.terminate();
    service.waitForFinished(5000);
    if (!ok) {
        std::fprintf(stderr, "a download failed\n");
        return 1;
    }
    BenchSupport::PrintRatio("job procedure / ffmpeg -c copy, time", BenchSupport::TimeRatio(results, 0, 1),
                             "at most 0.3");
    BenchSupport::PrintRatio("job procedure / aria2c -j 4, time", BenchSupport::TimeRatio(results, 0, 2),
                             "at most 0.95");
    return 0;
}
