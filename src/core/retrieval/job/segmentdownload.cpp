#include "segmentdownload.h"

#include "queue/progresssink.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/transfer/httptransfer.h"

#include <QFile>
#include <ctime>

namespace Tarnwick {

namespace {

// Stands between the transfer of one segment and the job's sink: the transfer's own begin,
// end, totals and activity lines would restart the bar for every segment, so they are turned
// into one progress over the whole list.
class SegmentSink : public ProgressSink {
public:
    SegmentSink(ProgressSink& outer, const QFile& file, int segmentCount)
        : outer_(outer)
        , file_(file)
        , segmentCount_(segmentCount)
        , startTime_(std::time(nullptr)) {}

    void SetSegment(int number) { segment_ = number; }

    int Begin() override { return 0; }
    int End() override { return 0; }
    int Progress(int kind, int) override {
        if (kind == ProgressPosition)
            ReportActivity();
        return 0;
    }
    int Status(int kind, const QString& text) override {
        // Connection events would hide the segment count; only failures are passed on.
        if (kind == StatusResult && !text.isEmpty())
            outer_.Status(StatusResult,
                          QStringLiteral("Segment %1 of %2: %3").arg(segment_).arg(segmentCount_).arg(text));
        return 0;
    }
    int IsCancelled() override { return outer_.IsCancelled(); }

    void ReportActivity() {
        // The file's position is what has been written so far, without asking the system.
        const double doneKB = double(file_.pos()) / 1024.0;
        const qint64 seconds = qint64(std::time(nullptr) - startTime_);
        QString text =
            QStringLiteral("Segment %1 / %2, %3 KB").arg(segment_).arg(segmentCount_).arg(qint64(doneKB));
        if (seconds > 0)
            text += QStringLiteral(", %1 KB/s").arg(doneKB / double(seconds), 0, 'f', 1);
        outer_.Status(StatusActivity, text);
    }

private:
    ProgressSink& outer_;
    const QFile& file_;
    int segmentCount_;
    int segment_ = 0;
    std::time_t startTime_;
};

// A sink that reports nothing and never stops, for a copy that was asked to be silent.
class SilentSink : public ProgressSink {
public:
    int Begin() override { return 0; }
    int End() override { return 0; }
    int Progress(int, int) override { return 0; }
    int Status(int, const QString&) override { return 0; }
    int IsCancelled() override { return 0; }
};

} // namespace

bool DownloadSegments(const MediaSource& media, QFile& file, ProgressSink* sink,
                      const HttpTransfer& settingsOf) {
    SilentSink silent;
    ProgressSink& outer = sink != nullptr ? *sink : silent;

    const int count = int(media.segments.size());
    SegmentSink segmentSink(outer, file, count);
    // A session of its own, so that the segments' reports reach the job through segmentSink;
    // its one connection is kept from segment to segment.
    HttpTransfer transfer;
    if (!transfer.OpenSession(&segmentSink))
        return false;
    transfer.SetReadBufferSize(4096);
    // The job's stall limit, retries and request headers hold for every segment as for a single stream.
    transfer.SetStallSeconds(settingsOf.StallSeconds());
    transfer.SetRetries(settingsOf.Retries());
    transfer.SetRequestHeaders(settingsOf.RequestHeaders());

    outer.Begin();
    outer.Progress(ProgressSink::ProgressTotal, count);
    bool complete = true;
    QString currentMap;
    for (int i = 0; i < count && complete; ++i) {
        const HlsSegment& segment = media.segments[i];
        segmentSink.SetSegment(i + 1);
        if (!segment.mapUri.isEmpty() && segment.mapUri != currentMap) {
            complete = transfer.CopyUrlToFile(segment.mapUri, file);
            currentMap = segment.mapUri;
        }
        complete = complete && transfer.CopyUrlToFile(segment.uri, file);
        if (complete) {
            outer.Progress(ProgressSink::ProgressPosition, i + 1);
            segmentSink.ReportActivity();
        }
    }
    const bool flushed = file.flush();
    if (complete && !(flushed && file.error() == QFileDevice::NoError)) {
        complete = false;
        outer.Status(ProgressSink::StatusResult, file.errorString());
    }
    outer.End();
    // A failure has been worded already; a stop, like a completed copy, ends with an empty line.
    if (complete || outer.IsCancelled() != 0)
        outer.Status(ProgressSink::StatusResult, QString());
    return complete;
}

} // namespace Tarnwick
