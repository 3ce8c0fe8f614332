#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace BenchSupport {

namespace {

double Seconds(const timeval& time) {
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

} // namespace

RatioSummary Summarize(QList<double> ratios) {
    RatioSummary summary;
    if (ratios.isEmpty())
        return summary;
    std::sort(ratios.begin(), ratios.end());
    const qsizetype n = ratios.size();
    summary.median = n % 2 == 1 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
    summary.min = ratios.front();
    summary.max = ratios.back();
    summary.rounds = int(n);
    return summary;
}

namespace {

// `./run bench` gathers every benchmark's figures into one table: with TARNWICK_BENCH_RESULTS
// naming a file, each figure is also appended there as one tab-separated line (the benchmark,
// the label, median, min, max, the goal).
void RecordForTable(const char* label, const RatioSummary& summary, const char* goal) {
    const QString path = qEnvironmentVariable("TARNWICK_BENCH_RESULTS");
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                   .arg(QCoreApplication::applicationName(), QString::fromUtf8(label))
                   .arg(summary.median, 0, 'f', 3)
                   .arg(summary.min, 0, 'f', 3)
                   .arg(summary.max, 0, 'f', 3)
                   .arg(goal != nullptr ? QString::fromUtf8(goal) : QStringLiteral("-"))
                   .toUtf8());
}

} // namespace

void PrintRatio(const char* label, const RatioSummary& summary, const char* goal) {
    std::printf("%s: median %.3f (min %.3f, max %.3f, %d rounds)%s%s\n", label, summary.median, summary.min,
                summary.max, summary.rounds, goal ? "  goal: " : "", goal ? goal : "");
    std::fflush(stdout);
    RecordForTable(label, summary, goal);
}

void PrintFigure(const char* label, const RatioSummary& summary, const char* unit, const char* goal) {
    std::printf("%s: median %.1f %s (min %.1f, max %.1f, %d rounds)%s%s\n", label, summary.median, unit,
                summary.min, summary.max, summary.rounds, goal ? "  goal: " : "", goal ? goal : "");
    std::fflush(stdout);
    RecordForTable(
        QStringLiteral("%1 (%2)").arg(QString::fromUtf8(label), QString::fromUtf8(unit)).toUtf8().constData(),
        summary, goal);
}

bool RunRounds(int rounds, const QList<Contender>& contenders, QList<QList<Measurement>>& results,
               const std::function<void(int, const QList<Measurement>&)>& report) {
    const qsizetype n = contenders.size();
    for (int round = 0; round < rounds; ++round) {
        QList<Measurement> measured(n);
        for (qsizetype turn = 0; turn < n; ++turn) {
            const qsizetype which = (round + turn) % n;
            if (!contenders[which](measured[which])) {
                std::fprintf(stderr, "round %d: contender %lld failed\n", round + 1,
                             static_cast<long long>(which));
                return false;
            }
        }
        results.append(measured);
        if (report)
            report(round + 1, measured);
    }
    return true;
}

RatioSummary SummarizeRounds(const QList<QList<Measurement>>& results,
                             const std::function<double(const QList<Measurement>&)>& ratio) {
    QList<double> ratios;
    for (const QList<Measurement>& round : results)
        ratios.append(ratio(round));
    return Summarize(ratios);
}

RatioSummary ThroughputRatio(const QList<QList<Measurement>>& results, int ours, int reference) {
    return SummarizeRounds(results, [=](const QList<Measurement>& round) {
        return round[ours].MiBPerSecond() / round[reference].MiBPerSecond();
    });
}

RatioSummary TimeRatio(const QList<QList<Measurement>>& results, int ours, int reference) {
    return SummarizeRounds(results, [=](const QList<Measurement>& round) {
        return round[ours].seconds / round[reference].seconds;
    });
}

bool RunProcess(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                Measurement& measurement) {
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environmentStorage;
    for (const QString& entry : environment.toStringList())
        environmentStorage.push_back(entry.toLocal8Bit());
    std::vector<char*> envp;
    for (QByteArray& item : environmentStorage)
        envp.push_back(item.data());
    envp.push_back(nullptr);

    QElapsedTimer timer;
    timer.start();
    // What the process prints on its standard output would bury the figures; its errors stay.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    rusage usage{};
    // wait4 gives the figures of this one child, where getrusage would sum all of them.
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            return false;
    }
    measurement.seconds = double(timer.nsecsElapsed()) / 1e9;
    measurement.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    measurement.peakRssKiB = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool StartSampleService(QProcess& service, const QString& binDir, const QString& mediaDir, int& port,
                        const QStringList& extraArguments) {
    service.start(
        binDir + QStringLiteral("/videosvc"),
        QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--media"), mediaDir} +
            extraArguments);
    if (!service.waitForStarted(5000))
        return false;
    // The service prints its port on the first line once it listens.
    while (!service.canReadLine())
        if (!service.waitForReadyRead(5000))
            return false;
    port = service.readLine().trimmed().toInt();
    return port > 0;
}

bool MeasureCurl(const QString& url, const QString& path, Measurement& measurement) {
    const bool ok =
        RunProcess(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), path, url},
                   QProcessEnvironment::systemEnvironment(), measurement);
    measurement.bytes = QFile(path).size();
    QFile::remove(path);
    return ok;
}

bool MakeFileOfSize(const QString& path, qint64 bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, '\x5a');
    for (qint64 written = 0; written < bytes;) {
        const qint64 n = std::min<qint64>(block.size(), bytes - written);
        if (file.write(block.constData(), n) != n)
            return false;
        written += n;
    }
    return file.flush();
}

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

bool WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

bool MeasureDelivery(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& environment, const QString& outputPath, qint64 bytes,
                     Measurement& measurement) {
    const bool ok = RunProcess(program, arguments, environment, measurement);
    measurement.bytes = QFile(outputPath).size();
    QFile::remove(outputPath);
    if (!ok || measurement.bytes != bytes)
        std::fprintf(stderr, "%s delivered %lld of %lld bytes\n", qPrintable(program), measurement.bytes,
                     bytes);
    return ok && measurement.bytes == bytes;
}

} // namespace BenchSupport
