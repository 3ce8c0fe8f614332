#include "streammerge.h"

#include "conversionparams.h"
#include "mediatags.h"

#include "conversionengine.h"
#include "conversionjob.h"
#include "mediainfo.h"
#include "queue/progresssink.h"

#include <QFileInfo>
#include <QSet>

namespace Tarnwick {

namespace {

// The codec of the file's first stream of the type, as the engine names it; empty when the
// file cannot be probed or has no such stream.
QString FirstCodec(ConversionEngine& engine, const QString& path, int type) {
    MediaInfo info;
    if (!engine.Probe(path, info))
        return {};
    const VarnexStreamRecord* stream = info.FirstStream(type);
    if (stream == nullptr)
        return {};
    const char* name = stream->codecName;
    return QString::fromUtf8(name, qstrnlen(name, sizeof stream->codecName));
}

QString Quoted(const QString& path) {
    return QuotedOptionText(path);
}

// The muxer for the extensions a merge chooses, so that the engine need not guess from the
// name; other extensions are left to it.
QString MuxerFor(const QString& extension) {
    const QString suffix = extension.mid(extension.lastIndexOf(QLatin1Char('.')) + 1).toLower();
    if (suffix == QLatin1String("mkv"))
        return QStringLiteral("matroska");
    if (suffix == QLatin1String("m4v"))
        return QStringLiteral("ipod");
    static const QStringList named{QStringLiteral("mp4"), QStringLiteral("webm"), QStringLiteral("mov"),
                                   QStringLiteral("3gp"), QStringLiteral("3g2")};
    if (named.contains(suffix))
        return suffix;
    return {};
}

int Refuse(ProgressSink* sink, const QString& reason) {
    if (sink != nullptr)
        sink->Status(ProgressSink::StatusResult, reason);
    return ConversionNotStarted;
}

} // namespace

QString MergeContainerForCodecs(const QString& video, const QString& audio) {
    static const QSet<QString> webmVideo{QStringLiteral("vp8"), QStringLiteral("vp9"), QStringLiteral("av1")};
    static const QSet<QString> webmAudio{QStringLiteral("opus"), QStringLiteral("vorbis")};
    // What MP4 players take without complaint, not everything the muxer would write.
    static const QSet<QString> mp4Video{QStringLiteral("h264"), QStringLiteral("hevc"), QStringLiteral("av1"),
                                        QStringLiteral("mpeg4")};
    static const QSet<QString> mp4Audio{QStringLiteral("aac"), QStringLiteral("mp3"), QStringLiteral("ac3"),
                                        QStringLiteral("eac3"), QStringLiteral("alac")};
    if (webmVideo.contains(video) && webmAudio.contains(audio))
        return QStringLiteral(".webm");
    if (mp4Video.contains(video) && mp4Audio.contains(audio))
        return QStringLiteral(".mp4");
    return QStringLiteral(".mkv");
}

QString MergeContainerExtension(ConversionEngine& engine, const QString& videoPath,
                                const QString& audioPath) {
    const QString video = FirstCodec(engine, videoPath, VARNEX_STREAM_VIDEO);
    const QString audio = FirstCodec(engine, audioPath, VARNEX_STREAM_AUDIO);
    if (video.isEmpty() || audio.isEmpty())
        return {};
    return MergeContainerForCodecs(video, audio);
}

bool HoldsTextSubtitles(const QString& extension) {
    static const QStringList holding{QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mov"),
                                     QStringLiteral("3gp"), QStringLiteral("3g2"), QStringLiteral("mkv"),
                                     QStringLiteral("webm")};
    return holding.contains(extension.mid(extension.lastIndexOf(QLatin1Char('.')) + 1).toLower());
}

bool KeepsChapters(const QString& extension) {
    static const QStringList keeping{QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mov"),
                                     QStringLiteral("mkv"), QStringLiteral("webm")};
    return keeping.contains(extension.mid(extension.lastIndexOf(QLatin1Char('.')) + 1).toLower());
}

bool KeepsCover(const QString& extension) {
    static const QStringList keeping{QStringLiteral("mp3"), QStringLiteral("mp4"), QStringLiteral("m4v"),
                                     QStringLiteral("mov"), QStringLiteral("mkv")};
    return keeping.contains(extension.mid(extension.lastIndexOf(QLatin1Char('.')) + 1).toLower());
}

int CopyWithExtras(ConversionEngine& engine, const QString& inputPath, const QString& outputPath,
                   const QString& containerExtension, const QList<SubtitleStream>& subtitles,
                   const MediaTags* tags, ProgressSink* sink) {
    if (inputPath.isEmpty() || !QFileInfo::exists(inputPath))
        return Refuse(sink, QStringLiteral("The file to add subtitles to is missing: %1").arg(inputPath));
    const QString muxer = MuxerFor(containerExtension);
    if (muxer.isEmpty() || (!subtitles.isEmpty() && !HoldsTextSubtitles(containerExtension)))
        return Refuse(sink, QStringLiteral("A %1 file holds no subtitles").arg(containerExtension));
    // Every stream as it is; the subtitles are new, and the tags are written again, since a
    // copy carries none of the input's over.
    QString line = QStringLiteral(" encoder -i %1 -vcodec copy -acodec copy").arg(Quoted(inputPath));
    if (tags != nullptr) {
        ConversionParams tagged;
        ApplyTags(tagged, *tags, engine.TakesChapters());
        line += MetadataOptions(tagged);
    }
    line += SubtitleOptions(subtitles) + QStringLiteral(" -f ") + muxer + QStringLiteral(" -y ") +
            Quoted(outputPath);
    return engine.Convert(line, sink);
}

int MergeStreams(ConversionEngine& engine, const QString& videoPath, const QString& audioPath,
                 const QString& outputPath, ProgressSink* sink) {
    return MergeStreams(engine, videoPath, audioPath, outputPath, QFileInfo(outputPath).suffix(), sink);
}

int MergeStreams(ConversionEngine& engine, const QString& videoPath, const QString& audioPath,
                 const QString& outputPath, const QString& containerExtension, ProgressSink* sink,
                 const MediaTags* tags) {
    for (const QString& path : {videoPath, audioPath}) {
        if (path.isEmpty() || !QFileInfo::exists(path))
            return Refuse(sink, QStringLiteral("The file to merge is missing: %1").arg(path));
    }
    if (outputPath.isEmpty())
        return Refuse(sink, QStringLiteral("The merged file has no name"));
    // "0:v" and "1:a": the first picture of the one and the first sound of the other, however
    // each file numbers its streams (a picture file may carry its own sound, which is not wanted).
    QString line = QStringLiteral(" encoder -i %1 -i %2 -map 0:v -map 1:a -vcodec copy -acodec copy")
                       .arg(Quoted(videoPath), Quoted(audioPath));
    if (tags != nullptr) {
        ConversionParams tagged;
        ApplyTags(tagged, *tags, engine.TakesChapters());
        line += MetadataOptions(tagged);
    }
    const QString muxer = MuxerFor(containerExtension);
    if (!muxer.isEmpty())
        line += QStringLiteral(" -f ") + muxer;
    line += QStringLiteral(" -y ") + Quoted(outputPath);
    const int result = engine.Convert(line, sink);
    // An engine that cannot be loaded at all has had no chance to say so itself.
    if (result != 0 && !engine.IsOpen())
        Refuse(sink, QStringLiteral("The conversion engine cannot be loaded (%1)").arg(engine.LibraryPath()));
    return result;
}

} // namespace Tarnwick
