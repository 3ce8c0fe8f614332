#pragma once

#include <QObject>
#include <utility>

namespace Tarnwick {

class JobJournal;
class JobListModel;

// Keeps the journal of unfinished jobs in step with the job list: when rows come, go or change
// (a state, a kept download), the list is recorded once the thread is free again, so that a
// batch of changes costs one write; the journal itself writes only when its text changes.
class JournalKeeper : public QObject {
    Q_OBJECT

public:
    JournalKeeper(JobListModel& model, JobJournal& journal, QObject* parent = nullptr);
    // Records the list now, if anything changed since the last time.
    void Flush();

private:
    void Schedule();

    JobListModel& model_;
    JobJournal& journal_;
    bool pending_ = false;
};

} // namespace Tarnwick
