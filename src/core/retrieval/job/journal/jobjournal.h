#pragma once

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

    // Records the unfinished ones among jobs, atomically, when that changes the journal; with
    // none unfinished the file goes. False when it could not be written (the old one stays).
    bool Record(const QList<DownloadJob>& jobs);
    // The same for a journal text made by JournalText, empty when nothing is unfinished; for a
    // writer on another thread. TakeOver must not follow it: it does not keep the jobs.
    bool RecordText(const QByteArray& text);

    // "$XDG_DATA_HOME/Ostrand/Tarnwick/Journal" (the user's application data on Windows).
    static QString DefaultFolder();
    // The working files that any journal in folder names, of instances running or ended: the
    // removal of old working files must spare them.
    static QStringList KeptFiles(const QString& folder = DefaultFolder());

private:
    QString folder_;
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    QList<DownloadJob> recorded_;
    QByteArray recordedText_;
    bool fileExists_ = false;
};

} // namespace Tarnwick
