#pragma once

#include "conversionparams.h"

#include <QString>

namespace Tarnwick {

struct MediaTags;

class ConversionEngine;
class Preset;
class ProgressSink;

// Why PrepareParams refused: a text for the user, or that the engine itself cannot serve.
struct PrepareFailure {
    bool engineUnavailable = false;
    QString reason;
};

// Fills params for converting source into output with the preset: probes the source through
// the engine and resolves the preset against its first video and audio stream. False when the
// source is missing, the engine cannot probe it, or a path cannot be carried by the option line;
// failure, when given, then says which.
bool PrepareParams(ConversionEngine& engine, ConversionParams& params, const QString& sourcePath,
                   const QString& outputPath, const Preset& preset, PrepareFailure* failure = nullptr);

// Converts one file (with the tags and the subtitles, when given); 0 on success, otherwise non-zero (the
// engine's own result when it ran). The engine's notifications go to sink, which may be null; a conversion
// that cannot start sends its reason there as the result line. Runs on the caller's thread until the engine
// returns.
int ConvertFile(ConversionEngine& engine, const QString& sourcePath, const QString& outputPath,
                const Preset& preset, ProgressSink* sink, const MediaTags* tags = nullptr,
                const QList<SubtitleStream>& subtitles = {});

// The result of ConvertFile when the engine was not asked to convert.
constexpr int ConversionNotStarted = -1;

} // namespace Tarnwick
