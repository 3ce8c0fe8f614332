#include "journalchangemaker.h"

#include "journaltext.h"

namespace Tarnwick {

void JournalChangeMaker::Changed(qsizetype row, const JobAt& jobAt, JobChanges& changes) {
    const DownloadJob& job = jobAt(row);
    if (job.id == 0)
        return;
    if (!IsUnfinished(job)) {
        Removed(job.id, changes);
        return;
    }
    // Where it goes matters only to a job the journal does not hold yet; the rows before a new
    // row are mostly recorded, so the walk back is short.
    quint64 after = 0;
    if (!recorded_.contains(job.id)) {
        for (qsizetype before = row - 1; before >= 0 && after == 0; --before)
            if (recorded_.contains(jobAt(before).id))
                after = jobAt(before).id;
        recorded_.insert(job.id);
    }
    changes.append({job.id, after, job});
}

void JournalChangeMaker::Removed(quint64 id, JobChanges& changes) {
    if (recorded_.remove(id))
        changes.append({id, 0, std::nullopt});
}

void JournalChangeMaker::RemovedAll(JobChanges& changes) {
    for (const quint64 id : std::as_const(recorded_))
        changes.append({id, 0, std::nullopt});
    recorded_.clear();
}

} // namespace Tarnwick
