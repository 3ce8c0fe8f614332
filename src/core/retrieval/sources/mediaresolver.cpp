#include "mediaresolver.h"

#include "app/urlcheck.h"
#include "htmlvideoscan.h"
#include "mediatype.h"
#include "queue/progresssink.h"
#include "renditionchoice.h"
#include "resolver.h"
#include "retrieval/transfer/httptransfer.h"
#include "retrieval/transfer/limitedbuffer.h"
#include "textencoding.h"
#include "watchpageparser.h"

#include <QFileInfo>
#include <QUrl>

namespace Tarnwick {

namespace {

const QString FallbackTitle = QStringLiteral("untitled");

// One answer: its kind, and its body unless it is a media file (whose body is left unread).
struct Fetched {
    BodyKind kind = BodyKind::Page;
    QString url; // after redirects
    QByteArray contentType;
    QString dispositionName;
    QByteArray body;
};

bool Fail(ProgressSink* sink, const QString& text) {
    return ReportResultLine(sink, text);
}

bool IsHttp(const QUrl& url) {
    return url.isValid() && IsWebUrl(url);
}

bool LooksLikePlaylist(const QByteArray& body) {
    qsizetype i = body.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < body.size() && (body[i] == ' ' || body[i] == '\r' || body[i] == '\n'))
        ++i;
    return QByteArrayView(body).sliced(i).startsWith("#EXTM3U");
}

// Requests url; a media answer stops at its headers, anything else is read (up to the page
// limit). False when the transfer failed (it has said why) or the body is empty.
bool Fetch(HttpTransfer& transfer, ProgressSink* sink, const QString& url, Fetched& fetched) {
    transfer.SetReadBufferSize(4096);
    LimitedBuffer buffer(PageSizeLimit);
    transfer.SetResponseCheck([&fetched](const HttpTransfer::Response& response) {
        fetched.dispositionName = ContentDispositionFileName(response.contentDisposition);
        fetched.kind = ClassifyResponse(response.contentType, response.url, fetched.dispositionName);
        return fetched.kind != BodyKind::Media;
    });
    const bool copied = transfer.CopyUrlToFile(url, buffer);
    transfer.SetResponseCheck({});
    if (!copied && !transfer.WasDeclined())
        return false;
    fetched.url = transfer.LastResponse().url;
    fetched.contentType = transfer.LastResponse().contentType;
    if (fetched.kind == BodyKind::Media)
        return true;
    fetched.body = buffer.TakeData();
    if (fetched.body.isEmpty())
        return Fail(sink, QStringLiteral("The address answered with an empty page: %1").arg(url));
    if (fetched.kind == BodyKind::Page && LooksLikePlaylist(fetched.body))
        fetched.kind = BodyKind::Playlist;
    return true;
}

// The page title made fit to become a file name, as watch-page titles are.
QString CleanTitle(const QString& title) {
    return WithoutSitePrefix(title.simplified());
}

QString WithoutExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

QString ExtensionOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 && HasMediaExtension(name) ? name.mid(dot).toLower() : QString();
}

// The name a media answer is saved under when nothing better is known, and its extension.
void NameMediaFile(const Fetched& fetched, QString& title, QString& extension) {
    const QString urlName = UrlFileName(fetched.url);
    const QString name = fetched.dispositionName.isEmpty() ? urlName : fetched.dispositionName;
    title = WithoutExtension(name);
    extension = ExtensionOf(name);
    if (extension.isEmpty())
        extension = ExtensionOf(urlName);
    if (extension.isEmpty())
        extension = MediaTypeExtension(fetched.contentType);
    if (extension.isEmpty())
        extension = QStringLiteral(".bin");
}

