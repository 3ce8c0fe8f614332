#pragma once

#include <QString>
#include <QStringList>
#include <array>

class QSettings;

namespace Tarnwick {

// A most-recently-used list of up to 20 texts, position 0 the most recent. Empty positions
// hold an empty text. An entry that is added again moves to the front instead of repeating.
class RecentList {
public:
    static constexpr int Capacity = 20;

    enum class Matching { Exact, Path };

    explicit RecentList(Matching matching = Matching::Exact);

    // Adds text to the front. With path matching the text is made absolute first and compared
    // as the file system compares names.
    void Add(const QString& text);

    const QString& At(int position) const { return entries_[position]; }
    // What Add was given since the list was created or read, the oldest first.
    const QStringList& Additions() const { return additions_; }
    // Adds this list's additions to other, in their order, so that the newest leads: how
    // another Tarnwick's list, saved meanwhile, takes this one's in.
    void AddAdditionsTo(RecentList& other) const;
    void ForgetAdditions() { additions_.clear(); }
    // The entries from position 0 up to the first empty one, as the combo boxes show them.
    QStringList Entries() const;

    // Reads values "1" to "20" of the group; a missing value gives an empty position. Forgets
    // the additions.
    void Read(QSettings& settings, const QString& group);
    // Removes the whole group, then writes each non-empty position k as the value "k + 1", so
    // that no stale value survives for a position that is now empty.
    void Write(QSettings& settings, const QString& group) const;

private:
    bool Matches(const QString& entry, const QString& text) const;

    Matching matching_;
    std::array<QString, Capacity> entries_;
    QStringList additions_;
};

} // namespace Tarnwick
