#include "audioencoder.h"

#include "amrencoder.h"
#include "ffmpegaudioencoder.h"

namespace VarnexEngine {

std::unique_ptr<AudioEncoder> OpenAudioEncoder(const AudioRequest& request) {
    if (request.encoder.source == EncoderSource::Ffmpeg)
        return std::make_unique<FfmpegAudioEncoder>(request);
    return std::make_unique<AmrEncoder>(request);
}

} // namespace VarnexEngine
