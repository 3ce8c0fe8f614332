#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

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

} // namespace Tarnwick
