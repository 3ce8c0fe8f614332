#pragma once

#include <QByteArray>
#include <QString>

namespace Tarnwick {

// What an answer holds, judged from its headers and address before its body is read.
enum class BodyKind {
    Media,    // a video or audio file: downloaded as it is
    Playlist, // an HLS playlist
    Page,     // anything else: read as a web page
};

// video/* and audio/* are media, application/octet-stream only with a media file name
// (from the address or from dispositionName); the HLS types, or an address ending ".m3u8",
// are playlists.
BodyKind ClassifyResponse(const QByteArray& contentType, const QString& url, const QString& dispositionName);

// The file name a Content-Disposition header gives (filename*=UTF-8''... preferred over
// filename=...), reduced to its last path component; empty when it gives none.
QString ContentDispositionFileName(const QByteArray& header);

// The last segment of the address's path, percent-decoded, without query or fragment.
QString UrlFileName(const QString& url);

// ".mp4" for video/mp4 and so on; empty for a type without a customary extension.
QString MediaTypeExtension(const QByteArray& contentType);

// True for names ending in an extension of a video or audio file (".mp4", ".webm", ".ts"...).
bool HasMediaExtension(const QString& name);

} // namespace Tarnwick
