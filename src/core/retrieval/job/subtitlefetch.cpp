#include "subtitlefetch.h"

#include "retrieval/sources/hlsplaylist.h"
#include "retrieval/transfer/httptransfer.h"
#include "retrieval/transfer/limitedbuffer.h"

#include <QSet>
#include <QUrl>

#include <algorithm>

namespace Tarnwick {

namespace {

// The body of url, up to limit bytes; false with the reason for the note: failure when it failed
// for another reason than its size.
bool FetchBody(HttpTransfer& transfer, const QString& url, qint64 limit, QByteArray& body, QString& reason,
               const QString& failure) {
    LimitedBuffer buffer(limit);
    if (!transfer.CopyUrlToFile(url, buffer, HttpTransfer::Body::Read)) {
        reason = buffer.Overflowed() ? QStringLiteral("larger than 16 MiB") : failure;
        return false;
    }
    body = buffer.TakeData();
    return true;
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
        if (!FetchBody(transfer, url.toString(), budget, body, reason,
                       QStringLiteral("a segment could not be fetched")))
            return false;
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
    if (!FetchBody(transfer, url, LargestSubtitleFile, body, reason, QStringLiteral("could not be fetched")))
        return false;
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
