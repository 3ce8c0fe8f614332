#pragma once

#include "retrieval/sources/ytdlp/ytdlpinfo.h"

#include <QString>

namespace Tarnwick {

struct MediaTags;

class JobContext;

// The container a merge of the two formats will make, judged by the codecs yt-dlp names
// ("avc1.64001f", "opus"): ".mp4", ".webm" or ".mkv", as the engine's merge chooses; ".mkv",
// which takes anything, when a codec is not named.
QString PredictedMergeExtension(const YtDlpFormat& video, const YtDlpFormat& audio);

// The codec's name as the engine gives it ("h264" for "avc1.64001f"); empty when unknown.
QString EngineCodecName(const QString& ytDlpCodec);

// Copies the picture of videoPath and the sound of audioPath into outputPath without
// re-encoding, through the run's engine, in the container their codecs fit; container
// receives its extension. False when the merge failed, its reason sent as the conversion's
// result line, as the engine's other errors are. tags, when given, go into the merged file.
bool MergeDownloads(JobContext& context, const QString& videoPath, const QString& audioPath,
                    const QString& outputPath, QString& container, const MediaTags* tags = nullptr);

} // namespace Tarnwick
