#include "outputclaims.h"

#include <QDir>

namespace Tarnwick {

namespace {

// Case-insensitive file systems make "A.mp4" and "a.mp4" one file; treating them as one name
// everywhere costs at most one question too many.
QString ClaimKey(const QString& path) {
    return QDir::cleanPath(path).toCaseFolded();
}

} // namespace

bool OutputClaims::Claim(quint64 id, const QString& path) {
    const QString key = ClaimKey(path);
    std::lock_guard lock(mutex_);
    bool free = true;
    for (auto it = holders_.constFind(key); it != holders_.cend() && it.key() == key; ++it)
        free = free && *it == id;
    if (!holders_.contains(key, id))
        holders_.insert(key, id);
    return free;
}

void OutputClaims::Release(quint64 id) {
    std::lock_guard lock(mutex_);
    for (auto it = holders_.begin(); it != holders_.end();)
        it = *it == id ? holders_.erase(it) : std::next(it);
}

} // namespace Tarnwick
