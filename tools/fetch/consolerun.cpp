#include "consolerun.h"

#include "consolejob.h"
#include "conversion/conversionengine.h"
#include "retrieval/job/journal/jobjournal.h"
#include "retrieval/job/journal/journaltext.h"
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

ConsoleRun::ConsoleRun(QString outputFolder, QString videoHost, QString ytDlpPath, OverwritePolicy policy)
    : outputFolder_(std::move(outputFolder))
    , videoHost_(std::move(videoHost))
    , ytDlp_(std::move(ytDlpPath))
    , policy_(int(policy)) {}

ConsoleRun::~ConsoleRun() = default;

void ConsoleRun::AddJob(const QString& url, VideoQuality quality, const QString& exactFormat) {
    DownloadJob job;
    job.url = url;
    job.chosenFormat = exactFormat;
    // Recorded with the job, so that a later --resume knows the folder of a job that never began.
    job.choices = JobChoices{outputFolder_, quality, false, {}, {}, nullptr};
    AddJob(job);
}

void ConsoleRun::AddJob(const DownloadJob& job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::make_unique<DownloadJob>(job));
    EnsureJobId(*jobs_.back());
    RecordRows(int(jobs_.size()) - 1, int(jobs_.size()) - 1);
}

void ConsoleRun::SetJournal(JobJournal* journal) {
    std::lock_guard lock(mutex_);
    journal_ = journal;
    RecordRows(0, int(jobs_.size()) - 1);
}

QList<ScheduledFrontEnd::RowAddress> ConsoleRun::Rows() {
    std::lock_guard lock(mutex_);
    QList<RowAddress> rows;
    rows.reserve(qsizetype(jobs_.size()));
    for (const auto& job : jobs_)
        rows.append({job->id, job->url});
    return rows;
}

std::shared_ptr<JobContext> ConsoleRun::ContextFor(quint64 id, int index) {
    std::lock_guard lock(mutex_);
    const int row = RowOf(id) >= 0 ? RowOf(id) : index;
    // The sink of a job that runs alone may rewrite its line, as one job at a time always did.
    return std::make_shared<ConsoleJob>(*this, *jobs_[size_t(row)], limits_.atOnce <= 1);
}

void ConsoleRun::InProgressChanged(int count) {
    rate_.SetSharers(count);
}

int ConsoleRun::SelectJob(int) {
    return ItemCount();
}

int ConsoleRun::ItemCount() {
    std::lock_guard lock(mutex_);
    return int(jobs_.size());
}

int ConsoleRun::RowOf(quint64 id) const {
    for (size_t row = 0; row < jobs_.size(); ++row)
        if (jobs_[row]->id == id)
            return int(row);
    return -1;
}

void ConsoleRun::RecordRows(int first, int last) {
    if (journal_ == nullptr)
        return;
    // Without an event loop to gather changes in, each one is recorded as it happens; the
    // journal writes only what changed.
    JobChanges changes;
    const auto jobAt = [this](qsizetype index) -> const DownloadJob& {
        return *jobs_[size_t(index)];
    };
    for (int index = qMax(first, 0); index <= last; ++index)
        changeMaker_.Changed(index, jobAt, changes);
    if (!journal_->Apply(EntriesOf(changes)))
        std::fprintf(stderr, "tarnwick-fetch: the list of unfinished downloads cannot be written: %s\n",
                     qPrintable(journal_->Path()));
}

void ConsoleRun::Record(quint64 id) {
    std::lock_guard lock(mutex_);
    const int row = RowOf(id);
    RecordRows(row, row);
}

bool ConsoleRun::InsertAfter(quint64 id, const QList<DownloadJob>& jobs) {
    std::lock_guard lock(mutex_);
    const int row = RowOf(id);
    if (row < 0)
        return false;
    for (int i = 0; i < jobs.size(); ++i) {
        auto inserted = jobs_.insert(jobs_.begin() + row + 1 + i, std::make_unique<DownloadJob>(jobs[i]));
        EnsureJobId(**inserted);
    }
    RecordRows(row + 1, row + int(jobs.size()));
    return true;
}

void ConsoleRun::SetState(quint64 id, JobState state) {
    std::lock_guard lock(mutex_);
    const int row = RowOf(id);
    if (row < 0)
        return;
    DownloadJob& job = *jobs_[size_t(row)];
    job.state = state;
    RecordRows(row, row);
    QString detail;
    if (state == JobState::Downloading)
        detail = QStringLiteral(" \"%1\"").arg(job.title) +
                 (job.pictureChoice.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(job.pictureChoice));
    else if (state == JobState::Succeeded)
        detail = QStringLiteral(" -> %1").arg(job.outputPath);
    // The address, the title and the name made from it come from outside: shown escaped.
    std::printf("[%d/%d] %s: %s%s\n", row + 1, int(jobs_.size()), qPrintable(JobStateName(state)),
                qPrintable(TerminalSafe(job.url)), qPrintable(TerminalSafe(detail)));
    std::fflush(stdout);
}

ConversionEngine* ConsoleRun::Engine() {
    std::lock_guard lock(engineMutex_);
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

void ConsoleRun::ConfigureTransfer(HttpTransfer& transfer) {
    if (stallSeconds_ > 0)
        transfer.SetStallSeconds(stallSeconds_);
    RetryPolicy retries = transfer.Retries();
    retries.waitScale = retryWaitScale_;
    transfer.SetRetries(retries);
    transfer.SetSegmentConnections(segmentConnections_);
    transfer.SetNetwork(TransferNetwork{proxy_, &rate_, nullptr});
}

void ConsoleRun::FolderMissing(const QString& folder) {
    std::fprintf(stderr, "Cannot find or create the folder: %s\n", qPrintable(folder));
}

void ConsoleRun::ShowSummary(const QString& text) {
    std::lock_guard lock(mutex_);
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

int ConsoleRun::AskOverwrite(const QString& fileName) {
    if (isatty(fileno(stdin)) == 0)
        return JobContext::AnswerNo;
    // The other jobs that need an answer wait for this one; "all" and "none" then hold for them.
    std::lock_guard ask(askMutex_);
    const auto policy = OverwritePolicy(policy_.load());
    if (policy == OverwritePolicy::OverwriteAll)
        return JobContext::AnswerYes;
    if (policy == OverwritePolicy::SkipAll)
        return JobContext::AnswerNo;
    {
        std::lock_guard lock(mutex_);
        std::printf("The output folder already contains a file named:\n'%s'\n"
                    "Would you like to overwrite the existing file? [y]es, [a]ll, [n]o, n[o]ne: ",
                    qPrintable(TerminalSafe(fileName)));
        std::fflush(stdout);
    }
    char answer[16] = {};
    if (std::fgets(answer, sizeof answer, stdin) == nullptr)
        return JobContext::AnswerCancel;
    switch (answer[0]) {
    case 'y':
    case 'Y':
        return JobContext::AnswerYes;
    case 'a':
    case 'A':
        policy_ = int(OverwritePolicy::OverwriteAll);
        return JobContext::AnswerYesToAll;
    case 'o':
    case 'O':
        policy_ = int(OverwritePolicy::SkipAll);
        return JobContext::AnswerNoToAll;
    default:
        return JobContext::AnswerNo;
    }
}

} // namespace Tarnwick
