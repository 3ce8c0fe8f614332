// Converts one 60-second 640x360 source with three presets, once through the engine binding
// as a job does and once with the ffmpeg tool given the same codecs and settings, and prints
// the ratio of the wall times. Goal: at most 1.10.
//
//   bench_convert [--runs N]    each side runs N times (default 2); the fastest run counts

#include "conversion/conversionengine.h"
#include "conversion/conversionjob.h"
#include "conversion/conversionparams.h"
#include "conversion/formatcatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace Tarnwick;

namespace {

constexpr double kGoal = 1.10;

struct BenchCase {
    const char* format;
    const char* preset;
};

constexpr BenchCase kCases[] = {
    {"MP4", "H.264 Format"},
    {"AVI", "Auto"},
    {"MP3", "Good Quality"},
};

QString Ffmpeg() {
    const QByteArray path = qgetenv("TARNWICK_FFMPEG");
    return path.isEmpty() ? QStringLiteral("ffmpeg") : QString::fromLocal8Bit(path);
}

bool RunFfmpeg(const QStringList& arguments) {
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(Ffmpeg(),
                 QStringList{QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"),
                             QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y")} +
                     arguments);
    return ffmpeg.waitForFinished(-1) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

// A download as the sample service serves it: Sorenson video and MP3 sound.
bool MakeSource(const QString& path) {
    return RunFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("testsrc=size=640x360:rate=25:duration=60"), QStringLiteral("-f"),
                      QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("sine=frequency=440:sample_rate=44100:duration=60"),
                      QStringLiteral("-c:v"), QStringLiteral("flv1"), QStringLiteral("-b:v"),
                      QStringLiteral("800k"), QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                      QStringLiteral("-ac"), QStringLiteral("2"), QStringLiteral("-b:a"),
                      QStringLiteral("128k"), path});
}

// The ffmpeg tool's arguments for the same conversion; only libfaac has a new name among
// the codecs these presets use.
QStringList ReferenceArguments(const ConversionParams& params, const QString& output) {
    static const QHash<QString, QString> today{{QStringLiteral("libfaac"), QStringLiteral("aac")}};
    QStringList arguments{QStringLiteral("-i"), params.input, QStringLiteral("-f"), params.format};
    if (params.disableVideo) {
        arguments << QStringLiteral("-vn");
    } else {
        if (!params.videoCodec.isEmpty())
            arguments << QStringLiteral("-c:v") << today.value(params.videoCodec, params.videoCodec);
        if (params.width > 0)
            arguments << QStringLiteral("-s") << QStringLiteral("%1x%2").arg(params.width).arg(params.height);
        if (params.frameRateNum > 0)
            arguments << QStringLiteral("-r")
                      << QStringLiteral("%1/%2").arg(params.frameRateNum).arg(params.frameRateDen);
        if (params.videoBitRate > 0)
            arguments << QStringLiteral("-b:v") << QString::number(params.videoBitRate);
    }
    if (params.disableAudio) {
        arguments << QStringLiteral("-an");
    } else {
        if (!params.audioCodec.isEmpty())
            arguments << QStringLiteral("-c:a") << today.value(params.audioCodec, params.audioCodec);
        if (params.channels > 0)
            arguments << QStringLiteral("-ac") << QString::number(params.channels);
        if (params.sampleRate > 0)
            arguments << QStringLiteral("-ar") << QString::number(params.sampleRate);
        if (params.audioBitRate > 0)
            arguments << QStringLiteral("-b:a") << QString::number(params.audioBitRate);
    }
    return arguments << output;
}

// User and system CPU seconds of this process (who) or of its finished children.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

const Preset* FindPreset(const Catalog& catalog, const QString& format, const QString& preset) {
    for (const auto& group : catalog) {
        for (const auto& candidate : group->formats) {
            if (candidate->displayName != format)
                continue;
            for (const auto& entry : candidate->presets) {
                if (QString::fromUtf8(entry->settings.name) == preset)
                    return entry.get();
            }
        }
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = 2;
    const QStringList arguments = app.arguments();
    const qsizetype runsAt = arguments.indexOf(QStringLiteral("--runs"));
    if (runsAt > 0 && runsAt + 1 < arguments.size())
        runs = qMax(1, arguments[runsAt + 1].toInt());

    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("source.flv"));
    ConversionEngine engine;
    if (!folder.isValid() || !MakeSource(source)) {
        std::fprintf(stderr, "cannot make the source with %s\n", qPrintable(Ffmpeg()));
        return 1;
    }
    if (!engine.Open(QDir(QCoreApplication::applicationDirPath()).filePath(EngineLibraryFileName()))) {
        std::fprintf(stderr, "cannot open the engine beside %s\n",
                     qPrintable(QCoreApplication::applicationDirPath()));
        return 1;
    }
    Catalog catalog = BuildCatalog();
    for (const auto& group : catalog) {
        for (const auto& format : group->formats)
            format->ResetToFactory();
    }

    std::printf("60 s of 640x360 at 25 fps with 44.1 kHz stereo; fastest of %d runs each\n", runs);
    // On a shared machine the wall times follow the load; the CPU times show the work done.
    std::printf("%-22s %10s %10s %8s %12s\n", "preset", "engine s", "ffmpeg s", "ratio", "CPU ratio");
    bool allConverted = true;
    for (const BenchCase& benchCase : kCases) {
        const QString label =
            QStringLiteral("%1 %2").arg(QLatin1String(benchCase.format), QLatin1String(benchCase.preset));
        const Preset* preset =
            FindPreset(catalog, QLatin1String(benchCase.format), QLatin1String(benchCase.preset));
        const QString extension = preset ? preset->format->extension : QString();
        const QString engineOutput = folder.filePath(QStringLiteral("engine") + extension);
        const QString ffmpegOutput = folder.filePath(QStringLiteral("ffmpeg") + extension);
        ConversionParams params;
        if (preset == nullptr || !PrepareParams(engine, params, source, engineOutput, *preset)) {
            std::printf("%-22s cannot prepare the conversion\n", qPrintable(label));
            allConverted = false;
            continue;
        }
        const QStringList reference = ReferenceArguments(params, ffmpegOutput);
        double engineSeconds = 1e9;
        double ffmpegSeconds = 1e9;
        double engineCpu = 1e9;
        double ffmpegCpu = 1e9;
        bool ok = true;
        for (int run = 0; run < runs && ok; ++run) {
            QElapsedTimer timer;
            double cpu = CpuSeconds(RUSAGE_SELF);
            timer.start();
            ok = ConvertFile(engine, source, engineOutput, *preset, nullptr) == 0;
            engineSeconds = qMin(engineSeconds, timer.nsecsElapsed() / 1e9);
            engineCpu = qMin(engineCpu, CpuSeconds(RUSAGE_SELF) - cpu);
            cpu = CpuSeconds(RUSAGE_CHILDREN);
            timer.restart();
            ok = ok && RunFfmpeg(reference);
            ffmpegSeconds = qMin(ffmpegSeconds, timer.nsecsElapsed() / 1e9);
            ffmpegCpu = qMin(ffmpegCpu, CpuSeconds(RUSAGE_CHILDREN) - cpu);
        }
        if (!ok) {
            std::printf("%-22s conversion failed\n", qPrintable(label));
            allConverted = false;
            continue;
        }
        const double ratio = engineSeconds / ffmpegSeconds;
        std::printf("%-22s %10.2f %10.2f %8.2f %12.2f  %s\n", qPrintable(label), engineSeconds, ffmpegSeconds,
                    ratio, engineCpu / ffmpegCpu,
                    ratio <= kGoal ? "within the goal of 1.10" : "ABOVE the goal of 1.10");
    }
    return allConverted ? 0 : 1;
}
