#include "jobjournal.h"

#include "journaltext.h"
#include "presets/safefilereplace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <algorithm>

namespace Tarnwick {

namespace {

const QString JournalSuffix = QStringLiteral(".json");
const QString LockSuffix = QStringLiteral(".lock");
const QString DamagedSuffix = QStringLiteral(".bad");

QString KindPrefix(JobJournal::Kind kind) {
    return kind == JobJournal::Kind::Window ? QStringLiteral("window-") : QStringLiteral("fetch-");
}

// The path without its ".json".
QString BaseOf(const QString& journalPath) {
    return journalPath.left(journalPath.size() - JournalSuffix.size());
}

std::unique_ptr<QLockFile> LockOf(const QString& journalPath) {
    auto lock = std::make_unique<QLockFile>(BaseOf(journalPath) + LockSuffix);
    // Judged by the holder only: a journal lives as long as its instance, for days maybe.
    lock->setStaleLockTime(0);
    return lock;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    return ReplaceFileSafely(path, [&bytes](const QString& temp) {
        QFile file(temp);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
               file.flush();
    });
}

// The journals of these kinds in folder, oldest first.
QFileInfoList JournalsIn(const QString& folder, const QList<JobJournal::Kind>& kinds) {
    QStringList patterns;
    for (JobJournal::Kind kind : kinds)
        patterns << KindPrefix(kind) + QLatin1Char('*') + JournalSuffix;
    QFileInfoList journals =
        QDir(folder).entryInfoList(patterns, QDir::Files | QDir::NoSymLinks, QDir::Time | QDir::Reversed);
    journals.erase(std::remove_if(journals.begin(), journals.end(),
                                  [](const QFileInfo& info) { return info.isSymLink(); }),
                   journals.end());
    return journals;
}

QByteArray ReadSmallFile(const QString& path, bool& ok) {
    QFile file(path);
    ok = file.open(QIODevice::ReadOnly);
    return ok ? file.readAll() : QByteArray();
}

} // namespace

JobJournal::JobJournal(Kind kind, const QString& folder)
    : folder_(folder) {
    if (folder_.isEmpty() || !QDir().mkpath(folder_))
        return;
    const QString id = QStringLiteral("%1-%2")
                           .arg(QCoreApplication::applicationPid())
                           .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const QString path = QDir(folder_).filePath(KindPrefix(kind) + id + JournalSuffix);
    lock_ = LockOf(path);
    if (lock_->tryLock(0))
        path_ = path;
    else
        lock_.reset();
}

JobJournal::~JobJournal() {
    if (lock_)
        lock_->unlock();
}

bool JobJournal::IsOpen() const {
    return !path_.isEmpty();
}

QString JobJournal::DefaultFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/Ostrand/Tarnwick/Journal");
}

bool JobJournal::Record(const QList<DownloadJob>& jobs) {
    if (!IsOpen())
        return false;
    OrderedById<QByteArray> entries;
    for (const DownloadJob& job : jobs) {
        if (!IsUnfinished(job))
            continue;
        // The changes that may follow name the job by its id.
        DownloadJob named = job;
        EnsureJobId(named);
        entries.Append(named.id, JournalEntryText(named));
    }
    if (JournalTextOf(entries) == JournalTextOf(entries_) && !wholeWriteDue_)
        return true;
    entries_ = std::move(entries);
    wholeWriteDue_ = true;
    return Write(QByteArray());
}

bool JobJournal::Apply(const JournalChanges& changes) {
    if (!IsOpen())
        return false;
    QByteArray lines;
    for (const JournalChange& change : changes) {
        const QByteArray* held = entries_.Find(change.id);
        if (change.IsRemoval()) {
            if (held == nullptr)
                continue;
            entries_.Remove(change.id);
        } else {
            if (held != nullptr && *held == change.entry)
                continue;
            // A place after a job the journal does not hold is at the end rather than nowhere.
            const quint64 after =
                change.after == 0 || entries_.Contains(change.after) ? change.after : entries_.Last();
            entries_.Put(change.id, after, change.entry);
            lines += JournalChangeLine({change.id, after, change.entry});
            continue;
        }
        lines += JournalChangeLine(change);
    }
    if (lines.isEmpty() && !wholeWriteDue_)
        return true;
    return Write(lines);
}

bool JobJournal::Write(const QByteArray& lines) {
    if (entries_.IsEmpty())
        return RemoveFile();
    // Written whole once the changes outweigh the file as it was last written whole, so that
    // reading it back never costs much more than that, and a run through a long list writes
    // each job about once rather than the whole list at every change. Measured against the
    // last whole write, not what is held now: a list that drains would otherwise be written
    // whole again and again as it shrinks.
    constexpr qint64 SmallestWhole = 64 * 1024;
    if (wholeWriteDue_ || !fileExists_ ||
        appendedBytes_ + lines.size() > 2 * qMax(wholeBytes_, SmallestWhole))
        return WriteWhole();
    return Append(lines);
}

