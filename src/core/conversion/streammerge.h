#pragma once

#include "conversionparams.h"

#include <QString>

namespace Tarnwick {

struct MediaTags;

class ConversionEngine;
class ProgressSink;

// A picture and its sound that arrive as two files (an HLS variant and its audio rendition,
// say) become one file by copying both streams into one container, without re-encoding.

// The container that takes both streams as they are: ".webm" for VP8/VP9/AV1 pictures with
// Opus/Vorbis sound, ".mp4" when both codecs fit MP4, else ".mkv", which takes anything.
// Empty when either file cannot be probed or lacks its kind of stream.
QString MergeContainerExtension(ConversionEngine& engine, const QString& videoPath, const QString& audioPath);

// The same choice for codecs named as the engine names them ("h264", "opus").
QString MergeContainerForCodecs(const QString& videoCodec, const QString& audioCodec);

// Puts the first video stream of videoPath and the first audio stream of audioPath into
// outputPath without re-encoding, the container chosen by outputPath's extension. 0 on
// success; otherwise non-zero with the reason sent to sink (which may be null) as the result
// line, as ConvertFile does. The engine's notifications go to sink; its stop question stops
// the merge.
int MergeStreams(ConversionEngine& engine, const QString& videoPath, const QString& audioPath,
                 const QString& outputPath, ProgressSink* sink);
// The same into a container named by containerExtension (".mp4", ".webm", ".mkv"), for an
// output whose name does not tell, such as a job's working file.
// tags, when given, go into the merged file.
int MergeStreams(ConversionEngine& engine, const QString& videoPath, const QString& audioPath,
                 const QString& outputPath, const QString& containerExtension, ProgressSink* sink,
                 const MediaTags* tags = nullptr);

// Whether a file of the extension (".mp4", "mkv") holds text subtitles as streams: MP4, M4V,
// MOV, 3GP and 3G2 (as mov_text), Matroska (SubRip) and WebM (WebVTT).
bool HoldsTextSubtitles(const QString& extension);

// Whether a copy into a file of the extension keeps chapters: MP4, M4V, MOV, Matroska and WebM.
bool KeepsChapters(const QString& extension);
// Whether a file of the extension keeps a cover picture: MP3, MP4, M4V, MOV and Matroska.
bool KeepsCover(const QString& extension);

// Copies every picture and sound stream of inputPath into outputPath, in the container
// containerExtension names (one that HoldsTextSubtitles or KeepsChapters), with the tags and
// their chapters when given, and adds the subtitles, each as a stream of its own. Subtitles
// need an engine that takes them (ConversionEngine::TakesSubtitles) and a container that holds
// them. 0 on success; otherwise non-zero with the reason on sink, as MergeStreams.
int CopyWithExtras(ConversionEngine& engine, const QString& inputPath, const QString& outputPath,
                   const QString& containerExtension, const QList<SubtitleStream>& subtitles,
                   const MediaTags* tags, ProgressSink* sink);

} // namespace Tarnwick
