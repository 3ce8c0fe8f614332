#pragma once

#include "queue/downloadjob.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <optional>

namespace Tarnwick {

// One change of the journal of unfinished jobs: the job with this id is recorded as entry (its
// text, from JournalEntryText), in its place when the journal holds it already, else after the
// job with the id after (first for 0); an empty entry means the job is no longer unfinished.
struct JournalChange {
    quint64 id = 0;
    quint64 after = 0;
    QByteArray entry;

    bool IsRemoval() const { return entry.isEmpty(); }
};

using JournalChanges = QList<JournalChange>;

// The same before the job's entry is made: the job as it is now, or none when it is no longer
// unfinished. Its strings are shared, not copied, so a list's changes are cheap to hand to the
// thread that makes the entries and writes them.
struct JobChange {
    quint64 id = 0;
    quint64 after = 0;
    std::optional<DownloadJob> job;
};

using JobChanges = QList<JobChange>;

} // namespace Tarnwick