bool JobJournal::WriteWhole() {
    // The line feed ends the snapshot, so that changes can follow it.
    const QByteArray text = JournalTextOf(entries_) + '\n';
    if (!WriteFile(path_, text)) {
        wholeWriteDue_ = true;
        return false;
    }
    bytesWritten_ += text.size();
    wholeBytes_ = text.size();
    fileExists_ = true;
    wholeWriteDue_ = false;
    appendedBytes_ = 0;
    return true;
}

bool JobJournal::Append(const QByteArray& lines) {
    QFile file(path_);
    const qint64 before = QFileInfo(path_).size();
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Append) &&
                         file.write(lines) == lines.size() && file.flush();
    if (!written) {
        // A part of a line would join the next one into nonsense: the file goes back to what it
        // held, and the next write writes it whole with this change in it.
        if (file.isOpen())
            file.resize(before);
        wholeWriteDue_ = true;
        return false;
    }
    bytesWritten_ += lines.size();
    appendedBytes_ += lines.size();
    return true;
}

bool JobJournal::RemoveFile() {
    // A clean end with nothing unfinished leaves no journal.
    if (fileExists_ && !QFile::remove(path_) && QFileInfo::exists(path_)) {
        wholeWriteDue_ = true;
        return false;
    }
    fileExists_ = false;
    wholeWriteDue_ = false;
    appendedBytes_ = 0;
    return true;
}

QList<DownloadJob> JobJournal::TakeOver(const QList<Kind>& kinds,
                                        const std::function<bool(const DownloadJob&)>& accept,
                                        QStringList* problems) {
    QList<DownloadJob> taken;
    if (!IsOpen())
        return taken;
    struct Claimed {
        QString path;
        std::unique_ptr<QLockFile> lock;
        QList<DownloadJob> rest;
    };
    std::vector<Claimed> claimed;
    for (const QFileInfo& info : JournalsIn(folder_, kinds)) {
        const QString path = info.absoluteFilePath();
        if (path == QFileInfo(path_).absoluteFilePath())
            continue;
        std::unique_ptr<QLockFile> lock = LockOf(path);
        // Held: its instance still runs, and the jobs are its own.
        if (!lock->tryLock(0))
            continue;
        bool readable = false;
        const QByteArray text = ReadSmallFile(path, readable);
        QList<DownloadJob> jobs;
        if (!readable || !ReadJournalText(text, jobs)) {
            const QString aside = path + DamagedSuffix;
            QFile::remove(aside);
            const bool kept = QFile::rename(path, aside);
            if (problems != nullptr)
                *problems << (kept ? QStringLiteral(
                                         "The list of unfinished downloads could not be read; it was "
                                         "kept as %1 and the list starts without it.")
                                         .arg(QDir::toNativeSeparators(aside))
                                   : QStringLiteral("The list of unfinished downloads %1 could not be read.")
                                         .arg(QDir::toNativeSeparators(path)));
            continue;
        }
        Claimed claim{path, std::move(lock), {}};
        for (const DownloadJob& job : jobs) {
            if (!accept || accept(job))
                taken.append(job);
            else
                claim.rest.append(job);
        }
        claimed.push_back(std::move(claim));
    }
    if (taken.isEmpty() && claimed.empty())
        return taken;
    // Ours first, so that a crash in between leaves the jobs twice rather than nowhere. They
    // are this instance's jobs from now on, named by ids of its own.
    JournalChanges changes;
    quint64 after = entries_.Last();
    for (DownloadJob& job : taken) {
        job.id = NewJobId();
        changes.append({job.id, after, JournalEntryText(job)});
        after = job.id;
    }
    const bool recorded = Apply(changes);
    for (Claimed& claim : claimed) {
        if (!recorded)
            break;
        if (claim.rest.isEmpty())
            QFile::remove(claim.path);
        else
            WriteFile(claim.path, JournalText(claim.rest));
    }
    return taken;
}

QStringList JobJournal::KeptFiles(const QString& folder) {
    QStringList files;
    if (folder.isEmpty())
        return files;
    for (const QFileInfo& info : JournalsIn(folder, {Kind::Window, Kind::Fetch})) {
        bool readable = false;
        QList<DownloadJob> jobs;
        if (!ReadJournalText(ReadSmallFile(info.absoluteFilePath(), readable), jobs))
            continue;
        for (const DownloadJob& job : jobs)
            if (job.partial.IsKept())
                files << job.partial.path;
    }
    return files;
}

} // namespace Tarnwick
