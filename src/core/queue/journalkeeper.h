#pragma once

#include <QByteArray>
#include <QObject>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace Tarnwick {

class JobJournal;
class JobListModel;

// Keeps the journal of unfinished jobs in step with the job list: when rows come, go or change
// (a state, a kept download), the list is recorded once the thread is free again, so that a
// batch of changes costs one write; the journal itself writes only when its text changes.
// The text is made on the window's thread; writing it, with the wait for the disk, happens on a
// thread of its own, so that a slow disk never holds up the window. Only the newest text
// waiting is written.
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
    void Schedule();
    void Hand();
    void WriteLoop();
    void WaitUntilWritten();

    JobListModel& model_;
    JobJournal& journal_;
    bool pending_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<QByteArray> waiting_; // the newest journal text not yet taken by the writer
    bool writing_ = false;
    bool quit_ = false;
    std::thread writer_;
};

} // namespace Tarnwick
