#include "segmentdownload.h"

#include "queue/progresssink.h"
#include "retrieval/transfer/httptransfer.h"
#include "retrieval/transfer/orderedfetch.h"

#include <QFile>
#include <ctime>

namespace Tarnwick {

namespace {

// A sink that reports nothing and never stops, for a copy that was asked to be silent.
class SilentSink : public ProgressSink {
public:
    int Begin() override { return 0; }
    int End() override { return 0; }
    int Progress(int, int) override { return 0; }
    int Status(int, const QString&) override { return 0; }
    int IsCancelled() override { return 0; }
};

// What is fetched, in the order it is written: initialisation sections where they change, and
// the segments. segmentOf tells, for each, the (1-based) segment it belongs to.
struct FetchList {
    QStringList urls;
    QList<int> segmentOf;
    QList<bool> isSegment;
};

FetchList BuildFetchList(const QList<HlsSegment>& segments, int first) {
    FetchList list;
    // The section the segments already in the file were written after serves the next ones too.
    QString currentMap = first > 0 ? segments[first - 1].mapUri : QString();
    for (qsizetype i = first; i < segments.size(); ++i) {
        const HlsSegment& segment = segments[i];
        if (!segment.mapUri.isEmpty() && segment.mapUri != currentMap) {
            list.urls.append(segment.mapUri);
            list.segmentOf.append(int(i + 1));
            list.isSegment.append(false);
            currentMap = segment.mapUri;
        }
        list.urls.append(segment.uri);
        list.segmentOf.append(int(i + 1));
        list.isSegment.append(true);
    }
    return list;
}

} // namespace

bool DownloadSegments(const QList<HlsSegment>& segments, QFile& file, ProgressSink* sink,
                      const HttpTransfer& settingsOf, const QString& label,
                      const SegmentContinuation& continuation) {
    SilentSink silent;
    ProgressSink& outer = sink != nullptr ? *sink : silent;
    const int count = int(segments.size());
    const int first = qBound(0, continuation.firstSegment, count);
    const FetchList list = BuildFetchList(segments, first);
    const std::time_t startTime = std::time(nullptr);
    // Bytes an earlier run wrote count in the size, not in the speed.
    const qint64 startBytes = file.pos();

    OrderedFetch::Settings settings;
    settings.connections = settingsOf.SegmentConnections();
    settings.stallSeconds = settingsOf.StallSeconds();
    settings.retries = settingsOf.Retries();
    // The job's request headers hold for every segment as for a single stream.
    settings.requestHeaders = settingsOf.RequestHeaders();
    settings.network = settingsOf.Network();

    int written = first;
    auto deliver = [&](int index, QByteArray& body, QString* failure) {
        if (file.write(body) != body.size()) {
            *failure = file.errorString();
            return false;
        }
        if (!list.isSegment[index])
            return true;
        written = list.segmentOf[index];
        if (continuation.segmentWritten)
            continuation.segmentWritten(written, file.pos());
        outer.Progress(ProgressSink::ProgressPosition, written);
        // The file's position is what has been written so far, without asking the system.
        const double doneKB = double(file.pos()) / 1024.0;
        const qint64 seconds = qint64(std::time(nullptr) - startTime);
        QString text =
            QStringLiteral("%1 %2 / %3, %4 KB").arg(label).arg(written).arg(count).arg(qint64(doneKB));
        if (seconds > 0)
            text += QStringLiteral(", %1 KB/s")
                        .arg(double(file.pos() - startBytes) / 1024.0 / double(seconds), 0, 'f', 1);
        outer.Status(ProgressSink::StatusActivity, text);
        return true;
    };
    auto stopRequested = [&outer] {
        return outer.IsCancelled() != 0;
    };
    auto waiting = [&outer](const QString& text) {
        outer.Status(ProgressSink::StatusWaiting, text);
    };

    outer.Begin();
    outer.Progress(ProgressSink::ProgressTotal, count);
    // A continued copy shows at once how far the earlier run came.
    if (first > 0)
        outer.Progress(ProgressSink::ProgressPosition, first);
    const OrderedFetch::Outcome outcome =
        OrderedFetch::Run(list.urls, settings, deliver, stopRequested, waiting);
    bool complete = outcome.complete;
    QString failure;
    if (!complete && !outcome.stopped && outcome.failedIndex >= 0)
        // What went wrong first, then where.
        failure = outcome.failure + QStringLiteral(" (%1 %2 of %3)")
                                        .arg(label.toLower())
                                        .arg(list.segmentOf[outcome.failedIndex])
                                        .arg(count);
    if (complete && !(file.flush() && file.error() == QFileDevice::NoError)) {
        complete = false;
        failure = file.errorString();
    }
    outer.End();
    // A stop, like a completed copy, ends with an empty result line.
    ReportResultLine(&outer, complete || outcome.stopped ? QString() : failure);
    return complete;
}

} // namespace Tarnwick
