#include "consolejobcontext.h"

#include "conversion/conversionengine.h"
#include "retrieval/job/journal/jobjournal.h"
#include "retrieval/job/journal/journaltext.h"
#include "retrieval/transfer/httptransfer.h"
#include "terminaltext.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace Tarnwick {

QString JobStateName(JobState state) {
    switch (state) {
    case JobState::Idle:
        return QStringLiteral("Idle");
    case JobState::Skipped:
        return QStringLiteral("Skipped");
    case JobState::Preparing:
        return QStringLiteral("Preparing");
    case JobState::Downloading:
        return QStringLiteral("Downloading");
    case JobState::Converting:
        return QStringLiteral("Converting");
    case JobState::Succeeded:
        return QStringLiteral("Succeeded");
    case JobState::Failed:
        return QStringLiteral("Failed");
    case JobState::Stopped:
        return QStringLiteral("Stopped");
    }
    return QString::number(int(state));
}

ConsoleJobContext::ConsoleJobContext(QString outputFolder, QString videoHost, QString ytDlpPath,
                                     OverwritePolicy policy)
    : outputFolder_(std::move(outputFolder))
    , videoHost_(std::move(videoHost))
    , ytDlp_(std::move(ytDlpPath))
    , policy_(policy) {}

ConsoleJobContext::~ConsoleJobContext() = default;

ConversionEngine* ConsoleJobContext::Engine() {
    if (!engineTried_) {
        engineTried_ = true;
        auto engine = std::make_unique<ConversionEngine>(
            [](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
        const QString beside =
            QCoreApplication::applicationDirPath() + QLatin1Char('/') + EngineLibraryFileName();
        if (engine->Open(QFileInfo::exists(beside) ? beside : EngineLibraryFileName()))
            engine_ = std::move(engine);
    }
    return engine_.get();
}

bool ConsoleJobContext::InsertJobs(int index, const QList<DownloadJob>& jobs) {
    for (int i = 0; i < jobs.size(); ++i) {
        jobs_.insert(jobs_.begin() + index + 1 + i, jobs[i]);
        EnsureJobId(jobs_[index + 1 + i]);
    }
    Record(index + 1, index + int(jobs.size()));
    return true;
}

int ConsoleJobContext::AddJob(const QString& url, VideoQuality quality) {
    DownloadJob job;
    job.url = url;
    // Recorded with the job, so that a later --resume knows the folder of a job that never began.
    job.choices = JobChoices{outputFolder_, quality, false, {}, {}, nullptr};
    return AddJob(job);
}

int ConsoleJobContext::AddJob(const DownloadJob& job) {
    jobs_.push_back(job);
    EnsureJobId(jobs_.back());
    const int index = int(jobs_.size()) - 1;
    Record(index, index);
    return index;
}

void ConsoleJobContext::SetJournal(JobJournal* journal) {
    journal_ = journal;
    Record(0, int(jobs_.size()) - 1);
}

void ConsoleJobContext::Record(int first, int last) {
    if (journal_ == nullptr)
        return;
    // Without an event loop to gather changes in, each one is recorded as it happens; the
    // journal writes only what changed.
    JobChanges changes;
    const auto jobAt = [this](qsizetype index) -> const DownloadJob& {
        return jobs_[size_t(index)];
    };
    for (int index = qMax(first, 0); index <= last; ++index)
        changeMaker_.Changed(index, jobAt, changes);
    if (!journal_->Apply(EntriesOf(changes)))
        std::fprintf(stderr, "tarnwick-fetch: the list of unfinished downloads cannot be written: %s\n",
                     qPrintable(journal_->Path()));
}

void ConsoleJobContext::PartialChanged(int index) {
    Record(index, index);
}

void ConsoleJobContext::SetJobState(int index, JobState state) {
    DownloadJob& job = jobs_[index];
    job.state = state;
    Record(index, index);
    sink_.FinishLine();
    QString detail;
    if (state == JobState::Downloading)
        detail = QStringLiteral(" \"%1\"").arg(job.title);
    else if (state == JobState::Succeeded)
        detail = QStringLiteral(" -> %1").arg(job.outputPath);
    // The address, the title and the name made from it come from outside: shown escaped.
    std::printf("[%d/%d] %s: %s%s\n", index + 1, int(jobs_.size()), qPrintable(JobStateName(state)),
                qPrintable(TerminalSafe(job.url)), qPrintable(TerminalSafe(detail)));
    std::fflush(stdout);
}

void ConsoleJobContext::ConfigureTransfer(HttpTransfer& transfer) {
    if (stallSeconds_ > 0)
        transfer.SetStallSeconds(stallSeconds_);
    RetryPolicy retries = transfer.Retries();
    retries.waitScale = retryWaitScale_;
    transfer.SetRetries(retries);
    transfer.SetSegmentConnections(segmentConnections_);
}

void ConsoleJobContext::FolderMissing(const QString& folder) {
    std::fprintf(stderr, "Cannot find or create the folder: %s\n", qPrintable(folder));
}

void ConsoleJobContext::ShowSummary(const QString& text) {
    sink_.FinishLine();
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

int ConsoleJobContext::AskOverwrite(const QString& fileName) {
    if (isatty(fileno(stdin)) == 0)
        return AnswerNo;
    sink_.FinishLine();
    std::printf("The output folder already contains a file named:\n'%s'\n"
                "Would you like to overwrite the existing file? [y]es, [a]ll, [n]o, n[o]ne: ",
                qPrintable(TerminalSafe(fileName)));
    std::fflush(stdout);
    char answer[16] = {};
    if (std::fgets(answer, sizeof answer, stdin) == nullptr)
        return AnswerCancel;
    switch (answer[0]) {
    case 'y':
    case 'Y':
        return AnswerYes;
    case 'a':
    case 'A':
        return AnswerYesToAll;
    case 'o':
    case 'O':
        return AnswerNoToAll;
    default:
        return AnswerNo;
    }
}

} // namespace Tarnwick
