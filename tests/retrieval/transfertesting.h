#pragma once

#include "recordingsink.h"
#include "retrieval/transfer/retrypolicy.h"

#include <QStringList>

// Retries as the program makes them, waiting a thousandth of the stated time.
inline Tarnwick::RetryPolicy QuickRetries() {
    Tarnwick::RetryPolicy policy;
    policy.waitScale = 0.001;
    return policy;
}

// The first "Retrying in..." text of each retry, in order.
inline QStringList RetryAnnouncements(const RecordingSink& sink) {
    QStringList first;
    QString lastRetry;
    for (const QString& call : sink.calls) {
        if (!call.startsWith(QLatin1String("Status 5 Retrying in ")))
            continue;
        const QString retry = call.section(QLatin1Char('('), 1);
        if (retry != lastRetry)
            first << call.mid(9);
        lastRetry = retry;
    }
    return first;
}
