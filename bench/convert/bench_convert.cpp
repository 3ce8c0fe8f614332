// Converts one 60-second 640x360 source with three presets, once through the engine binding
// as a job does and once with the ffmpeg tool given the same codecs and settings, in rounds
// that alternate which side goes first, and prints the median of the per-round ratios of the
// wall times with their spread. Goal: at most 1.05.
//
//   bench_convert [--runs N]    N rounds per preset (default 5)

#include "benchsupport.h"
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
using BenchSupport::Ffmpeg;
using BenchSupport::RunFfmpeg;

namespace {

struct BenchCase {
    const char* format;
    const char* preset;
};

constexpr BenchCase kCases[] = {
    {"MP4", "H.264 Format"},
    {"AVI", "Auto"},
    {"MP3", "Good Quality"},
};

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
    int runs = 5;
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

    std::printf("60 s of 640x360 at 25 fps with 44.1 kHz stereo; %d rounds per preset, order turning\n",
                runs);
    // On a shared machine the wall times follow the load; the CPU times show the work done.
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
            std::printf("%s: cannot prepare the conversion\n", qPrintable(label));
            allConverted = false;
            continue;
        }
        const QStringList reference = ReferenceArguments(params, ffmpegOutput);
        const QList<BenchSupport::Contender> contenders = {
            [&](BenchSupport::Measurement& m) {
                QElapsedTimer timer;
                const double cpu = CpuSeconds(RUSAGE_SELF);
                timer.start();
                const bool ok = ConvertFile(engine, source, engineOutput, *preset, nullptr) == 0;
                m.seconds = timer.nsecsElapsed() / 1e9;
                m.cpuSeconds = CpuSeconds(RUSAGE_SELF) - cpu;
                return ok;
            },
            [&](BenchSupport::Measurement& m) {
                QElapsedTimer timer;
                const double cpu = CpuSeconds(RUSAGE_CHILDREN);
                timer.start();
                const bool ok = RunFfmpeg(reference);
                m.seconds = timer.nsecsElapsed() / 1e9;
                m.cpuSeconds = CpuSeconds(RUSAGE_CHILDREN) - cpu;
                return ok;
            },
        };
        QList<QList<BenchSupport::Measurement>> results;
        const bool ok = BenchSupport::RunRounds(runs, contenders, results, [&](int round, const auto& m) {
            std::printf("%s round %d: engine %.2f s (CPU %.2f s)   ffmpeg %.2f s (CPU %.2f s)\n",
                        qPrintable(label), round, m[0].seconds, m[0].cpuSeconds, m[1].seconds,
                        m[1].cpuSeconds);
        });
        if (!ok) {
            std::printf("%s: conversion failed\n", qPrintable(label));
            allConverted = false;
            continue;
        }
        const QByteArray wall = (label + QStringLiteral(" engine / ffmpeg, wall")).toUtf8();
        const QByteArray cpu = (label + QStringLiteral(" engine / ffmpeg, CPU")).toUtf8();
        BenchSupport::PrintRatio(wall.constData(), BenchSupport::TimeRatio(results, 0, 1), "at most 1.05");
        BenchSupport::PrintRatio(cpu.constData(), BenchSupport::SummarizeRounds(results, [](const auto& m) {
                                     return m[0].cpuSeconds / m[1].cpuSeconds;
                                 }));
    }
    return allConverted ? 0 : 1;
}
