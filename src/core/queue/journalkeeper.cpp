#include "journalkeeper.h"

#include "joblistmodel.h"
#include "retrieval/job/journal/jobjournal.h"
#include "retrieval/job/journal/journaltext.h"

#include <QTimer>

namespace Tarnwick {

JournalKeeper::JournalKeeper(JobListModel& model, JobJournal& journal, QObject* parent)
    : QObject(parent)
    , model_(model)
    , journal_(journal)
    , writer_([this] { WriteLoop(); }) {
    connect(&model_, &QAbstractItemModel::rowsInserted, this, &JournalKeeper::Schedule);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &JournalKeeper::Schedule);
    connect(&model_, &QAbstractItemModel::rowsMoved, this, &JournalKeeper::Schedule);
    connect(&model_, &QAbstractItemModel::dataChanged, this, &JournalKeeper::Schedule);
    connect(&model_, &QAbstractItemModel::modelReset, this, &JournalKeeper::Schedule);
    Schedule();
}

JournalKeeper::~JournalKeeper() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    // The writer finishes the list it was handed before it ends.
    writer_.join();
}

void JournalKeeper::Schedule() {
    if (std::exchange(pending_, true))
        return;
    QTimer::singleShot(0, this, &JournalKeeper::Hand);
}

void JournalKeeper::Hand() {
    pending_ = false;
    // The text is made here, reading the jobs where they are: copying every job of a long list
    // for the writer would cost more than the text itself.
    const JobListModel& model = model_;
    const int count = model.rowCount();
    bool anyUnfinished = false;
    for (int row = 0; row < count && !anyUnfinished; ++row)
        anyUnfinished = IsUnfinished(model.Job(row));
    QByteArray text =
        anyUnfinished
            ? JournalText(count,
                          [&model](qsizetype row) -> const DownloadJob& { return model.Job(int(row)); })
            : QByteArray();
    {
        std::lock_guard lock(mutex_);
        waiting_ = std::move(text);
    }
    changed_.notify_all();
}

void JournalKeeper::Flush() {
    Hand();
    WaitUntilWritten();
}

void JournalKeeper::WaitUntilWritten() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !waiting_ && !writing_; });
}

void JournalKeeper::WriteLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return waiting_ || quit_; });
        if (!waiting_)
            return; // quit, with nothing left to write
        const QByteArray text = std::move(*waiting_);
        waiting_.reset();
        writing_ = true;
        lock.unlock();
        journal_.RecordText(text);
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}

} // namespace Tarnwick
