// bench_soak [jobs] [seed]: runs a seeded random mix of good pages and every fault of the sample
// service through one tarnwick-fetch process. Checks that each job ends in the state its fault
// implies and that no temporary file is left anywhere, and compares the process's resident
// memory at the end with that after the first 10 jobs. Exit status 1 when any check fails.

#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>

namespace {

// Every page id with the state its job must end in.
const QList<QPair<QString, QString>> PageOutcomes = {
    {"good", "Succeeded"},
    {"fault-page-404", "Failed"},
    {"fault-page-500", "Failed"},
    {"fault-page-redirect", "Succeeded"},
    {"fault-empty", "Failed"},
    {"fault-noargs", "Failed"},
    {"fault-emptyargs", "Failed"},
    {"fault-notitle", "Failed"},
    {"fault-huge", "Failed"},
    {"fault-utf8", "Succeeded"},
    {"fault-utf8bom", "Succeeded"},
    {"fault-utf16le", "Succeeded"},
    {"fault-utf16be", "Succeeded"},
    {"fault-cp1252", "Succeeded"},
    {"fault-stream-404", "Failed"},
    {"fault-stream-500", "Failed"},
    {"fault-stream-503", "Succeeded"},
    {"fault-stream-429", "Succeeded"},
    {"fault-short", "Failed"},
    {"fault-cut", "Succeeded"},
    {"fault-cut-norange", "Succeeded"},
    {"fault-cut-etag", "Succeeded"},
    {"fault-stall", "Failed"},
    {"fault-slow", "Succeeded"},
    {"fault-chunked", "Succeeded"},
    {"fault-redirect", "Succeeded"},
    {"fault-redirect-loop", "Failed"},
    {"fault-redirect-ftp", "Failed"},
};

// The share of good pages in the random part of the mix.
constexpr double GoodShare = 0.4;
constexpr int MeasureAfterJobs = 10;

qint64 ResidentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

QByteArray SomeBytes(int length, std::mt19937& random) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random() & 0xFF);
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// Our temporary files, wherever they are: "~VD..." and ".~VD...".
QStringList Leftovers(const QStringList& folders) {
    QStringList found;
    for (const QString& folder : folders)
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
            if (name.startsWith(QLatin1String("~VD")) || name.startsWith(QLatin1String(".~VD")))
                found << QDir(folder).filePath(name);
    return found;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int jobCount = arguments.size() > 1 ? arguments[1].toInt() : 200;
    const unsigned seed = arguments.size() > 2 ? arguments[2].toUInt() : 13u;
    if (jobCount < MeasureAfterJobs + 1) {
        std::fprintf(stderr, "Usage: bench_soak [jobs >= %d] [seed]\n", MeasureAfterJobs + 1);
        return 2;
    }

    QTemporaryDir work;
    const QString media = work.filePath(QStringLiteral("media"));
    const QString output = work.filePath(QStringLiteral("out"));
    const QString temp = work.filePath(QStringLiteral("tmp"));
    const QString config = work.filePath(QStringLiteral("config"));
    for (const QString& folder : {media, output, temp, config + QStringLiteral("/Ostrand")})
        QDir().mkpath(folder);
    std::mt19937 random(seed);
    // The service streams any bytes; nothing is converted here.
    WriteFile(media + QStringLiteral("/good.flv"), SomeBytes(700 * 1024, random));
    WriteFile(media + QStringLiteral("/sample.flv"), SomeBytes(300 * 1024, random));

    QProcess service;
    int port = 0;
    if (!BenchSupport::StartSampleService(service, QCoreApplication::applicationDirPath(), media, port)) {
        std::fprintf(stderr, "videosvc did not start\n");
        return 1;
    }
    WriteFile(config + QStringLiteral("/Ostrand/Tarnwick.conf"),
              QStringLiteral("[Settings]\nVideoHost=127.0.0.1:%1\nAlwaysOverwrite=1\n").arg(port).toUtf8());

    // Every id at least once, the rest drawn at random; then the whole list shuffled.
    QStringList ids;
    for (const auto& outcome : PageOutcomes)
        ids << outcome.first;
    std::uniform_real_distribution<double> share(0.0, 1.0);
    std::uniform_int_distribution<int> anyFault(1, int(PageOutcomes.size()) - 1);
    while (ids.size() < jobCount)
        ids << (share(random) < GoodShare ? QStringLiteral("good") : PageOutcomes[anyFault(random)].first);
    std::shuffle(ids.begin(), ids.end(), random);
    // One more, slow job keeps the process alive while its memory at the end is read.
    QStringList fetchArguments = {QStringLiteral("--stall-seconds"), QStringLiteral("1"),
                                  QStringLiteral("--retry-wait-scale"), QStringLiteral("0.02"), output};
    for (const QString& id : ids)
        fetchArguments << QStringLiteral("http://127.0.0.1:%1/watch?v=%2").arg(port).arg(id);
    fetchArguments << QStringLiteral("http://127.0.0.1:%1/watch?v=fault-slow").arg(port);

    QProcess fetch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("TMPDIR"), temp);
    fetch.setProcessEnvironment(environment);
    fetch.setProcessChannelMode(QProcess::MergedChannels);
    fetch.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick-fetch"), fetchArguments);
    if (!fetch.waitForStarted(5000)) {
        std::fprintf(stderr, "tarnwick-fetch did not start\n");
        return 1;
    }

    const QRegularExpression stateLine(QStringLiteral("^\\[(\\d+)/\\d+\\] (\\w+): "));
    QHash<int, QString> finalStates;
    QHash<int, int> errorLines; // jobs whose failure printed a reason
    qint64 early = -1;
    qint64 late = -1;
    int lastJob = 0;
    QByteArray pending;
    while (fetch.state() != QProcess::NotRunning || fetch.bytesAvailable() > 0) {
        fetch.waitForReadyRead(200);
        pending += fetch.readAll();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            if (line.startsWith(QLatin1String("  error: ")) && lastJob > 0 &&
                line.size() > int(qstrlen("  error: ")))
                errorLines[lastJob] = 1;
            const QRegularExpressionMatch match = stateLine.match(line);
            if (!match.hasMatch())
                continue;
            const int job = match.captured(1).toInt();
            const QString state = match.captured(2);
            lastJob = job;
            if (state == QLatin1String("Preparing") && job == MeasureAfterJobs + 1)
                early = ResidentKiB(fetch.processId());
            if (state == QLatin1String("Preparing") && job == jobCount + 1)
                late = ResidentKiB(fetch.processId());
            if (state == QLatin1String("Succeeded") || state == QLatin1String("Failed") ||
                state == QLatin1String("Skipped"))
                finalStates[job] = state;
        }
    }

    QMap<QString, int> counts;
    QMap<QString, int> wrong;
    int silentFailures = 0;
    for (int job = 1; job <= jobCount; ++job) {
        const QString& id = ids[job - 1];
        const auto outcome = std::find_if(PageOutcomes.begin(), PageOutcomes.end(),
                                          [&](const auto& entry) { return entry.first == id; });
        const QString state = finalStates.value(job, QStringLiteral("(none)"));
        counts[state]++;
        if (state != outcome->second)
            wrong[id]++;
        if (state == QLatin1String("Failed") && !errorLines.contains(job))
            silentFailures++;
    }
    service.terminate();
    service.waitForFinished(5000);
    const QStringList leftovers = Leftovers({output, temp});

    std::printf("jobs %d (seed %u): ", jobCount, seed);
    for (auto it = counts.begin(); it != counts.end(); ++it)
        std::printf("%s %d  ", qPrintable(it.key()), it.value());
    std::printf("\n");
    for (auto it = wrong.begin(); it != wrong.end(); ++it)
        std::printf("  ended in the wrong state: %s x%d\n", qPrintable(it.key()), it.value());
    std::printf("failures without a reason: %d\n", silentFailures);
    std::printf("temporary files left: %d\n", int(leftovers.size()));
    for (const QString& path : leftovers)
        std::printf("  %s\n", qPrintable(path));
    const double ratio = early > 0 && late > 0 ? double(late) / double(early) : 0.0;
    std::printf("RSS after %d jobs %lld KiB, at the end %lld KiB, ratio %.3f\n", MeasureAfterJobs, early,
                late, ratio);
    const bool passed = wrong.isEmpty() && silentFailures == 0 && leftovers.isEmpty() && ratio > 0 &&
                        ratio <= 1.10 && finalStates.size() == jobCount + 1;
    std::printf("%s\n", passed ? "soak passed" : "soak FAILED");
    return passed ? 0 : 1;
}