bool ResolvePlaylist(HttpTransfer& transfer, ProgressSink* sink, const Fetched& first, VideoQuality quality,
                     DownloadJob& job, MediaSource& media) {
    HlsPlaylist playlist = ParseHlsPlaylist(first.body);
    QString playlistUrl = first.url;
    if (playlist.isMaster) {
        QList<RenditionSize> sizes;
        for (const HlsVariant& variant : playlist.variants) {
            const QString label = variant.height > 0
                                      ? QStringLiteral("%1x%2").arg(variant.width).arg(variant.height)
                                      : QStringLiteral("%1 kbit/s").arg(variant.bandwidth / 1000);
            sizes.append({qint64(variant.width) * variant.height, variant.bandwidth, label});
        }
        const int chosen = ChooseRendition(sizes, quality);
        media.choice = RenditionChoiceText(sizes, chosen, quality);
        const QUrl variantUrl = QUrl(playlistUrl).resolved(QUrl(playlist.variants[chosen].uri));
        if (!IsHttp(variantUrl))
            return Fail(sink, QStringLiteral("The HLS variant address is not http or https: %1")
                                  .arg(playlist.variants[chosen].uri));
        Fetched variant;
        if (!Fetch(transfer, sink, variantUrl.toString(), variant))
            return false;
        if (variant.kind == BodyKind::Media)
            return Fail(sink,
                        QStringLiteral("The HLS variant address is not a playlist: %1").arg(variant.url));
        playlist = ParseHlsPlaylist(variant.body);
        playlistUrl = variant.url;
        if (playlist.isMaster)
            return Fail(sink,
                        QStringLiteral("The HLS variant is itself a list of variants: %1").arg(playlistUrl));
    }
    const QString refusal = HlsRefusal(playlist);
    if (!refusal.isEmpty())
        return Fail(sink, refusal);

    const QUrl base(playlistUrl);
    bool fragmented = false;
    for (HlsSegment& segment : playlist.segments) {
        const QUrl segmentUrl = base.resolved(QUrl(segment.uri));
        if (!IsHttp(segmentUrl))
            return Fail(sink,
                        QStringLiteral("An HLS segment address is not http or https: %1").arg(segment.uri));
        segment.uri = segmentUrl.toString();
        if (!segment.mapUri.isEmpty()) {
            const QUrl mapUrl = base.resolved(QUrl(segment.mapUri));
            if (!IsHttp(mapUrl))
                return Fail(sink, QStringLiteral("An HLS initialisation address is not http or https: %1")
                                      .arg(segment.mapUri));
            segment.mapUri = mapUrl.toString();
            fragmented = true;
        }
    }
    media.isPlaylist = true;
    media.extension = fragmented ? QStringLiteral(".mp4") : QStringLiteral(".ts");
    media.segments = std::move(playlist.segments);
    job.streamUrl = playlistUrl;
    return true;
}

// The playable sources of the page's video among which the quality chooses: those of the
// first playable type, addresses resolved against the page.
QList<HtmlVideoSource> PlayableSources(const HtmlVideoScan& scan, const QUrl& base) {
    QList<HtmlVideoSource> sources;
    QString chosenType;
    for (HtmlVideoSource source : scan.videoSources) {
        const QUrl url = base.resolved(QUrl(source.url));
        if (!IsPlayableSourceType(source.type) || !IsHttp(url))
            continue;
        if (sources.isEmpty())
            chosenType = source.type;
        if (source.type != chosenType)
            continue;
        source.url = url.toString();
        sources.append(source);
    }
    return sources;
}

// The page's video address in the order of preference, with the rendition choice made.
QString PageVideoAddress(const HtmlVideoScan& scan, const QUrl& base, VideoQuality quality, QString& choice) {
    const QList<HtmlVideoSource> sources = PlayableSources(scan, base);
    if (!sources.isEmpty()) {
        bool sized = false;
        QList<RenditionSize> sizes;
        for (const HtmlVideoSource& source : sources) {
            sized = sized || source.height > 0;
            sizes.append(
                {source.height, 0, source.height > 0 ? QStringLiteral("%1p").arg(source.height) : QString()});
        }
        // Without sizes there is nothing to choose by: the first is what a browser would play.
        const int chosen = sized ? ChooseRendition(sizes, quality) : 0;
        if (sized)
            choice = RenditionChoiceText(sizes, chosen, quality);
        return sources[chosen].url;
    }
    for (const QString* candidate : {&scan.ogVideoSecureUrl, &scan.ogVideoUrl, &scan.ogVideo,
                                     &scan.twitterPlayerStream, &scan.jsonLdContentUrl}) {
        const QUrl url = base.resolved(QUrl(*candidate));
        if (!candidate->isEmpty() && IsHttp(url))
            return url.toString();
    }
    return QString();
}

QUrl PageBase(const HtmlVideoScan& scan, const Fetched& page) {
    QUrl base(page.url);
    if (!scan.baseHref.isEmpty())
        base = base.resolved(QUrl(scan.baseHref));
    return base;
}

bool BuiltInReadersNameVideo(const Fetched& page) {
    const HtmlVideoScan scan = ScanHtmlForVideo(page.body);
    QString unused;
    return !PageVideoAddress(scan, PageBase(scan, page), VideoQuality::Standard, unused).isEmpty();
}

