#pragma once

#include "retrieval/job/journal/journalchange.h"
#include "retrieval/job/journal/journalchangemaker.h"

#include <QHash>
#include <QObject>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace Tarnwick {

class JobJournal;
class JobListModel;

// Keeps the journal of unfinished jobs in step with the job list: the rows that came, went or
// changed (a state, a kept download) are recorded once the thread is free again, so that a
// batch of changes costs one write, and only those rows: a change costs the same in a list of
// ten rows or of ten thousand. Which rows changed is found on the window's thread; their
// entries are made and written, with the wait for the disk, on a thread of its own, so that
// neither a long list nor a slow disk holds up the window.
class JournalKeeper : public QObject {
    Q_OBJECT

public:
    JournalKeeper(JobListModel& model, JobJournal& journal, QObject* parent = nullptr);
    // Waits until the list as it was last handed over is on record.
    ~JournalKeeper() override;
    // Records the list now, if anything changed since the last time, and returns once it is
    // on record: before a close, or when a stopped job's kept download must not be lost.
    void Flush();

private:
    void Changed(int first, int last);
    void Removing(int first, int last);
    void Resetting();
    void Schedule();
    void Hand();
    void WriteLoop();
    void WaitUntilWritten();

    JobListModel& model_;
    JobJournal& journal_;
    JournalChangeMaker changeMaker_;
    QHash<quint64, int> changedRows_; // the ids of rows that came or changed, and their row then
    bool everyRowChanged_ = false;
    JobChanges removals_;
    bool pending_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    JobChanges waiting_; // changes not yet taken by the writer, in their order
    bool writing_ = false;
    bool quit_ = false;
    std::thread writer_;
};

} // namespace Tarnwick
