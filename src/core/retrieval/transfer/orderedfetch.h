#pragma once

#include "retrypolicy.h"
#include "transfernetwork.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace Tarnwick {

// Fetches a list of addresses several at a time and hands the bodies over in list order.
//
// Each of up to `connections` lanes runs its own transfer on a thread of its own and keeps
// its connection from one address to the next, so that a list of many small files (the
// segments of an HLS playlist) costs one round trip per file per lane rather than waiting
// for each file before asking for the next. Bodies are held in memory only until every
// earlier one has been handed over, and a lane takes a new address only while fewer than
// `connections` bodies are pending: memory stays bounded by that many bodies.
//
// Every callback runs on the calling thread; the lanes never touch the caller's objects.
class OrderedFetch {
public:
    static constexpr int MaxConnections = 16;

    struct Settings {
        int connections = 4;
        int stallSeconds = 60;
        RetryPolicy retries;
        QList<QByteArray> requestHeaders;
        unsigned readBufferSize = 16 * 1024;
        TransferNetwork network;
    };

    struct Outcome {
        bool complete = false; // every body was handed over
        bool stopped = false;  // stopRequested said so
        int failedIndex = -1;  // the address that failed, or -1
        QString failure;       // its transfer's reason, or what deliver said
    };

    // Receives body number index; false (with the reason in *failure) ends the fetch.
    using Deliver = std::function<bool(int index, QByteArray& body, QString* failure)>;
    // Asked about every PollMilliseconds, while waiting as well.
    using StopRequested = std::function<bool()>;
    // A lane's wait before trying again ("Retrying in 2 s (1/3)..."); empty when it is over.
    using Waiting = std::function<void(const QString& text)>;

    static constexpr int PollMilliseconds = 50;

    static Outcome Run(const QStringList& urls, const Settings& settings, const Deliver& deliver,
                       const StopRequested& stopRequested, const Waiting& waiting = {});
};

} // namespace Tarnwick
