#pragma once

#include "downloadrun.h"
#include "jobscheduler.h"

#include <QList>
#include <memory>

namespace Tarnwick {

// What a run of several jobs at once needs of whoever shows it, besides RunFrontEnd. Called on
// the run's own thread.
class ScheduledFrontEnd : public RunFrontEnd {
public:
    struct RowAddress {
        quint64 id = 0;
        QString url;
    };
    // The list as it is now, in order.
    virtual QList<RowAddress> Rows() = 0;
    // The context of the job id alone, now at index: its procedure runs with it on a thread of
    // its own, and the row may move while it runs (rows inserted or removed before it). Shared,
    // because only whoever makes it knows its whole type and how to end it.
    virtual std::shared_ptr<JobContext> ContextFor(quint64 id, int index) = 0;
    // Read again before every start, so that a change of the settings takes effect there.
    virtual RunLimits Limits() = 0;
    // The jobs in progress changed; count of them now.
    virtual void InProgressChanged(int count) { Q_UNUSED(count); }
};

// Runs the jobs of the list until every row has been started once and has ended, or a stop is
// requested; rows added while it runs are taken too. With one job at a time allowed the job
// runs on the calling thread and is selected first, as a run always did; with more, each runs
// on a thread of its own, started in list order as the scheduler allows. A stop starts
// nothing more and returns when every job in progress has ended.
RunCounts ExecuteScheduledRun(RunState& run, const RunOptions& options, ScheduledFrontEnd& frontEnd,
                              const JobProcedure& procedure);

} // namespace Tarnwick
