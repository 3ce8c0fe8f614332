#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace Tarnwick {

// How many jobs a run keeps in progress: in all, and of one site.
struct RunLimits {
    int atOnce = 1;
    int perSite = 2;
};

// The site a job's address belongs to, for the cap per site: its host name, in lower case
// (two ports of one host are one site); the whole text for an address without a host.
QString SiteOf(const QString& url);

// Decides which job of a run starts next. It sees the list as rows of job ids and sites, in
// list order, so that rows inserted or removed while jobs run change nothing of its books:
// every row is started once per run, in list order, except that a row of a site at its cap
// waits while rows of other sites go ahead.
class JobScheduler {
public:
    struct Row {
        quint64 id = 0;
        QString site;
    };

    // The index in rows of the job to start now, or none: every row has started, the run is
    // at its limit, or every row that has not started is of a site at its cap.
    std::optional<int> NextToStart(const QList<Row>& rows, const RunLimits& limits) const;
    // Whether a row that has not started is left (whatever the limits allow now).
    bool HasWaiting(const QList<Row>& rows) const;

    void Started(const Row& row);
    void Finished(quint64 id);
    int InProgress() const { return int(inProgress_.size()); }
    int InProgressOf(const QString& site) const { return perSite_.value(site); }

private:
    QSet<quint64> started_;
    QHash<quint64, QString> inProgress_;
    QHash<QString, int> perSite_;
};

} // namespace Tarnwick
