#pragma once

#include <QHash>
#include <QString>
#include <mutex>

namespace Tarnwick {

// The files the jobs in progress of one run will deliver. Two jobs of one title would put
// their files under one name; one after the other, the second found the first's file and asked
// before overwriting it. Side by side neither file exists yet, so a name another job of the run
// has claimed counts as taken, and the second job asks as it always did.
class OutputClaims {
public:
    // False when another job holds path; the job of id holds it afterwards in any case.
    bool Claim(quint64 id, const QString& path);
    // Lets go of every path the job holds.
    void Release(quint64 id);

private:
    std::mutex mutex_;
    QMultiHash<QString, quint64> holders_;
};

} // namespace Tarnwick
