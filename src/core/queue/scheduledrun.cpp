#include "scheduledrun.h"

#include "outputfile.h"

#include <QHash>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace Tarnwick {

namespace {

// How often a run with a free slot looks for rows added to the list meanwhile.
constexpr std::chrono::milliseconds ListLookInterval{200};

// The jobs running on threads of their own, and what each ended with.
class JobThreads {
public:
    ~JobThreads() { JoinEnded(); }

    void Start(quint64 id, std::function<int()> job) {
        std::lock_guard lock(mutex_);
        threads_.emplace(id, std::thread([this, id, job = std::move(job)] {
                             const int result = job();
                             std::lock_guard lock(mutex_);
                             ended_.push_back({id, result});
                             changed_.notify_all();
                         }));
    }

    struct Ended {
        quint64 id;
        int result;
    };
    // Waits until a job ended or timeout passed; hands over the ended ones, joined.
    std::vector<Ended> Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [this] { return !ended_.empty(); });
        std::vector<Ended> ended = std::move(ended_);
        ended_.clear();
        for (const Ended& one : ended) {
            const auto thread = threads_.find(one.id);
            if (thread != threads_.end()) {
                std::thread finished = std::move(thread->second);
                threads_.erase(thread);
                lock.unlock();
                finished.join();
                lock.lock();
            }
        }
        return ended;
    }

private:
    void JoinEnded() {
        for (auto& [id, thread] : threads_)
            if (thread.joinable())
                thread.join();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::unordered_map<quint64, std::thread> threads_;
    std::vector<Ended> ended_;
};

} // namespace

RunCounts ExecuteScheduledRun(RunState& run, const RunOptions& options, ScheduledFrontEnd& frontEnd,
                              const JobProcedure& procedure) {
    RunCounts counts;
    if (!EnsureFolder(options.outputFolder)) {
        counts.folderMissing = true;
        frontEnd.FolderMissing(options.outputFolder);
        return counts;
    }
    frontEnd.ShowProgressDisplay(true);
    run.stepCount = options.convert ? 3 : 2;
    run.currentIndex = -1;

    JobScheduler scheduler;
    QHash<quint64, QString> sites; // parsed once per row
    const auto rows = [&] {
        QList<JobScheduler::Row> list;
        const QList<ScheduledFrontEnd::RowAddress> addresses = frontEnd.Rows();
        list.reserve(addresses.size());
        for (const ScheduledFrontEnd::RowAddress& address : addresses) {
            auto site = sites.find(address.id);
            if (site == sites.end())
                site = sites.insert(address.id, SiteOf(address.url));
            list.append({address.id, *site});
        }
        return list;
    };
    const auto count = [&counts](int result) {
        if (result == 0)
            ++counts.successes;
        else
            ++counts.failures;
    };

    JobThreads threads;
    // Each job's context lives until its job has ended, here, on the run's thread.
    std::unordered_map<quint64, std::shared_ptr<JobContext>> contexts;
    for (;;) {
        const QList<JobScheduler::Row> list = rows();
        const RunLimits limits = frontEnd.Limits();
        const bool stopping = run.StopRequested();
        if (scheduler.InProgress() == 0 && (stopping || !scheduler.HasWaiting(list)))
            break;
        const std::optional<int> next = stopping ? std::nullopt : scheduler.NextToStart(list, limits);
        if (next && limits.atOnce <= 1 && scheduler.InProgress() == 0) {
            // One at a time: on this thread, the job selected, as a run always did.
            const JobScheduler::Row row = list[*next];
            run.currentIndex = *next;
            frontEnd.SelectJob(*next);
            scheduler.Started(row);
            frontEnd.InProgressChanged(1);
            const std::shared_ptr<JobContext> context = frontEnd.ContextFor(row.id, *next);
            count(procedure(*context, *next, options.quality, options.convert));
            scheduler.Finished(row.id);
            frontEnd.InProgressChanged(0);
            continue;
        }
        if (next) {
            const JobScheduler::Row row = list[*next];
            const int index = *next;
            // Whoever shows the run tells from it that jobs are in progress.
            run.currentIndex = index;
            scheduler.Started(row);
            JobContext* context =
                contexts.emplace(row.id, frontEnd.ContextFor(row.id, index)).first->second.get();
            try {
                threads.Start(row.id, [&procedure, &options, context, index] {
                    return procedure(*context, index, options.quality, options.convert);
                });
            } catch (const std::system_error&) {
                // No thread to be had: this job runs here, and the others wait meanwhile.
                count(procedure(*context, index, options.quality, options.convert));
                contexts.erase(row.id);
                scheduler.Finished(row.id);
            }
            frontEnd.InProgressChanged(scheduler.InProgress());
            continue; // another may start at once
        }
        for (const auto& ended : threads.Wait(ListLookInterval)) {
            count(ended.result);
            contexts.erase(ended.id);
            scheduler.Finished(ended.id);
            frontEnd.InProgressChanged(scheduler.InProgress());
        }
    }

    run.currentIndex = -1;
    frontEnd.ShowProgressDisplay(false);
    frontEnd.ShowSummary(SummaryText(counts.successes, counts.failures));
    return counts;
}

} // namespace Tarnwick
