#include "journalkeeper.h"

#include "joblistmodel.h"
#include "retrieval/job/journal/jobjournal.h"
#include "retrieval/job/journal/journaltext.h"

#include <QSet>
#include <QTimer>
#include <algorithm>
#include <numeric>
#include <vector>

namespace Tarnwick {

JournalKeeper::JournalKeeper(JobListModel& model, JobJournal& journal, QObject* parent)
    : QObject(parent)
    , model_(model)
    , journal_(journal) {
    connect(&model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { Changed(first, last); });
    connect(&model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                Changed(topLeft.row(), bottomRight.row());
            });
    connect(&model_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { Removing(first, last); });
    connect(&model_, &QAbstractItemModel::modelAboutToBeReset, this, &JournalKeeper::Resetting);
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] { Changed(0, model_.rowCount() - 1); });
    // Rows moved keep their entries but not their order: recorded anew.
    connect(&model_, &QAbstractItemModel::rowsMoved, this, [this] {
        Resetting();
        Changed(0, model_.rowCount() - 1);
    });
    Changed(0, model_.rowCount() - 1);
}

JournalKeeper::~JournalKeeper() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    // The writer finishes the list it was handed before it ends.
    if (writer_.joinable())
        writer_.join();
}

void JournalKeeper::Changed(int first, int last) {
    // Past a few rows (a pasted list, a playlist's entries, the list restored) one pass over
    // every row costs less than remembering each.
    constexpr int ManyRows = 64;
    if (last - first >= ManyRows)
        everyRowChanged_ = true;
    const JobListModel& model = model_;
    for (int row = qMax(first, 0); !everyRowChanged_ && row <= last && row < model.rowCount(); ++row)
        changedRows_.insert(model.Job(row).id, row);
    Schedule();
}

void JournalKeeper::Removing(int first, int last) {
    const JobListModel& model = model_;
    if (first == 0 && last == model.rowCount() - 1) {
        Resetting();
        return;
    }
    for (int row = first; row <= last; ++row) {
        changedRows_.remove(model.Job(row).id);
        changeMaker_.Removed(model.Job(row).id, removals_);
    }
    Schedule();
}

void JournalKeeper::Resetting() {
    changedRows_.clear();
    changeMaker_.RemovedAll(removals_);
    Schedule();
}

void JournalKeeper::Schedule() {
    if (std::exchange(pending_, true))
        return;
    QTimer::singleShot(0, this, &JournalKeeper::Hand);
}

void JournalKeeper::Hand() {
    pending_ = false;
    JobChanges changes = std::move(removals_);
    removals_.clear();
    const JobListModel& model = model_;
    const auto jobAt = [&model](qsizetype row) -> const DownloadJob& {
        return model.Job(int(row));
    };
    // A row is mostly where it was when it changed; rows that came or went since moved it, and
    // one look through the list finds those. In list order, a new row's place is the row before
    // it, recorded just before.
    std::vector<int> rows;
    if (std::exchange(everyRowChanged_, false)) {
        changedRows_.clear();
        rows.resize(size_t(model.rowCount()));
        std::iota(rows.begin(), rows.end(), 0);
    }
    rows.reserve(size_t(changedRows_.size()));
    QSet<quint64> moved;
    for (auto changed = changedRows_.cbegin(); changed != changedRows_.cend(); ++changed) {
        const int row = changed.value();
        if (row < model.rowCount() && model.Job(row).id == changed.key())
            rows.push_back(row);
        else
            moved.insert(changed.key());
    }
    changedRows_.clear();
    for (int row = 0; row < model.rowCount() && !moved.isEmpty(); ++row)
        if (moved.remove(model.Job(row).id))
            rows.push_back(row);
    if (!std::is_sorted(rows.begin(), rows.end()))
        std::sort(rows.begin(), rows.end());
    changeMaker_.Expect(qsizetype(rows.size()));
    changes.reserve(changes.size() + qsizetype(rows.size()));
    for (const int row : rows)
        changeMaker_.Changed(row, jobAt, changes);
    if (changes.isEmpty())
        return;
    {
        std::lock_guard lock(mutex_);
        waiting_ += std::move(changes);
    }
    // Started with the first change to write: a window that never gets a row needs none.
    if (!writer_.joinable())
        writer_ = std::thread([this] { WriteLoop(); });
    changed_.notify_all();
}

void JournalKeeper::Flush() {
    Hand();
    WaitUntilWritten();
}

void JournalKeeper::WaitUntilWritten() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.isEmpty() && !writing_; });
}

void JournalKeeper::WriteLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !waiting_.isEmpty() || quit_; });
        if (waiting_.isEmpty())
            return; // quit, with nothing left to write
        const JobChanges changes = std::move(waiting_);
        waiting_.clear();
        writing_ = true;
        lock.unlock();
        journal_.Apply(EntriesOf(changes));
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}

} // namespace Tarnwick
