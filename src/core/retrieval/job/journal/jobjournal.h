#pragma once

#include "journalchange.h"
#include "orderedbyid.h"
#include "queue/downloadjob.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QLockFile;

namespace Tarnwick {

// The journal of unfinished jobs, so that nothing queued or half downloaded is lost when the
// program ends (closed, killed, the session ending): every running Tarnwick, the window or
// tarnwick-fetch, keeps a journal file of its own in the data folder, locked for its life. Two
// instances therefore never write one file, and a second instance never takes the jobs of one
// that still runs; the jobs of an instance that ended without finishing them wait in its file
// until a later instance takes them over.
class JobJournal {
public:
    enum class Kind { Window, Fetch };

    // Opens a new journal of this instance in folder (created when missing).
    explicit JobJournal(Kind kind, const QString& folder = DefaultFolder());
    // Releases the journal; a file with unfinished jobs in it stays for a later instance.
    ~JobJournal();
    JobJournal(const JobJournal&) = delete;
    JobJournal& operator=(const JobJournal&) = delete;

    // False when the folder cannot hold a journal; nothing is then recorded.
    bool IsOpen() const;
    const QString& Path() const { return path_; }

    // Takes over the jobs of ended instances of the given kinds that accept() wants (all when it
    // is empty), in the order their journals were last written, oldest first; they are recorded
    // in this journal before they leave the others. A journal that cannot be read is put aside
    // under its name + ".bad" (replacing an older one), and problems receives a message for it.
    QList<DownloadJob> TakeOver(const QList<Kind>& kinds,
                                const std::function<bool(const DownloadJob&)>& accept, QStringList* problems);

    // Records the unfinished ones among jobs as the whole journal, atomically, when that changes
    // it; with none unfinished the file goes. False when it could not be written (the old one
    // stays).
    bool Record(const QList<DownloadJob>& jobs);
    // Records changes of single jobs, in their order: appended to the file, so that a change
    // costs the same in a list of ten jobs or of ten thousand. Now and then, and after a write
    // that failed, the file is written whole instead, atomically, so that it stays about the
    // size of what it holds. A kill at any moment leaves the journal as it was before or after
    // a change; a full disk leaves it as it was. A change that could not be written is not
    // lost: it goes into the next write. With nothing left unfinished the file goes. False when
    // the file could not be written.
    bool Apply(const JournalChanges& changes);
    // The bytes this journal has written to its file so far.
    qint64 BytesWritten() const { return bytesWritten_; }

    // "$XDG_DATA_HOME/Ostrand/Tarnwick/Journal" (the user's application data on Windows).
    static QString DefaultFolder();
    // The working files that any journal in folder names, of instances running or ended: the
    // removal of old working files must spare them.
    static QStringList KeptFiles(const QString& folder = DefaultFolder());

private:
    bool Write(const QByteArray& lines);
    bool WriteWhole();
    bool Append(const QByteArray& lines);
    bool RemoveFile();

    QString folder_;
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    OrderedById<QByteArray> entries_; // what the journal holds, as JournalEntryText made them
    qint64 appendedBytes_ = 0;        // since the file was last written whole
    qint64 wholeBytes_ = 0;           // the size it had then
    qint64 bytesWritten_ = 0;
    bool fileExists_ = false;
    bool wholeWriteDue_ = true; // the file does not hold entries_ up to an append
};

} // namespace Tarnwick
