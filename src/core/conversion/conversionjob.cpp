#include "conversionjob.h"

#include "conversionengine.h"
#include "mediainfo.h"
#include "outputformat.h"

#include <QFileInfo>
#include <optional>

namespace Tarnwick {

namespace {

std::optional<SourceVideo> FirstVideo(const MediaInfo& info) {
    const VarnexStreamRecord* stream = info.FirstStream(VARNEX_STREAM_VIDEO);
    if (stream == nullptr)
        return std::nullopt;
    const VarnexVideoValues& values = stream->values.video;
    return SourceVideo{values.frameRateNumerator, values.frameRateDenominator, values.bitRate, values.width,
                       values.height};
}

std::optional<SourceAudio> FirstAudio(const MediaInfo& info) {
    const VarnexStreamRecord* stream = info.FirstStream(VARNEX_STREAM_AUDIO);
    if (stream == nullptr)
        return std::nullopt;
    const VarnexAudioValues& values = stream->values.audio;
    return SourceAudio{values.sampleRate, values.bitRate, values.channels};
}

// The line encloses paths in double quotes and has no escape, so a path holding one would
// end early and hand the engine a different path.
bool FitsInQuotes(const QString& path) {
    return !path.contains(QLatin1Char('"'));
}

} // namespace

bool PrepareParams(ConversionEngine& engine, ConversionParams& params, const QString& sourcePath,
                   const QString& outputPath, const Preset& preset) {
    params.Reset();
    if (preset.format == nullptr || !FitsInQuotes(sourcePath) || !FitsInQuotes(outputPath))
        return false;
    if (sourcePath.isEmpty() || !QFileInfo::exists(sourcePath))
        return false;
    MediaInfo info;
    if (!engine.Probe(sourcePath, info))
        return false;
    params.input = sourcePath;
    preset.format->FillParams(params, preset, FirstVideo(info), FirstAudio(info));
    params.output = outputPath;
    params.overwrite = true;
    return true;
}

int ConvertFile(ConversionEngine& engine, const QString& sourcePath, const QString& outputPath,
                const Preset& preset, ProgressSink* sink) {
    ConversionParams params;
    if (!PrepareParams(engine, params, sourcePath, outputPath, preset))
        return ConversionNotStarted;
    return engine.Convert(BuildCommandLine(params), sink);
}

} // namespace Tarnwick
