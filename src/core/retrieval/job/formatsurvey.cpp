#include "formatsurvey.h"

#include "queue/downloadjob.h"
#include "queue/progresssink.h"
#include "retrieval/job/ytdlp/ytdlppagereader.h"
#include "retrieval/sources/mediaresolver.h"
#include "retrieval/sources/ytdlp/ytdlpformatchoice.h"
#include "retrieval/sources/ytdlp/ytdlplocator.h"
#include "retrieval/transfer/httptransfer.h"

namespace Tarnwick {

namespace {

// Keeps the reason a reader gives for its failure, and tells the transfer when to stop.
class ReasonSink : public ProgressSink {
public:
    explicit ReasonSink(const std::atomic<bool>& stop)
        : stop_(stop) {}
    int Begin() override { return 0; }
    int End() override { return 0; }
    int Progress(int, int) override { return 0; }
    int Status(int kind, const QString& text) override {
        if (kind == StatusResult && !text.isEmpty())
            reason = text;
        return 0;
    }
    int IsCancelled() override { return stop_.load() ? 1 : 0; }

    QString reason;

private:
    const std::atomic<bool>& stop_;
};

} // namespace

FormatSurvey SurveyFormats(const QString& url, const QString& videoHost, const QString& ytDlpPath,
                           const TransferNetwork& network, const std::atomic<bool>& stop) {
    FormatSurvey survey;
    ReasonSink sink(stop);
    HttpTransfer transfer;
    transfer.OpenSession(&sink);
    transfer.SetNetwork(network);
    YtDlpOnce ytDlp(ytDlpPath, [&stop] { return stop.load(); });
    YtDlpPageReader reader([&ytDlp]() -> const YtDlpProgram& { return ytDlp.Get(); }, &sink,
                           transfer.StallSeconds(), transfer.Network());
    DownloadJob job;
    job.url = url;
    MediaSource media;
    if (!ResolveMedia(transfer, &sink, job, PictureWish{}, videoHost, media, &reader)) {
        survey.reason = stop.load() ? QStringLiteral("Stopped") : sink.reason;
        if (survey.reason.isEmpty())
            survey.reason = QStringLiteral("The address could not be read");
        return survey;
    }
    survey.read = true;
    survey.title = job.title;
    survey.formats = media.offers;
    // A page of several videos is offered as a list is: a limit for all of them.
    if (!media.pageVideos.isEmpty()) {
        survey.isPlaylist = true;
        survey.entryCount = int(media.pageVideos.size());
        return survey;
    }
    if (media.fromPageReader) {
        const YtDlpInfo& info = reader.Extraction().info;
        survey.title = info.title;
        if (info.isPlaylist) {
            survey.isPlaylist = true;
            survey.entryCount = int(info.entryTotal > 0 ? info.entryTotal : info.entries.size());
            survey.formats.clear();
            return survey;
        }
        survey.formats = YtDlpOffers(info.formats);
    }
    if (survey.formats.isEmpty()) {
        OfferedFormat only;
        only.id = QStringLiteral("only");
        only.container = media.extension.mid(1);
        survey.formats.append(only);
    }
    return survey;
}

} // namespace Tarnwick
