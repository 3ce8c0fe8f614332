#include "hlsplaylist.h"

namespace Tarnwick {

namespace {

// A playlist's size or rate that is negative says nothing; it counts as not given, so that a
// hostile list cannot turn the choice of rendition or the status text upside down.
template <typename Number>
Number NonNegative(Number value) {
    return value < 0 ? 0 : value;
}

QByteArrayView TagValue(QByteArrayView line, QByteArrayView tag) {
    return line.startsWith(tag) ? line.sliced(tag.size()) : QByteArrayView();
}

QByteArrayView Trimmed(QByteArrayView text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && (text[start] == ' ' || text[start] == '\t' || text[start] == '\r'))
        ++start;
    while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r'))
        --end;
    return text.sliced(start, end - start);
}

} // namespace

QString HlsAttribute(QByteArrayView attributes, QByteArrayView name) {
    qsizetype i = 0;
    while (i < attributes.size()) {
        while (i < attributes.size() && (attributes[i] == ',' || attributes[i] == ' '))
            ++i;
        const qsizetype nameStart = i;
        while (i < attributes.size() && attributes[i] != '=' && attributes[i] != ',')
            ++i;
        const QByteArrayView attributeName = attributes.sliced(nameStart, i - nameStart);
        if (i >= attributes.size() || attributes[i] != '=')
            continue;
        ++i;
        qsizetype valueStart = i;
        qsizetype valueEnd;
        if (i < attributes.size() && attributes[i] == '"') {
            valueStart = ++i;
            while (i < attributes.size() && attributes[i] != '"')
                ++i;
            valueEnd = i;
            if (i < attributes.size())
                ++i;
        } else {
            while (i < attributes.size() && attributes[i] != ',')
                ++i;
            valueEnd = i;
        }
        if (attributeName == name)
            return QString::fromUtf8(attributes.sliced(valueStart, valueEnd - valueStart));
    }
    return QString();
}

HlsPlaylist ParseHlsPlaylist(QByteArrayView bytes) {
    HlsPlaylist playlist;
    // A byte-order mark is tolerated; anything else before the header is not a playlist.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    if (!bytes.startsWith("#EXTM3U"))
        return playlist;
    playlist.isPlaylist = true;

    QString mapUri;
    double duration = 0;
    bool variantPending = false;
    HlsVariant variant;
    qsizetype lineStart = 0;
    while (lineStart < bytes.size()) {
        qsizetype lineEnd = bytes.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = bytes.size();
        const QByteArrayView line = Trimmed(bytes.sliced(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        if (line.isEmpty())
            continue;
        if (line.startsWith('#')) {
            QByteArrayView value;
            if (!(value = TagValue(line, "#EXT-X-STREAM-INF:")).isNull()) {
                variant = {};
                variant.bandwidth = NonNegative(HlsAttribute(value, "BANDWIDTH").toLongLong());
                const QString resolution = HlsAttribute(value, "RESOLUTION");
                variant.width = NonNegative(resolution.section(u'x', 0, 0).toInt());
                variant.height = NonNegative(resolution.section(u'x', 1, 1).toInt());
                variant.codecs = HlsAttribute(value, "CODECS");
                variant.audioGroup = HlsAttribute(value, "AUDIO");
                variant.subtitleGroup = HlsAttribute(value, "SUBTITLES");
                variant.frameRate = NonNegative(HlsAttribute(value, "FRAME-RATE").toDouble());
                variantPending = true;
            } else if (!(value = TagValue(line, "#EXT-X-MEDIA:")).isNull()) {
                const QString type = HlsAttribute(value, "TYPE");
                const HlsRendition rendition{HlsAttribute(value, "GROUP-ID"),
                                             HlsAttribute(value, "NAME"),
                                             HlsAttribute(value, "LANGUAGE"),
                                             HlsAttribute(value, "URI"),
                                             HlsAttribute(value, "DEFAULT") == QLatin1String("YES"),
                                             HlsAttribute(value, "AUTOSELECT") == QLatin1String("YES"),
                                             HlsAttribute(value, "FORCED") == QLatin1String("YES")};
                if (type == QLatin1String("AUDIO"))
                    playlist.audioRenditions.append(rendition);
                else if (type == QLatin1String("SUBTITLES") && !rendition.uri.isEmpty())
                    playlist.subtitleRenditions.append(rendition);
            } else if (!(value = TagValue(line, "#EXTINF:")).isNull()) {
                const qsizetype comma = value.indexOf(',');
                duration = (comma < 0 ? value : value.first(comma)).toByteArray().toDouble();
                if (!(duration > 0 && duration < 1e7))
                    duration = 0;
            } else if (!(value = TagValue(line, "#EXT-X-MAP:")).isNull()) {
                mapUri = HlsAttribute(value, "URI");
            } else if (!(value = TagValue(line, "#EXT-X-KEY:")).isNull()) {
                const QString method = HlsAttribute(value, "METHOD");
                if (method != QLatin1String("NONE") && playlist.encryption.isEmpty())
                    playlist.encryption = method.isEmpty() ? QStringLiteral("unknown") : method;
            } else if (line.startsWith("#EXT-X-BYTERANGE")) {
                playlist.hasByteRanges = true;
            } else if (line == "#EXT-X-ENDLIST") {
                playlist.hasEndList = true;
            }
            continue;
        }
        // A line that is not a tag is an address: of the variant just described, or a segment.
        const QString uri = QString::fromUtf8(line);
        if (variantPending) {
            variant.uri = uri;
            playlist.variants.append(variant);
            variantPending = false;
            continue;
        }
        if (playlist.segments.size() >= HlsSegmentLimit) {
            playlist.tooManySegments = true;
            continue;
        }
        playlist.segments.append({uri, mapUri, duration});
        playlist.totalDuration += duration;
        duration = 0;
    }
    playlist.isMaster = !playlist.variants.isEmpty();
    return playlist;
}

QString HlsRefusal(const HlsPlaylist& playlist) {
    if (!playlist.isPlaylist)
        return QStringLiteral("The address is not an HLS playlist (no #EXTM3U header)");
    if (!playlist.encryption.isEmpty())
        return QStringLiteral("The HLS playlist is encrypted (%1); encrypted streams cannot be downloaded")
            .arg(playlist.encryption);
    if (!playlist.hasEndList)
        return QStringLiteral("The HLS playlist is a live stream (it has no #EXT-X-ENDLIST); only complete "
                              "videos can be downloaded");
    if (playlist.tooManySegments)
        return QStringLiteral("The HLS playlist has more than %1 segments").arg(HlsSegmentLimit);
    if (playlist.hasByteRanges)
        return QStringLiteral("The HLS playlist cuts its segments out of one file (#EXT-X-BYTERANGE), "
                              "which cannot be downloaded");
    if (playlist.segments.isEmpty())
        return QStringLiteral("The HLS playlist lists no segments");
    return QString();
}

} // namespace Tarnwick
