#pragma once

#include <QHash>
#include <QtGlobal>
#include <iterator>
#include <list>
#include <utility>

namespace Tarnwick {

// Values in an order of their own, each reached by its id in constant time: a journal's jobs,
// which change one at a time in lists of many thousands.
template <typename Value>
class OrderedById {
public:
    using Item = std::pair<quint64, Value>;

    bool Contains(quint64 id) const { return where_.contains(id); }
    const Value* Find(quint64 id) const {
        const auto found = where_.constFind(id);
        return found == where_.cend() ? nullptr : &found.value()->second;
    }
    // Replaces the value of an id held already, where it is; otherwise inserts it after the
    // id after (at the front for 0). False when after is not held: the order cannot be kept.
    bool Put(quint64 id, quint64 after, Value value) {
        if (const auto found = where_.find(id); found != where_.end()) {
            found.value()->second = std::move(value);
            return true;
        }
        auto position = items_.begin();
        if (after != 0) {
            const auto previous = where_.constFind(after);
            if (previous == where_.cend())
                return false;
            position = std::next(previous.value());
        }
        where_.insert(id, items_.insert(position, Item(id, std::move(value))));
        return true;
    }
    void Append(quint64 id, Value value) { Put(id, Last(), std::move(value)); }
    // False when id is not held.
    bool Remove(quint64 id) {
        const auto found = where_.find(id);
        if (found == where_.end())
            return false;
        items_.erase(found.value());
        where_.erase(found);
        return true;
    }
    quint64 Last() const { return items_.empty() ? 0 : items_.back().first; }
    bool IsEmpty() const { return items_.empty(); }
    const std::list<Item>& Items() const { return items_; }

private:
    std::list<Item> items_;
    QHash<quint64, typename std::list<Item>::iterator> where_;
};

} // namespace Tarnwick
