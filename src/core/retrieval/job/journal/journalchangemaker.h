#pragma once

#include "journalchange.h"
#include "queue/downloadjob.h"

#include <QSet>
#include <functional>

namespace Tarnwick {

// Turns the changes of a job list into the journal's changes, one job at a time: it remembers
// which jobs it has put into the journal, so that a job that ended is taken out once and a new
// one goes in after the nearest job before it that the journal holds.
class JournalChangeMaker {
public:
    using JobAt = std::function<const DownloadJob&(qsizetype row)>;

    // The job at row came or changed; adds its change to changes, if it has one. A job that
    // has not ended is recorded (the journal skips an entry that is what it holds already).
    void Changed(qsizetype row, const JobAt& jobAt, JobChanges& changes);
    // The job with this id left the list.
    void Removed(quint64 id, JobChanges& changes);
    // Every job left the list.
    void RemovedAll(JobChanges& changes);
    // Up to count jobs may come at once: room is made for them in one go.
    void Expect(qsizetype count) { recorded_.reserve(recorded_.size() + count); }

private:
    QSet<quint64> recorded_;
};

} // namespace Tarnwick
