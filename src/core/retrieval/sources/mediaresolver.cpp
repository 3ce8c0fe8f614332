#include "mediaresolver.h"

#include "app/urlcheck.h"
#include "hlsvariantchoice.h"
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
#include <QLocale>
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
    const bool copied = transfer.CopyUrlToFile(url, buffer, HttpTransfer::Body::Read);
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

// Resolves the segment addresses against the playlist's own; false (having said why) when one
// is not http or https. fragmented tells whether any has an initialisation section.
bool ResolveSegments(ProgressSink* sink, const QString& playlistUrl, QList<HlsSegment>& segments,
                     bool& fragmented) {
    const QUrl base(playlistUrl);
    fragmented = false;
    for (HlsSegment& segment : segments) {
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
    return true;
}

// Fetches and reads the media playlist at url (a variant or a sound rendition of a master).
// what names it in the failure texts.
bool FetchMediaPlaylist(HttpTransfer& transfer, ProgressSink* sink, const QString& url, const QString& what,
                        HlsPlaylist& playlist, QString& playlistUrl) {
    Fetched fetched;
    if (!Fetch(transfer, sink, url, fetched))
        return false;
    if (fetched.kind == BodyKind::Media)
        return Fail(sink, QStringLiteral("The HLS %1 address is not a playlist: %2").arg(what, fetched.url));
    playlist = ParseHlsPlaylist(fetched.body);
    playlistUrl = fetched.url;
    if (playlist.isMaster)
        return Fail(sink,
                    QStringLiteral("The HLS %1 is itself a list of variants: %2").arg(what, playlistUrl));
    return true;
}

// The extension of a media playlist's segments written one after another.
QString SegmentsExtension(const QList<HlsSegment>& segments, bool fragmented, bool soundOnly) {
    if (fragmented)
        return soundOnly ? QStringLiteral(".m4a") : QStringLiteral(".mp4");
    // Sound-only lists may be bare ADTS or MP3 streams, which concatenate as they are.
    const QString path = segments.isEmpty() ? QString() : QUrl(segments.first().uri).path().toLower();
    if (soundOnly && (path.endsWith(QLatin1String(".aac")) || path.endsWith(QLatin1String(".mp3"))))
        return path.right(4);
    return QStringLiteral(".ts");
}

bool ResolvePlaylist(HttpTransfer& transfer, ProgressSink* sink, const Fetched& first,
                     const PictureWish& wish, DownloadJob& job, MediaSource& media) {
    HlsPlaylist playlist = ParseHlsPlaylist(first.body);
    QString playlistUrl = first.url;
    bool soundOnly = false;
    QString soundUrl;
    QString variantCodecs;
    if (playlist.isMaster) {
        media.offers = HlsOffers(playlist);
        const HlsVariantChoice choice = ChooseHlsVariant(playlist, wish);
        const HlsVariant& variant = playlist.variants[choice.index];
        media.choice = choice.text;
        soundOnly = choice.audioOnly;
        variantCodecs = variant.codecs;
        const QUrl variantUrl = QUrl(playlistUrl).resolved(QUrl(variant.uri));
        if (!IsHttp(variantUrl))
            return Fail(sink,
                        QStringLiteral("The HLS variant address is not http or https: %1").arg(variant.uri));
        // The picture's sound may come as a rendition of its own; one without an address is
        // in the variant's segments already.
        const HlsRendition* rendition =
            soundOnly || variant.audioGroup.isEmpty()
                ? nullptr
                : ChooseAudioRendition(playlist, variant.audioGroup,
                                       QLocale::system().name().section(u'_', 0, 0));
        if (rendition != nullptr && !rendition->uri.isEmpty()) {
            const QUrl url = QUrl(playlistUrl).resolved(QUrl(rendition->uri));
            if (!IsHttp(url))
                return Fail(
                    sink,
                    QStringLiteral("The HLS sound address is not http or https: %1").arg(rendition->uri));
            soundUrl = url.toString();
        }
        for (SubtitleOffer offer : HlsSubtitleOffers(playlist, variant)) {
            const QUrl url = QUrl(playlistUrl).resolved(QUrl(offer.url));
            if (!IsHttp(url))
                continue;
            offer.url = url.toString();
            media.subtitles.append(offer);
        }
        if (!FetchMediaPlaylist(transfer, sink, variantUrl.toString(), QStringLiteral("variant"), playlist,
                                playlistUrl))
            return false;
    }
    const QString refusal = HlsRefusal(playlist);
    if (!refusal.isEmpty())
        return Fail(sink, refusal);
    bool fragmented = false;
    if (!ResolveSegments(sink, playlistUrl, playlist.segments, fragmented))
        return false;

    if (!soundUrl.isEmpty()) {
        HlsPlaylist sound;
        QString soundPlaylistUrl;
        if (!FetchMediaPlaylist(transfer, sink, soundUrl, QStringLiteral("sound"), sound, soundPlaylistUrl))
            return false;
        const QString soundRefusal = HlsRefusal(sound);
        if (!soundRefusal.isEmpty())
            return Fail(sink, QStringLiteral("%1 (the sound's playlist)").arg(soundRefusal));
        bool soundFragmented = false;
        if (!ResolveSegments(sink, soundPlaylistUrl, sound.segments, soundFragmented))
            return false;
        media.audioSegments = std::move(sound.segments);
    }

    media.isPlaylist = true;
    media.extension = media.audioSegments.isEmpty()
                          ? SegmentsExtension(playlist.segments, fragmented, soundOnly)
                          : MergedContainerFromCodecs(variantCodecs);
    media.segments = std::move(playlist.segments);
    job.streamUrl = playlistUrl;
    return true;
}

// The playable sources among which the quality chooses, addresses resolved against the page.
// Those without a height count only when none has one, as they are never chosen over one that
// has. Of a <video> element only those of one type count, as a browser plays one type; a player
// set-up's sources are all its renditions.
QList<HtmlVideoSource> PlayableSources(const QList<HtmlVideoSource>& offered, const QUrl& base,
                                       bool oneTypeOnly) {
    QList<HtmlVideoSource> playable;
    bool sized = false;
    for (HtmlVideoSource source : offered) {
        const QUrl url = base.resolved(QUrl(source.url));
        if (!IsPlayableSourceType(source.type) || !IsHttp(url))
            continue;
        source.url = url.toString();
        sized = sized || source.height > 0;
        playable.append(source);
    }
    QList<HtmlVideoSource> sources;
    for (const HtmlVideoSource& source : playable) {
        if (sized && source.height <= 0)
            continue;
        if (oneTypeOnly && !sources.isEmpty() && source.type != sources.first().type)
            continue;
        sources.append(source);
    }
    return sources;
}

// The rendition the wish asks for; those without a height only when no other is offered.
QString ChooseSource(const QList<HtmlVideoSource>& sources, const PictureWish& wish, QString& choice,
                     QList<OfferedFormat>* listed) {
    QList<OfferedPicture> offers;
    for (int i = 0; i < sources.size(); ++i) {
        const HtmlVideoSource& source = sources[i];
        const QString id = QStringLiteral("page-%1").arg(i);
        offers.append({id, source.height, 0, QString(), 0,
                       source.height > 0 ? QStringLiteral("%1p").arg(source.height) : QString()});
        if (listed != nullptr) {
            OfferedFormat offer;
            offer.id = id;
            offer.height = source.height;
            offer.container = source.type.section(u'/', 1);
            listed->append(offer);
        }
    }
    const PictureChoice chosen = ChoosePicture(offers, wish);
    choice = chosen.text;
    return sources[chosen.index].url;
}

constexpr char PageVideoFragment[] = "video-";

// The number a row's address gives to one of its page's videos ("#video-2"), or 0.
int PageVideoNumber(const QString& url) {
    const QString fragment = QUrl(url).fragment();
    if (!fragment.startsWith(QLatin1String(PageVideoFragment)))
        return 0;
    bool ok = false;
    const int number = fragment.mid(int(sizeof PageVideoFragment) - 1).toInt(&ok);
    return ok && number > 0 ? number : 0;
}

// The page's <video>s that can be played, each once: two elements with the same sources are
// one video shown twice, not two videos.
QList<QList<HtmlVideoSource>> DistinctPageVideos(const HtmlVideoScan& scan, const QUrl& base) {
    QList<QList<HtmlVideoSource>> videos;
    QList<QStringList> seen;
    QList<QList<HtmlVideoSource>> offered = {scan.videoSources};
    offered += scan.laterVideos;
    for (const QList<HtmlVideoSource>& video : offered) {
        const QList<HtmlVideoSource> sources = PlayableSources(video, base, true);
        QStringList addresses;
        for (const HtmlVideoSource& source : sources)
            addresses.append(source.url);
        addresses.sort();
        if (sources.isEmpty() || seen.contains(addresses))
            continue;
        seen.append(addresses);
        videos.append(sources);
    }
    return videos;
}

// The page's video address in the order of preference, with the rendition choice made.
QString PageVideoAddress(const HtmlVideoScan& scan, const QUrl& base, const PictureWish& wish,
                         QString& choice, QList<OfferedFormat>* offers = nullptr) {
    for (const auto& [offered, firstTypeOnly] :
         {std::pair(&scan.videoSources, true), std::pair(&scan.jwPlayerSources, false)}) {
        const QList<HtmlVideoSource> sources = PlayableSources(*offered, base, firstTypeOnly);
        if (!sources.isEmpty())
            return ChooseSource(sources, wish, choice, offers);
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
    return !PageVideoAddress(scan, PageBase(scan, page), PictureWish{}, unused).isEmpty();
}

// A plain page that plays its video itself, in a <video> element with a source in the page:
// the built-in readers read it as well as anything can, so nothing else is asked. Players set
// up in scripts and the tags of Open Graph, Twitter and JSON-LD are what sites with readers of
// their own (in yt-dlp) show too, and those readers know more renditions.
bool PagePlaysItsOwnVideo(const Fetched& page) {
    const HtmlVideoScan scan = ScanHtmlForVideo(page.body);
    return !PlayableSources(scan.videoSources, PageBase(scan, page), true).isEmpty();
}

bool ResolvePage(HttpTransfer& transfer, ProgressSink* sink, const Fetched& page, const PictureWish& wish,
                 DownloadJob& job, MediaSource& media, bool suggestReader) {
    const HtmlVideoScan scan = ScanHtmlForVideo(page.body);
    const QUrl base = PageBase(scan, page);
    QString title = CleanTitle(scan.ogTitle);
    if (title.isEmpty())
        title = CleanTitle(scan.title);
    // Several videos on the page: each is a row of its own, or this row is one of them.
    const QList<QList<HtmlVideoSource>> videos = DistinctPageVideos(scan, base);
    const int number = PageVideoNumber(job.url);
    if (number == 0 && videos.size() > 1) {
        for (int i = 1; i <= videos.size(); ++i)
            media.pageVideos.append(PageVideoUrl(job.url, i));
        job.title = title.isEmpty() ? FallbackTitle : title;
        return true;
    }
    if (number > videos.size())
        return Fail(sink, QStringLiteral("The page no longer shows a video number %1; it shows %2")
                              .arg(number)
                              .arg(videos.size()));
    const QString address = number > 0 ? ChooseSource(videos[number - 1], wish, media.choice, &media.offers)
                                       : PageVideoAddress(scan, base, wish, media.choice, &media.offers);
    if (address.isEmpty())
        return Fail(sink,
                    QStringLiteral(
                        "No video found on this page: it has no player block, no <video> "
                        "source, no JW Player set-up, no og:video, no twitter:player:stream and no JSON-LD "
                        "VideoObject with an http or https address%1")
                        .arg(suggestReader ? QStringLiteral(" (installing yt-dlp lets Tarnwick read "
                                                            "many more sites)")
                                           : QString()));

    Fetched video;
    if (!Fetch(transfer, sink, address, video))
        return false;
    QString fileTitle;
    NameMediaFile(video, fileTitle, media.extension);
    job.title = !title.isEmpty() ? title : !fileTitle.isEmpty() ? fileTitle : FallbackTitle;
    if (number > 0)
        job.title += QStringLiteral(" %1").arg(number);
    // What the page says of who made the video and when, for the file's tags.
    job.artist = scan.jsonLdAuthor;
    job.year = scan.jsonLdYear;
    job.chapters = scan.jsonLdChapters;
    job.description =
        !scan.jsonLdDescription.isEmpty() ? scan.jsonLdDescription : scan.ogDescription.trimmed();
    for (const QString* picture : {&scan.jsonLdThumbnail, &scan.ogImage}) {
        const QUrl url = base.resolved(QUrl(picture->trimmed()));
        if (!picture->trimmed().isEmpty() && IsHttp(url)) {
            job.coverUrl = url.toString();
            break;
        }
    }
    for (SubtitleOffer track : scan.videoTracks) {
        const QUrl url = base.resolved(QUrl(track.url));
        if (IsHttp(url)) {
            track.url = url.toString();
            media.subtitles.append(track);
        }
    }

    switch (video.kind) {
    case BodyKind::Media:
        job.streamUrl = video.url;
        return true;
    case BodyKind::Playlist:
        return ResolvePlaylist(transfer, sink, video, wish, job, media);
    case BodyKind::Page:
        break;
    }
    return Fail(
        sink,
        QStringLiteral("The page's video address leads to another web page, not a video: %1").arg(video.url));
}

} // namespace

QString PageVideoUrl(const QString& pageUrl, int number) {
    QUrl url(pageUrl);
    url.setFragment(QLatin1String(PageVideoFragment) + QString::number(number));
    return url.toString();
}

bool ResolveMedia(HttpTransfer& transfer, ProgressSink* sink, DownloadJob& job, const PictureWish& wish,
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
        return ResolvePlaylist(transfer, sink, fetched, wish, job, media);
    }
    case BodyKind::Page:
        break;
    }

    // A page with the player's argument block is a watch page, and nothing else is tried on it.
    const QString text = PageBytesToText(fetched.body);
    QString unused;
    if (WatchPageParser(videoHost).ExtractStreamUrl(text, unused)) {
        media.extension = DownloadExtension(wish.quality);
        // With the stream found, only the title can be missing.
        return ResolveWatchPage(text, job, wish.quality, videoHost) ||
               Fail(sink, QStringLiteral("The watch page has no title"));
    }
    if (reader == nullptr)
        return ResolvePage(transfer, sink, fetched, wish, job, media, true);
    if (PagePlaysItsOwnVideo(fetched))
        return ResolvePage(transfer, sink, fetched, wish, job, media, false);
    switch (reader->Read(job.url)) {
    case PageReader::Result::Resolved:
        media.fromPageReader = true;
        return true;
    case PageReader::Result::Stopped:
        return false;
    case PageReader::Result::Unavailable:
        return ResolvePage(transfer, sink, fetched, wish, job, media, true);
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
    return ResolvePage(transfer, sink, fetched, wish, job, media, false);
}

bool ResolveHlsAddress(HttpTransfer& transfer, ProgressSink* sink, const QString& url,
                       const PictureWish& wish, DownloadJob& job, MediaSource& media) {
    media = MediaSource();
    Fetched fetched;
    if (!Fetch(transfer, sink, url, fetched))
        return false;
    if (fetched.kind == BodyKind::Media)
        return Fail(
            sink, QStringLiteral("The HLS address answered with a media file, not a playlist: %1").arg(url));
    fetched.kind = BodyKind::Playlist;
    return ResolvePlaylist(transfer, sink, fetched, wish, job, media);
}

} // namespace Tarnwick
