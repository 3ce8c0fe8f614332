#include "recentlist.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace Tarnwick {

RecentList::RecentList(Matching matching)
    : matching_(matching) {}

bool RecentList::Matches(const QString& entry, const QString& text) const {
    if (matching_ == Matching::Exact)
        return entry == text;
#ifdef Q_OS_WIN
    return entry.compare(text, Qt::CaseInsensitive) == 0;
#else
    // Two folders whose names differ only in case are two folders on this file system.
    return entry == text;
#endif
}

void RecentList::Add(const QString& text) {
    const QString item =
        matching_ == Matching::Path ? QDir::cleanPath(QFileInfo(text).absoluteFilePath()) : text;

    // The last position is never searched: when nothing matches it is the one given up.
    int found = Capacity - 1;
    for (int k = 0; k < Capacity - 1; ++k) {
        if (Matches(entries_[k], item)) {
            found = k;
            break;
        }
    }
    for (int k = found; k > 0; --k)
        entries_[k] = entries_[k - 1];
    entries_[0] = item;
    additions_.removeAll(item);
    additions_.append(item);
    // Older additions would be pushed out of any list by the newer ones.
    if (additions_.size() > Capacity)
        additions_.removeFirst();
}

void RecentList::AddAdditionsTo(RecentList& other) const {
    for (const QString& text : additions_)
        other.Add(text);
}

QStringList RecentList::Entries() const {
    QStringList result;
    for (const QString& entry : entries_) {
        if (entry.isEmpty())
            break;
        result.append(entry);
    }
    return result;
}

void RecentList::Read(QSettings& settings, const QString& group) {
    settings.beginGroup(group);
    for (int k = 0; k < Capacity; ++k)
        entries_[k] = settings.value(QString::number(k + 1)).toString();
    settings.endGroup();
    additions_.clear();
}

void RecentList::Write(QSettings& settings, const QString& group) const {
    settings.beginGroup(group);
    settings.remove(QString());
    for (int k = 0; k < Capacity; ++k) {
        if (!entries_[k].isEmpty())
            settings.setValue(QString::number(k + 1), entries_[k]);
    }
    settings.endGroup();
}

} // namespace Tarnwick
