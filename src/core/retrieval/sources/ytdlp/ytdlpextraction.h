#pragma once

#include "retrieval/transfer/transfernetwork.h"
#include "ytdlpinfo.h"
#include "ytdlplocator.h"

#include <QByteArray>
#include <QString>

namespace Tarnwick {

class ProgressSink;

// What asking yt-dlp about one address came to.
struct YtDlpExtraction {
    enum class Outcome {
        Found,   // info holds a video with formats, or a playlist with entries
        NoVideo, // yt-dlp does not know the address or found no video there
        Failed,  // reason says why
        Stopped  // the user stopped the job
    };
    Outcome outcome = Outcome::Failed;
    QString reason;
    QByteArray json; // the info as yt-dlp wrote it, for its own download of a format
    YtDlpInfo info;
    // yt-dlp read the page only as any web page (not with a reader made for the site).
    bool generic = false;
};

// The limit on yt-dlp's answer: a site's info runs to a few MiB at most.
constexpr qint64 YtDlpInfoSizeLimit = 32 * 1024 * 1024;
// A playlist lists this many entries at most.
constexpr int YtDlpPlaylistLimit = 1000;

// Runs yt-dlp once on the address (argv only, the address after "--", the user's
// configuration ignored) and reads its info from standard output. A playlist is listed, not
// resolved entry by entry, and only as far as the limit (one more, to tell that there were
// more). Stops within a poll of the sink's stop request; silence for silenceSeconds fails.
// network: the run's proxy, which yt-dlp then uses too.
YtDlpExtraction ExtractWithYtDlp(const YtDlpProgram& program, const QString& address, ProgressSink* sink,
                                 int silenceSeconds, const TransferNetwork& network = {});

// The text of yt-dlp's last "ERROR:" line in its standard error, without that prefix; empty
// when there is none.
QString YtDlpErrorLine(const QByteArray& standardError);

} // namespace Tarnwick
