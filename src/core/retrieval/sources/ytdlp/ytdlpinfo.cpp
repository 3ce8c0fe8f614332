#include "ytdlpinfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace Tarnwick {

namespace {

QString Text(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

double Number(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    const double number = value.isDouble() ? value.toDouble() : 0;
    // A size no site sends is taken as unknown rather than let to overflow an int later.
    return number > 0 && number < 1e9 ? number : 0;
}

bool IsWebAddress(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// "none" is yt-dlp's word for a stream that is not there; an absent value means unknown.
void ReadCodec(const QJsonObject& object, const char* key, QString& codec, bool& present) {
    codec = Text(object, key);
    present = codec != QLatin1String("none");
    if (!present)
        codec.clear();
}

// A header name is a token and a value one line: anything else would let a page write
// requests of its own.
bool IsSafeHeader(const QByteArray& name, const QByteArray& value) {
    if (name.isEmpty() || name.size() > 256 || value.size() > 16384)
        return false;
    for (const char c : name) {
        if (!(QChar::isLetterOrNumber(uchar(c)) && uchar(c) < 0x80) && c != '-' && c != '_')
            return false;
    }
    for (const char c : value) {
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    }
    return true;
}

YtDlpFormat ReadFormat(const QJsonObject& object) {
    YtDlpFormat format;
    format.id = Text(object, "format_id");
    format.url = Text(object, "url");
    if (!IsWebAddress(format.url))
        format.url.clear();
    format.protocol = Text(object, "protocol");
    format.extension = Text(object, "ext");
    ReadCodec(object, "vcodec", format.videoCodec, format.hasVideo);
    ReadCodec(object, "acodec", format.audioCodec, format.hasAudio);
    format.width = int(Number(object, "width"));
    format.height = int(Number(object, "height"));
    format.frameRate = Number(object, "fps");
    format.bytes = qint64(Number(object, "filesize"));
    if (format.bytes <= 0)
        format.bytes = qint64(Number(object, "filesize_approx"));
    format.language = Text(object, "language");
    format.bitRate = Number(object, "tbr");
    if (format.bitRate == 0)
        format.bitRate = Number(object, "vbr") + Number(object, "abr");
    // yt-dlp marks audio-only formats so, also where it does not know the codec.
    const QString resolution = Text(object, "resolution");
    if (resolution == QLatin1String("audio only"))
        format.hasVideo = false;
    const QJsonObject headers = object.value(QLatin1String("http_headers")).toObject();
    for (auto it = headers.begin(); it != headers.end(); ++it) {
        const QByteArray name = it.key().toUtf8();
        const QByteArray value = it.value().toString().toUtf8();
        if (it.value().isString() && IsSafeHeader(name, value))
            format.httpHeaders.append({name, value});
    }
    return format;
}

// {"en": [{"ext": "vtt", "url": ..., "name": "English"}, ...], ...}
void ReadSubtitles(const QJsonObject& byLanguage, bool automatic, QList<SubtitleOffer>& offers) {
    for (auto language = byLanguage.begin(); language != byLanguage.end(); ++language) {
        for (const QJsonValue& value : language.value().toArray()) {
            const QJsonObject object = value.toObject();
            SubtitleOffer offer;
            offer.language = language.key();
            offer.url = Text(object, "url");
            offer.format = Text(object, "ext");
            offer.label = Text(object, "name");
            offer.automatic = automatic;
            // Chat replays and other data are no text to show.
            if (IsWebAddress(offer.url) && offer.format != QLatin1String("json"))
                offers.append(offer);
        }
    }
}

YtDlpEntry ReadEntry(const QJsonObject& object) {
    YtDlpEntry entry;
    entry.title = Text(object, "title");
    const QString type = Text(object, "_type");
    if (type == QLatin1String("url") || type == QLatin1String("url_transparent")) {
        entry.url = Text(object, "url");
    } else {
        // A resolved entry keeps its info; its address is the page it came from.
        entry.url = Text(object, "webpage_url");
        entry.info = QJsonDocument(object).toJson(QJsonDocument::Compact);
    }
    if (!IsWebAddress(entry.url))
        entry.url.clear();
    return entry;
}

// yt-dlp lists its thumbnails worst first; containers keep JPEG and PNG as they are.
QString Thumbnail(const QJsonObject& root) {
    QString picture;
    for (const QJsonValue& value : root.value(QLatin1String("thumbnails")).toArray()) {
        const QString address = Text(value.toObject(), "url");
        const QString path = QUrl(address).path().toLower();
        if (IsWebAddress(address) &&
            (path.endsWith(QLatin1String(".jpg")) || path.endsWith(QLatin1String(".jpeg")) ||
             path.endsWith(QLatin1String(".png"))))
            picture = address;
    }
    const QString named = Text(root, "thumbnail");
    return !picture.isEmpty() ? picture : IsWebAddress(named) ? named : QString();
}

} // namespace

bool ParseYtDlpInfo(const QByteArray& json, YtDlpInfo& info, QString& reason) {
    info = YtDlpInfo();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        reason = error.error != QJsonParseError::NoError
                     ? QStringLiteral("yt-dlp's answer is not readable JSON (%1 at byte %2)")
                           .arg(error.errorString())
                           .arg(error.offset)
                     : QStringLiteral("yt-dlp's answer is not a JSON object");
        return false;
    }
    const QJsonObject root = document.object();
    info.title = Text(root, "title");
    info.extractorKey = Text(root, "extractor_key");
    info.extension = Text(root, "ext");
    info.uploader = Text(root, "uploader");
    if (info.uploader.isEmpty())
        info.uploader = Text(root, "channel");
    const QString uploaded = Text(root, "upload_date");
    if (uploaded.size() == 8)
        info.uploadYear = qMax(0, uploaded.left(4).toInt());
    info.description = Text(root, "description");
    info.thumbnail = Thumbnail(root);
    for (const QJsonValue& value : root.value(QLatin1String("chapters")).toArray()) {
        const QJsonObject chapter = value.toObject();
        const double start = chapter.value(QLatin1String("start_time")).toDouble(-1);
        if (start >= 0 && start < 1e7)
            info.chapters.append({qint64(start * 1000 + 0.5), Text(chapter, "title")});
    }
    const QString type = Text(root, "_type");
    if (type == QLatin1String("playlist") || type == QLatin1String("multi_video")) {
        info.isPlaylist = true;
        const QJsonArray entries = root.value(QLatin1String("entries")).toArray();
        for (const QJsonValue& value : entries) {
            if (value.isObject())
                info.entries.append(ReadEntry(value.toObject()));
        }
        info.entryTotal = qMax(int(Number(root, "playlist_count")), int(info.entries.size()));
        return true;
    }
    // Only formats at http or https addresses are taken, whoever fetches them: a local file or
    // any other scheme is nothing a web page may hand over.
    const auto take = [&info](const QJsonObject& object) {
        YtDlpFormat format = ReadFormat(object);
        if (!format.url.isEmpty())
            info.formats.append(format);
    };
    ReadSubtitles(root.value(QLatin1String("subtitles")).toObject(), false, info.subtitles);
    ReadSubtitles(root.value(QLatin1String("automatic_captions")).toObject(), true, info.subtitles);
    const QJsonArray formats = root.value(QLatin1String("formats")).toArray();
    for (const QJsonValue& value : formats) {
        if (value.isObject())
            take(value.toObject());
    }
    // A video of a single format may come without a list, its format fields at the top.
    if (formats.isEmpty() && root.contains(QLatin1String("url")))
        take(root);
    return true;
}

bool IsHttpFormat(const YtDlpFormat& format) {
    return (format.protocol.isEmpty() || format.protocol == QLatin1String("http") ||
            format.protocol == QLatin1String("https"));
}

bool IsHlsFormat(const YtDlpFormat& format) {
    return (format.protocol == QLatin1String("m3u8") || format.protocol == QLatin1String("m3u8_native"));
}

} // namespace Tarnwick
