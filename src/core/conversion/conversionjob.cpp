#include "conversionjob.h"

#include "mediatags.h"

#include "conversionengine.h"
#include "mediainfo.h"
#include "outputformat.h"
#include "queue/progresssink.h"

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

} // namespace

bool PrepareParams(ConversionEngine& engine, ConversionParams& params, const QString& sourcePath,
                   const QString& outputPath, const Preset& preset, PrepareFailure* failure) {
    PrepareFailure ignored;
    PrepareFailure& why = failure != nullptr ? *failure : ignored;
    why = {};
    params.Reset();
    if (preset.format == nullptr) {
        why.reason = QStringLiteral("The preset names no output format");
        return false;
    }
    if (sourcePath.isEmpty() || !QFileInfo::exists(sourcePath)) {
        why.reason = QStringLiteral("The file to convert is missing: %1").arg(sourcePath);
        return false;
    }
    MediaInfo info;
    switch (engine.ProbeMedia(sourcePath, info)) {
    case ConversionEngine::ProbeOutcome::Read:
        break;
    case ConversionEngine::ProbeOutcome::Unreadable:
        why.reason =
            QStringLiteral("The conversion engine cannot read the downloaded file as video or sound");
        return false;
    case ConversionEngine::ProbeOutcome::EngineUnavailable:
        why.engineUnavailable = true;
        return false;
    }
    params.input = sourcePath;
    preset.format->FillParams(params, preset, FirstVideo(info), FirstAudio(info));
    params.output = outputPath;
    params.overwrite = true;
    return true;
}

int ConvertFile(ConversionEngine& engine, const QString& sourcePath, const QString& outputPath,
                const Preset& preset, ProgressSink* sink, const MediaTags* tags,
                const QList<SubtitleStream>& subtitles) {
    ConversionParams params;
    PrepareFailure failure;
    if (PrepareParams(engine, params, sourcePath, outputPath, preset, &failure)) {
        if (tags != nullptr)
            ApplyTags(params, *tags, engine.TakesChapters());
        params.subtitles = subtitles;
        return engine.Convert(BuildCommandLine(params), sink);
    }
    // A probe has no words for why the engine cannot serve (its media libraries missing, say);
    // a convert request makes it say so, with the system's own text, as its result line.
    if (failure.engineUnavailable) {
        const int result = engine.Convert(QString(), sink);
        return result != 0 ? result : ConversionNotStarted;
    }
    if (sink != nullptr)
        sink->Status(ProgressSink::StatusResult, failure.reason);
    return ConversionNotStarted;
}

} // namespace Tarnwick
