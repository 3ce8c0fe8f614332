#pragma once

#include <string>

namespace VarnexEngine {

// Who encodes a codec name of the option line.
enum class EncoderSource {
    Ffmpeg, // an encoder of FFmpeg's libraries, by today's name
    AmrNb,  // the opencore-amrnb library, called directly
    AmrWb,  // the vo-amrwbenc library, called directly
};

struct EncoderChoice {
    std::string name; // FFmpeg's encoder name; for the AMR libraries the codec's name
    EncoderSource source = EncoderSource::Ffmpeg;
};

// The option line speaks the catalogue's old names; these answer today's equivalent. A name
// with no entry passes through unchanged, so today's names work as well. The container may
// depend on the codecs: the codecs are given by the option line's names, either may be empty.
std::string MapContainerName(const std::string& name, const std::string& videoCodec = {},
                             const std::string& audioCodec = {});
EncoderChoice MapCodecName(const std::string& name);

} // namespace VarnexEngine
