#pragma once

#include "queue/downloadjob.h"
#include "queue/scheduledrun.h"

#include <QString>

namespace Tarnwick {

// What a download run asks of the window that shows it. Every call arrives on the window's
// thread; the worker reaches them only through WindowRunContext and WindowJobContext, which
// wait for each.
class RunWindow {
public:
    virtual ~RunWindow() = default;

    // Each row's job id and address, in list order.
    virtual QList<ScheduledFrontEnd::RowAddress> RowAddresses() const = 0;
    // The row of the job of id now, or -1 when it is gone from the list.
    virtual int RowOfJob(quint64 id) const = 0;
    // A copy of the job's record, for the worker to fill while the window keeps its own.
    virtual DownloadJob JobRecord(int index) const = 0;
    // Takes what the worker found for the job (state, delivered file, title, failure) and shows it.
    virtual void ShowJobRecord(int index, const DownloadJob& record) = 0;
    // Takes the job's record without a change of state to show (its kept download changed).
    virtual void UpdateJobRecord(int index, const DownloadJob& record) = 0;
    // Selects the item alone and shows it; returns the number of items in the list.
    virtual int SelectJob(int index) = 0;
    virtual int JobCount() const = 0;
    // Puts the jobs into the list right after the row at index (a playlist's entries).
    virtual void InsertJobs(int index, const QList<DownloadJob>& jobs) = 0;
    // Asks whether to overwrite the file; returns one of JobContext's answers.
    virtual int AskOverwrite(const QString& fileName) = 0;
    virtual void ShowMessage(const QString& text) = 0;
    virtual void ShowProgressDisplay(bool shown) = 0;
    virtual void ShowSummary(const QString& text) = 0;
};

} // namespace Tarnwick
