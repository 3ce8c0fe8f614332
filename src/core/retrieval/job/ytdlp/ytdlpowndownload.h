#pragma once

#include "retrieval/sources/ytdlp/ytdlplocator.h"
#include "retrieval/transfer/transfernetwork.h"

#include <QByteArray>
#include <QString>

namespace Tarnwick {

class ProgressSink;

// Has yt-dlp download one format itself, for the protocols Tarnwick's own transfer does not
// speak (DASH segments, and the rest): from the info it gave before (so the site is not asked
// again), into outputPath exactly, reporting its progress line by line to the sink as a
// transfer does (Begin, the total and position in KB, "x KB / y KB" texts with the speed, End,
// the result line). On failure or stop nothing of it is left: not outputPath, not the files
// yt-dlp keeps beside it while it works. silenceSeconds: how long yt-dlp may say nothing.
// network: the run's proxy, and the speed limit, of which yt-dlp takes its share and whose
// other downloads make room for what it receives.
bool DownloadWithYtDlp(const YtDlpProgram& program, const QByteArray& infoJson, const QString& formatId,
                       const QString& outputPath, ProgressSink* sink, int silenceSeconds,
                       const TransferNetwork& network = {});

// One progress line of the download as the template asks yt-dlp to write it; false for any
// other line. Absent values ("NA") read as 0.
struct YtDlpProgressLine {
    qint64 downloaded = 0;
    qint64 total = 0;
    double speed = 0; // bytes per second
};
bool ParseYtDlpProgressLine(const QByteArray& line, YtDlpProgressLine& progress);

} // namespace Tarnwick
