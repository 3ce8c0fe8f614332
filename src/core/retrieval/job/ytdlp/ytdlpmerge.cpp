#include "ytdlpmerge.h"

#include "retrieval/job/jobsteps.h"

#include "conversion/streammerge.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/transfer/httptransfer.h"

namespace Tarnwick {

QString EngineCodecName(const QString& ytDlpCodec) {
    // yt-dlp gives codecs as the sites' manifests name them (RFC 6381 where they follow it).
    const QString codec = ytDlpCodec.section(QLatin1Char('.'), 0, 0).toLower();
    static const QList<QPair<QStringList, QString>> names = {
        {{QStringLiteral("avc1"), QStringLiteral("avc3"), QStringLiteral("h264")}, QStringLiteral("h264")},
        {{QStringLiteral("hvc1"), QStringLiteral("hev1"), QStringLiteral("h265"), QStringLiteral("hevc")},
         QStringLiteral("hevc")},
        {{QStringLiteral("vp09"), QStringLiteral("vp9")}, QStringLiteral("vp9")},
        {{QStringLiteral("vp08"), QStringLiteral("vp8")}, QStringLiteral("vp8")},
        {{QStringLiteral("av01"), QStringLiteral("av1")}, QStringLiteral("av1")},
        {{QStringLiteral("mp4a"), QStringLiteral("aac")}, QStringLiteral("aac")},
        {{QStringLiteral("opus")}, QStringLiteral("opus")},
        {{QStringLiteral("vorbis")}, QStringLiteral("vorbis")},
        {{QStringLiteral("mp3")}, QStringLiteral("mp3")},
        {{QStringLiteral("ac-3"), QStringLiteral("ac3")}, QStringLiteral("ac3")},
        {{QStringLiteral("ec-3"), QStringLiteral("eac3")}, QStringLiteral("eac3")},
        {{QStringLiteral("flac")}, QStringLiteral("flac")},
    };
    for (const auto& [aliases, name] : names) {
        if (aliases.contains(codec))
            return name;
    }
    return QString();
}

QString PredictedMergeExtension(const YtDlpFormat& video, const YtDlpFormat& audio) {
    const QString videoCodec = EngineCodecName(video.videoCodec);
    const QString audioCodec = EngineCodecName(audio.audioCodec);
    if (videoCodec.isEmpty() || audioCodec.isEmpty())
        return QStringLiteral(".mkv");
    return MergeContainerForCodecs(videoCodec, audioCodec);
}

bool MergeDownloads(JobContext& context, const QString& videoPath, const QString& audioPath,
                    const QString& outputPath, QString& container, const MediaTags* tags) {
    ProgressSink* sink = context.ConversionSink();
    const ConverterSlots::Turn turn = TakeConverterTurn(context, sink);
    if (!turn.Taken())
        return ReportResultLine(sink, QString());
    ConversionEngine* engine = context.Engine();
    if (engine == nullptr)
        return ReportResultLine(sink,
                                QStringLiteral("The picture and the sound came as two files, and "
                                               "the conversion engine that merges them is not available"));
    container = MergeContainerExtension(*engine, videoPath, audioPath);
    if (container.isEmpty())
        return ReportResultLine(sink, QStringLiteral("The downloaded picture or sound cannot be read"));
    return MergeStreams(*engine, videoPath, audioPath, outputPath, container, sink, tags) == 0;
}

} // namespace Tarnwick
