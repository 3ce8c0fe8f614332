#include "journalkeeper.h"

#include "joblistmodel.h"
#include "retrieval/job/journal/jobjournal.h"

#include <QTimer>

namespace Tarnwick {

JournalKeeper::JournalKeeper(JobListModel& model, JobJournal& journal, QObject* parent)
    : QObject(parent)
    , model_(model)
    , journal_(journal) {
    connect(&model_, &QAbstractItemModel::rowsInserted, this, &JournalKeeper::Schedule);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &JournalKeeper::Schedule);
    connect(&model_, &QAbstractItemModel::rowsMoved, this, &JournalKeeper::Schedule);
    connect(&model_, &QAbstractItemModel::dataChanged, this, &JournalKeeper::Schedule);
    connect(&model_, &QAbstractItemModel::modelReset, this, &JournalKeeper::Schedule);
    Schedule();
}

void JournalKeeper::Schedule() {
    if (std::exchange(pending_, true))
        return;
    QTimer::singleShot(0, this, &JournalKeeper::Flush);
}

void JournalKeeper::Flush() {
    pending_ = false;
    journal_.Record(model_.Jobs());
}

} // namespace Tarnwick
