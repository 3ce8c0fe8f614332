// Merges one picture file and one sound file (H.264 and AAC, 120 s) into an MP4 without
// re-encoding, once through the engine binding as a job does and once with
// `ffmpeg -i picture -i sound -map 0:v -map 1:a -c copy`, in rounds that alternate which side
// goes first, and prints the median of the per-round ratios of the wall times with their
// spread. Goal: at most 1.1.
//
//   bench_merge [--runs N] [--seconds S]    N rounds (default 7), S seconds of media (default 120)

#include "benchsupport.h"
#include "conversion/conversionengine.h"
#include "conversion/streammerge.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace Tarnwick;
using BenchSupport::Ffmpeg;
using BenchSupport::RunFfmpeg;

namespace {

int IntOption(const QStringList& arguments, const QString& name, int fallback) {
    const qsizetype at = arguments.indexOf(name);
    return at > 0 && at + 1 < arguments.size() ? qMax(1, arguments[at + 1].toInt()) : fallback;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = IntOption(app.arguments(), QStringLiteral("--runs"), 7);
    const int seconds = IntOption(app.arguments(), QStringLiteral("--seconds"), 120);

    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("picture.mp4"));
    const QString sound = folder.filePath(QStringLiteral("sound.m4a"));
    const QString length = QString::number(seconds);
    // A picture of some size, so that the copy moves real amounts of data.
    const bool made =
        folder.isValid() &&
        RunFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                   QStringLiteral("testsrc2=size=1280x720:rate=30:duration=") + length,
                   QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                   QStringLiteral("ultrafast"), QStringLiteral("-b:v"), QStringLiteral("4M"), picture}) &&
        RunFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                   QStringLiteral("sine=frequency=440:sample_rate=48000:duration=") + length,
                   QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"),
                   QStringLiteral("128k"), sound});
    if (!made) {
        std::fprintf(stderr, "cannot make the sources with %s\n", qPrintable(Ffmpeg()));
        return 1;
    }
    ConversionEngine engine;
    if (!engine.Open(QDir(QCoreApplication::applicationDirPath()).filePath(EngineLibraryFileName()))) {
        std::fprintf(stderr, "cannot open the engine beside %s\n",
                     qPrintable(QCoreApplication::applicationDirPath()));
        return 1;
    }

    const QString engineOutput = folder.filePath(QStringLiteral("engine.mp4"));
    const QString ffmpegOutput = folder.filePath(QStringLiteral("ffmpeg.mp4"));
    const QList<BenchSupport::Contender> contenders = {
        [&](BenchSupport::Measurement& m) {
            QElapsedTimer timer;
            timer.start();
            const bool ok = MergeStreams(engine, picture, sound, engineOutput, nullptr) == 0;
            m.seconds = timer.nsecsElapsed() / 1e9;
            m.bytes = QFile(engineOutput).size();
            return ok;
        },
        [&](BenchSupport::Measurement& m) {
            QElapsedTimer timer;
            timer.start();
            const bool ok =
                RunFfmpeg({QStringLiteral("-i"), picture, QStringLiteral("-i"), sound, QStringLiteral("-map"),
                           QStringLiteral("0:v"), QStringLiteral("-map"), QStringLiteral("1:a"),
                           QStringLiteral("-c"), QStringLiteral("copy"), ffmpegOutput});
            m.seconds = timer.nsecsElapsed() / 1e9;
            m.bytes = QFile(ffmpegOutput).size();
            return ok;
        },
    };
    std::printf("%d s of 1280x720 H.264 at 4 Mbit/s with 48 kHz AAC (%.1f MiB); %d rounds, order turning\n",
                seconds, double(QFile(picture).size() + QFile(sound).size()) / (1024.0 * 1024.0), runs);
    QList<QList<BenchSupport::Measurement>> results;
    const bool ok = BenchSupport::RunRounds(runs, contenders, results, [](int round, const auto& m) {
        std::printf("round %d: engine %.3f s (%lld bytes)   ffmpeg -c copy %.3f s (%lld bytes)\n", round,
                    m[0].seconds, static_cast<long long>(m[0].bytes), m[1].seconds,
                    static_cast<long long>(m[1].bytes));
    });
    if (!ok) {
        std::printf("a merge failed\n");
        return 1;
    }
    BenchSupport::PrintRatio("merge engine / ffmpeg -c copy, wall", BenchSupport::TimeRatio(results, 0, 1),
                             "at most 1.1");
    return 0;
}
