#pragma once

#include "journalchange.h"
#include "queue/downloadjob.h"

#include <QByteArray>
#include <QList>

namespace Tarnwick {

template <typename Value>
class OrderedById;

// Whether a job belongs in the journal of unfinished jobs: it has not ended (waiting, under
// way, stopped), or it failed with a download kept for a later run. A job that succeeded, was
// skipped or failed for good has ended.
bool IsUnfinished(const DownloadJob& job);

// The journal's text: the unfinished jobs among jobs, in their order, each with the address,
// the choices and the kept download a later run continues with.
QByteArray JournalText(const QList<DownloadJob>& jobs);

// One job's entry in the journal: what JournalText writes for it, with its id.
QByteArray JournalEntryText(const DownloadJob& job);
// The journal's text for entries made by JournalEntryText, in their order.
QByteArray JournalTextOf(const OrderedById<QByteArray>& entries);
// The journal's changes for these, each job's entry made.
JournalChanges EntriesOf(const JobChanges& changes);
// A change, as the line appended to a journal's text after its snapshot.
QByteArray JournalChangeLine(const JournalChange& change);

// Reads a journal's text (the snapshot JournalText writes, and the changes appended after it)
// into waiting jobs (Idle, no preset bound yet). False for anything that
// is not a journal this program wrote; then jobs is left empty. A kept file whose name is not
// one of our working files' is dropped, so that a changed journal cannot make a job write
// into, or delete, some other file.
bool ReadJournalText(const QByteArray& text, QList<DownloadJob>& jobs);

} // namespace Tarnwick
