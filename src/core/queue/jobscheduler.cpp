#include "jobscheduler.h"

#include <QUrl>

namespace Tarnwick {

QString SiteOf(const QString& url) {
    const QString host = QUrl(url.trimmed()).host().toLower();
    return host.isEmpty() ? url.trimmed() : host;
}

std::optional<int> JobScheduler::NextToStart(const QList<Row>& rows, const RunLimits& limits) const {
    if (InProgress() >= qMax(1, limits.atOnce))
        return std::nullopt;
    for (int index = 0; index < rows.size(); ++index) {
        const Row& row = rows[index];
        if (!started_.contains(row.id) && perSite_.value(row.site) < qMax(1, limits.perSite))
            return index;
    }
    return std::nullopt;
}

bool JobScheduler::HasWaiting(const QList<Row>& rows) const {
    for (const Row& row : rows)
        if (!started_.contains(row.id))
            return true;
    return false;
}

void JobScheduler::Started(const Row& row) {
    started_.insert(row.id);
    inProgress_.insert(row.id, row.site);
    ++perSite_[row.site];
}

void JobScheduler::Finished(quint64 id) {
    const auto found = inProgress_.constFind(id);
    if (found == inProgress_.constEnd())
        return;
    if (--perSite_[*found] <= 0)
        perSite_.remove(*found);
    inProgress_.erase(found);
}

} // namespace Tarnwick