bool ResolvePage(HttpTransfer& transfer, ProgressSink* sink, const Fetched& page, VideoQuality quality,
                 DownloadJob& job, MediaSource& media, bool suggestReader) {
    const HtmlVideoScan scan = ScanHtmlForVideo(page.body);
    const QString address = PageVideoAddress(scan, PageBase(scan, page), quality, media.choice);
    if (address.isEmpty())
        return Fail(sink, QStringLiteral("No video found on this page: it has no player block, no <video> "
                                         "source, no og:video, no twitter:player:stream and no JSON-LD "
                                         "VideoObject with an http or https address%1")
                              .arg(suggestReader ? QStringLiteral(" (installing yt-dlp lets Tarnwick read "
                                                                  "many more sites)")
                                                 : QString()));

    Fetched video;
    if (!Fetch(transfer, sink, address, video))
        return false;
    QString fileTitle;
    NameMediaFile(video, fileTitle, media.extension);
    QString title = CleanTitle(scan.ogTitle);
    if (title.isEmpty())
        title = CleanTitle(scan.title);
    job.title = !title.isEmpty() ? title : !fileTitle.isEmpty() ? fileTitle : FallbackTitle;

    switch (video.kind) {
    case BodyKind::Media:
        job.streamUrl = video.url;
        return true;
    case BodyKind::Playlist:
        return ResolvePlaylist(transfer, sink, video, quality, job, media);
    case BodyKind::Page:
        break;
    }
    return Fail(
        sink,
        QStringLiteral("The page's video address leads to another web page, not a video: %1").arg(video.url));
}

} // namespace

bool ResolveMedia(HttpTransfer& transfer, ProgressSink* sink, DownloadJob& job, VideoQuality quality,
                  const QString& videoHost, MediaSource& media, PageReader* reader) {
    media = MediaSource();
    Fetched fetched;
    if (!Fetch(transfer, sink, job.url, fetched))
        return false;

    switch (fetched.kind) {
    case BodyKind::Media: {
        job.streamUrl = fetched.url;
        QString title;
        NameMediaFile(fetched, title, media.extension);
        job.title = title.isEmpty() ? FallbackTitle : title;
        return true;
    }
    case BodyKind::Playlist: {
        job.title = WithoutExtension(UrlFileName(fetched.url));
        if (job.title.isEmpty())
            job.title = FallbackTitle;
        return ResolvePlaylist(transfer, sink, fetched, quality, job, media);
    }
    case BodyKind::Page:
        break;
    }

    // A page with the player's argument block is a watch page, and nothing else is tried on it.
    const QString text = PageBytesToText(fetched.body);
    QString unused;
    if (WatchPageParser(videoHost).ExtractStreamUrl(text, unused)) {
        media.extension = DownloadExtension(quality);
        // With the stream found, only the title can be missing.
        return ResolveWatchPage(text, job, quality, videoHost) ||
               Fail(sink, QStringLiteral("The watch page has no title"));
    }
    if (reader == nullptr)
        return ResolvePage(transfer, sink, fetched, quality, job, media, true);
    switch (reader->Read(job.url)) {
    case PageReader::Result::Resolved:
        media.fromPageReader = true;
        return true;
    case PageReader::Result::Stopped:
        return false;
    case PageReader::Result::NoVideo:
        break;
    case PageReader::Result::Generic:
        media.fromPageReader = !BuiltInReadersNameVideo(fetched);
        if (media.fromPageReader)
            return true;
        break;
    case PageReader::Result::Failed:
        if (!BuiltInReadersNameVideo(fetched))
            return Fail(sink, reader->FailureReason());
        break;
    }
    return ResolvePage(transfer, sink, fetched, quality, job, media, false);
}

bool ResolveHlsAddress(HttpTransfer& transfer, ProgressSink* sink, const QString& url, VideoQuality quality,
                       DownloadJob& job, MediaSource& media) {
    media = MediaSource();
    Fetched fetched;
    if (!Fetch(transfer, sink, url, fetched))
        return false;
    if (fetched.kind == BodyKind::Media)
        return Fail(
            sink, QStringLiteral("The HLS address answered with a media file, not a playlist: %1").arg(url));
    fetched.kind = BodyKind::Playlist;
    return ResolvePlaylist(transfer, sink, fetched, quality, job, media);
}

} // namespace Tarnwick
