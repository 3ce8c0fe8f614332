#include "subtitlefetch.h"

#include "retrieval/sources/hlsplaylist.h"
#include "retrieval/transfer/httptransfer.h"
#include "retrieval/transfer/limitedbuffer.h"

#include <QSet>
#include <QUrl>

#include <algorithm>

namespace Tarnwick {

namespace {

enum class Got { Body, TooLarge, Failed };

Got FetchBody(HttpTransfer& transfer, const QString& url, qint64 limit, QByteArray& body) {
    LimitedBuffer buffer(limit);
    if (!transfer.CopyUrlToFile(url, buffer, HttpTransfer::Body::Read))
        return buffer.Overflowed() ? Got::TooLarge : Got::Failed;
    body = buffer.TakeData();
    return Got::Body;
}

QString Lowered(const QString& sentence) {
    return sentence.isEmpty() ? sentence : sentence.left(1).toLower() + sentence.mid(1);
}

// The segments' cues in time order. Segmenters repeat a cue in every segment it overlaps, so a
// cue is kept once however many segments hold it.
bool ReadSegments(HttpTransfer& transfer, const QString& playlistUrl, const HlsPlaylist& playlist,
                  qint64 budget, QList<SubtitleCue>& cues, QString& reason) {
    QSet<QString> seen;
    for (const HlsSegment& segment : playlist.segments) {
        const QUrl url = QUrl(playlistUrl).resolved(QUrl(segment.uri));
        if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
            reason = QStringLiteral("a segment's address is not http or https");
            return false;
        }
        QByteArray body;
        switch (FetchBody(transfer, url.toString(), budget, body)) {
        case Got::TooLarge:
            reason = QStringLiteral("larger than 16 MiB");
            return false;
        case Got::Failed:
            reason = QStringLiteral("a segment could not be fetched");
            return false;
        case Got::Body:
            break;
        }
        budget -= body.size();
        QList<SubtitleCue> segmentCues;
        QString why;
        // A segment of a quiet stretch holds no cue, or nothing at all.
        if (!body.trimmed().isEmpty() && !ReadSubtitleText(body, segmentCues, &why) &&
            why != QLatin1String("the file holds no cue")) {
            reason = QStringLiteral("a segment: ") + why;
            return false;
        }
        for (const SubtitleCue& cue : segmentCues) {
            const QString key = QStringLiteral("%1 %2 %3").arg(cue.startMs).arg(cue.endMs).arg(cue.text);
            if (!seen.contains(key)) {
                seen.insert(key);
                cues.append(cue);
            }
        }
    }
    std::stable_sort(cues.begin(), cues.end(),
                     [](const SubtitleCue& a, const SubtitleCue& b) { return a.startMs < b.startMs; });
    if (cues.isEmpty()) {
        reason = QStringLiteral("the file holds no cue");
        return false;
    }
    return true;
}

} // namespace

bool FetchSubtitleCues(HttpTransfer& transfer, const QString& url, QList<SubtitleCue>& cues,
                       QString& reason) {
    QByteArray body;
    switch (FetchBody(transfer, url, LargestSubtitleFile, body)) {
    case Got::TooLarge:
        reason = QStringLiteral("larger than 16 MiB");
        return false;
    case Got::Failed:
        reason = QStringLiteral("could not be fetched");
        return false;
    case Got::Body:
        break;
    }
    const HlsPlaylist playlist = ParseHlsPlaylist(body);
    if (!playlist.isPlaylist)
        return ReadSubtitleText(body, cues, &reason);
    if (playlist.isMaster) {
        reason = QStringLiteral("the playlist lists variants, not subtitles");
        return false;
    }
    const QString refusal = HlsRefusal(playlist);
    if (!refusal.isEmpty()) {
        reason = Lowered(refusal);
        return false;
    }
    const QString playlistUrl = transfer.LastResponse().url.isEmpty() ? url : transfer.LastResponse().url;
    return ReadSegments(transfer, playlistUrl, playlist, LargestSubtitleFile - body.size(), cues, reason);
}

} // namespace Tarnwick
