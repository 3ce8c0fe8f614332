#include "mediatype.h"

#include <QUrl>

namespace Tarnwick {

namespace {

struct TypeExtension {
    const char* type;
    const char* extension;
};

// The first entry of a type gives its extension; the list also decides which names are media.
constexpr TypeExtension KnownTypes[] = {
    {"video/mp4", ".mp4"},       {"video/webm", ".webm"},      {"video/x-flv", ".flv"},
    {"video/quicktime", ".mov"}, {"video/x-matroska", ".mkv"}, {"video/mp2t", ".ts"},
    {"video/ogg", ".ogv"},       {"video/3gpp", ".3gp"},       {"video/x-msvideo", ".avi"},
    {"video/x-ms-wmv", ".wmv"},  {"video/mpeg", ".mpg"},       {"video/x-m4v", ".m4v"},
    {"audio/mpeg", ".mp3"},      {"audio/mp4", ".m4a"},        {"audio/aac", ".aac"},
    {"audio/ogg", ".ogg"},       {"audio/webm", ".weba"},      {"audio/wav", ".wav"},
    {"audio/x-wav", ".wav"},     {"audio/flac", ".flac"},      {"audio/opus", ".opus"},
    {"video/mp4", ".m4s"},       {"video/mpeg", ".mpeg"},      {"audio/ogg", ".oga"},
};

QByteArray MediaTypeOnly(const QByteArray& contentType) {
    const qsizetype semicolon = contentType.indexOf(';');
    return (semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed().toLower();
}

bool IsPlaylistType(const QByteArray& type) {
    return type == "application/vnd.apple.mpegurl" || type == "application/x-mpegurl" ||
           type == "audio/mpegurl" || type == "audio/x-mpegurl";
}

QString PercentDecoded(const QByteArray& text) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text));
}

QString LastComponent(QString name) {
    // A name must not lead anywhere but into the output folder.
    name.replace(u'\\', u'/');
    return name.section(u'/', -1).trimmed();
}

} // namespace

bool HasMediaExtension(const QString& name) {
    for (const TypeExtension& known : KnownTypes)
        if (name.endsWith(QLatin1String(known.extension), Qt::CaseInsensitive))
            return true;
    return false;
}

QString MediaTypeExtension(const QByteArray& contentType) {
    const QByteArray type = MediaTypeOnly(contentType);
    for (const TypeExtension& known : KnownTypes)
        if (type == known.type)
            return QString::fromLatin1(known.extension);
    return QString();
}

BodyKind ClassifyResponse(const QByteArray& contentType, const QString& url, const QString& dispositionName) {
    const QByteArray type = MediaTypeOnly(contentType);
    const QString urlName = UrlFileName(url);
    if (IsPlaylistType(type) || urlName.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive))
        return BodyKind::Playlist;
    if (type.startsWith("video/") || type.startsWith("audio/"))
        return BodyKind::Media;
    if (type == "application/octet-stream" &&
        (HasMediaExtension(urlName) || HasMediaExtension(dispositionName)))
        return BodyKind::Media;
    return BodyKind::Page;
}

QString ContentDispositionFileName(const QByteArray& header) {
    QString plain;
    QString extended;
    for (const QByteArray& rawPart : header.split(';')) {
        const QByteArray part = rawPart.trimmed();
        const qsizetype equals = part.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray name = part.left(equals).trimmed().toLower();
        QByteArray value = part.mid(equals + 1).trimmed();
        if (name == "filename*") {
            // charset'language'percent-encoded-name
            const qsizetype quote = value.indexOf('\'', value.indexOf('\'') + 1);
            if (quote > 0 && value.left(value.indexOf('\'')).toLower() == "utf-8")
                extended = PercentDecoded(value.mid(quote + 1));
            else if (quote > 0)
                extended = QString::fromLatin1(QByteArray::fromPercentEncoding(value.mid(quote + 1)));
        } else if (name == "filename") {
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2).replace("\\\"", "\"");
            plain = QString::fromUtf8(value);
        }
    }
    return LastComponent(extended.isEmpty() ? plain : extended);
}

QString UrlFileName(const QString& url) {
    const QString path = QUrl(url).path(QUrl::FullyDecoded);
    return LastComponent(path);
}

} // namespace Tarnwick
