#include "resolver.h"

#include "retrieval/transfer/httptransfer.h"
#include "retrieval/transfer/limitedbuffer.h"
#include "textencoding.h"
#include "watchpageparser.h"

namespace Tarnwick {

QString QualitySelector(VideoQuality quality) {
    switch (quality) {
    case VideoQuality::HighFlv:
        return QStringLiteral("&fmt=6");
    case VideoQuality::HighMp4:
        return QStringLiteral("&fmt=18");
    case VideoQuality::Standard:
        break;
    }
    return QString();
}

bool FetchPage(HttpTransfer& transfer, const QString& url, QString& page) {
    transfer.SetReadBufferSize(4096);
    LimitedBuffer buffer(PageSizeLimit);
    if (!transfer.CopyUrlToFile(url, buffer, HttpTransfer::Body::Read))
        return false;
    if (buffer.Data().isEmpty())
        return false;
    page = PageBytesToText(buffer.Data());
    return true;
}

QString DownloadExtension(VideoQuality quality) {
    return quality == VideoQuality::HighMp4 ? QStringLiteral(".mp4") : QStringLiteral(".flv");
}

bool ResolveJob(HttpTransfer& transfer, DownloadJob& job, VideoQuality quality, const QString& videoHost) {
    QString page;
    if (!FetchPage(transfer, job.url, page))
        return false;
    return ResolveWatchPage(page, job, quality, videoHost);
}

bool ResolveWatchPage(const QString& page, DownloadJob& job, VideoQuality quality, const QString& videoHost) {
    const WatchPageParser parser(videoHost);
    if (!parser.Parse(page, job.streamUrl, job.title))
        return false;
    job.streamUrl += QualitySelector(quality);
    return true;
}

} // namespace Tarnwick
