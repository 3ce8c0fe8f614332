// bench_journal: what the journal of unfinished jobs writes while a run goes through a list, in
// a list of 10,000 rows against one of 10 rows. The window's own parts do the work (the job list,
// the keeper that records its changes, the journal), with every job going from waiting through
// downloading to done in an event-loop turn of its own, as a run of quick jobs does. The bytes
// are counted by the system (write calls of this process, /proc/self/io), from after the rows
// went in to the end of the run. Prints the median of the per-round ratios of the bytes written
// per finished job, long list over short, with their spread. Goal: at most 2.
//
//   bench_journal [rounds] [rows]

#include "benchsupport.h"
#include "queue/joblistmodel.h"
#include "queue/journalkeeper.h"
#include "retrieval/job/journal/jobjournal.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace Tarnwick;

namespace {

// The bytes this process has handed to write calls so far.
qint64 BytesWrittenByProcess() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

// Bytes written per finished job in a run through a list of rows jobs.
double BytesPerFinishedJob(int rows) {
    QTemporaryDir folder;
    JobJournal journal(JobJournal::Kind::Window, folder.path());
    JobListModel model;
    QStringList urls;
    for (int i = 0; i < rows; ++i)
        urls << QStringLiteral("https://videos.example/watch?v=%1").arg(i, 8, 10, QLatin1Char('0'));
    JournalKeeper keeper(model, journal);
    model.AppendAll(urls);
    keeper.Flush();
    const qint64 before = BytesWrittenByProcess();
    for (int row = 0; row < rows; ++row) {
        for (const JobState state : {JobState::Preparing, JobState::Downloading, JobState::Succeeded}) {
            model.Job(row).state = state;
            model.JobChanged(row);
            QCoreApplication::processEvents();
        }
    }
    keeper.Flush();
    return double(BytesWrittenByProcess() - before) / rows;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int rounds = arguments.size() > 1 ? qMax(1, arguments[1].toInt()) : 5;
    const int rows = arguments.size() > 2 ? qMax(10, arguments[2].toInt()) : 10000;
    if (BytesWrittenByProcess() < 0) {
        std::fprintf(stderr, "This system does not count the bytes a process writes (/proc/self/io).\n");
        return 1;
    }
    std::printf("Journal bytes per finished job, %d rows against 10, %d rounds, order turning\n", rows,
                rounds);
    QList<double> ratios;
    QList<double> longBytes;
    for (int round = 0; round < rounds; ++round) {
        double shortList = 0;
        double longList = 0;
        if (round % 2 == 0) {
            shortList = BytesPerFinishedJob(10);
            longList = BytesPerFinishedJob(rows);
        } else {
            longList = BytesPerFinishedJob(rows);
            shortList = BytesPerFinishedJob(10);
        }
        std::printf("round %d: %.1f bytes a job in %d rows, %.1f in 10\n", round + 1, longList, rows,
                    shortList);
        ratios.append(longList / shortList);
        longBytes.append(longList);
    }
    BenchSupport::PrintRatio("journal bytes per job, long list / short list", BenchSupport::Summarize(ratios),
                             "at most 2");
    BenchSupport::PrintFigure("journal bytes per job, long list", BenchSupport::Summarize(longBytes),
                              "bytes");
    return 0;
}
