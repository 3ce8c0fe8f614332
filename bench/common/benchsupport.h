#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

class QProcess;

namespace BenchSupport {

// One timed run: how long it took, how many bytes arrived, and what else the benchmark watched.
struct Measurement {
    double seconds = 0;
    qint64 bytes = 0;
    double cpuSeconds = 0;   // user + system, where it was counted
    qint64 peakRssKiB = 0;   // of a child process, where one did the work
    double worstDelayMs = 0; // where a window's event loop was watched

    double MiBPerSecond() const { return double(bytes) / (1024.0 * 1024.0) / seconds; }
};

// The ratios of many rounds, one per round, summed up as the median with the spread: a median
// of per-round ratios is not swayed by one lucky or unlucky round, as a best-of would be.
struct RatioSummary {
    double median = 0;
    double min = 0;
    double max = 0;
    int rounds = 0;
};
RatioSummary Summarize(QList<double> ratios);
// "label: median 0.97 (min 0.91, max 1.02, 5 rounds)" followed by the goal when one is given.
// The goal reads "at most X", "at least X" or "X to Y", so that `./run bench` can say whether it
// holds; the figure also goes to that table (see TARNWICK_BENCH_RESULTS).
void PrintRatio(const char* label, const RatioSummary& summary, const char* goal = nullptr);
// The same for a figure that is not a ratio (milliseconds, MiB, bytes), in unit.
void PrintFigure(const char* label, const RatioSummary& summary, const char* unit,
                 const char* goal = nullptr);

// How one side of a comparison takes one measurement; false when the run failed.
using Contender = std::function<bool(Measurement&)>;
// Runs every contender once per round. The order turns by one each round (A B C, B C A, C A B,
// ...), so that none always runs first on cold caches or last on a tired machine. results
// receives one list per round, in the order of contenders. False at the first failed run.
bool RunRounds(int rounds, const QList<Contender>& contenders, QList<QList<Measurement>>& results,
               const std::function<void(int round, const QList<Measurement>&)>& report = {});
// Per round, what ratio() makes of that round's measurements, summed up.
RatioSummary SummarizeRounds(const QList<QList<Measurement>>& results,
                             const std::function<double(const QList<Measurement>&)>& ratio);
// Per round, the throughput of contender ours over that of reference (above 1: ours is faster).
RatioSummary ThroughputRatio(const QList<QList<Measurement>>& results, int ours, int reference);
// Per round, the wall time of contender ours over that of reference (above 1: ours is slower).
RatioSummary TimeRatio(const QList<QList<Measurement>>& results, int ours, int reference);

// Runs program to its end and measures that process alone (wall time, CPU time and peak
// resident memory as the system counted them). Its standard output is discarded; its errors show.
// False when it could not start or did not exit with 0.
bool RunProcess(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                Measurement& measurement);

// Starts build/bin/videosvc on a free loopback port, serving mediaDir; port receives the port.
bool StartSampleService(QProcess& service, const QString& binDir, const QString& mediaDir, int& port,
                        const QStringList& extraArguments = {});

// The reference: `curl -s -o path url`, timed as a process. The copy is removed afterwards.
bool MeasureCurl(const QString& url, const QString& path, Measurement& measurement);

// A file of the given size for the service to serve; its bytes do not matter to a transfer.
bool MakeFileOfSize(const QString& path, qint64 bytes);

// Writes text as the whole file at path.
bool WriteText(const QString& path, const QByteArray& text);
// Runs a contender that delivers a file of bytes bytes at outputPath, checks that the whole file
// arrived (saying so on standard error when not), then removes it.
bool MeasureDelivery(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& environment, const QString& outputPath, qint64 bytes,
                     Measurement& measurement);

// The ffmpeg tool the benchmarks measure against: $TARNWICK_FFMPEG, else ffmpeg on PATH.
QString Ffmpeg();
// Runs it quietly with arguments (-y: outputs are overwritten); true when it succeeded.
bool RunFfmpeg(const QStringList& arguments);

} // namespace BenchSupport
