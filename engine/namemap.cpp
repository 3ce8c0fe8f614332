#include "namemap.h"

namespace VarnexEngine {

namespace {

struct CodecMapping {
    const char* oldName;
    const char* todaysName;
    EncoderSource source;
};

struct ContainerMapping {
    const char* oldName;
    const char* todaysName;
};

// The one table of renamed containers and codecs. Every other name of the catalogue is still
// FFmpeg's own name and passes through. "msmpeg4v1" has no encoder in FFmpeg and no faithful
// equivalent (version 2 is a different bitstream), so it passes through and fails as unknown.
constexpr ContainerMapping kContainers[] = {
    {"wma", "asf"},  // Windows Media audio lives in the ASF container
    {"aac", "adts"}, // a bare .aac file is an ADTS stream
};

// MP4 as FFmpeg writes it takes neither H.263 nor AMR; the 3GPP flavour of the same ISO file
// format does, and is what an MP4 holding them has always been.
struct CodecBoundContainer {
    const char* container;
    const char* codec; // today's name
    const char* todaysName;
};
constexpr CodecBoundContainer kCodecBoundContainers[] = {
    {"mp4", "h263", "3gp"},
    {"mp4", "amr_nb", "3gp"},
    {"mp4", "amr_wb", "3gp"},
};

constexpr CodecMapping kCodecs[] = {
    {"libfaac", "aac", EncoderSource::Ffmpeg}, // FFmpeg's own AAC encoder replaced libfaac
    {"libamr_nb", "amr_nb", EncoderSource::AmrNb},
    {"libamr_wb", "amr_wb", EncoderSource::AmrWb},
    {"libopencore_amrnb", "amr_nb", EncoderSource::AmrNb},
    {"libvo_amrwbenc", "amr_wb", EncoderSource::AmrWb},
    {"amr_nb", "amr_nb", EncoderSource::AmrNb},
    {"amr_wb", "amr_wb", EncoderSource::AmrWb},
    {"xvid", "libxvid", EncoderSource::Ffmpeg},
};

} // namespace

std::string MapContainerName(const std::string& name, const std::string& videoCodec,
                             const std::string& audioCodec) {
    const std::string video = videoCodec.empty() ? std::string() : MapCodecName(videoCodec).name;
    const std::string audio = audioCodec.empty() ? std::string() : MapCodecName(audioCodec).name;
    for (const CodecBoundContainer& entry : kCodecBoundContainers) {
        if (name == entry.container && (video == entry.codec || audio == entry.codec))
            return entry.todaysName;
    }
    for (const ContainerMapping& entry : kContainers) {
        if (name == entry.oldName)
            return entry.todaysName;
    }
    return name;
}

EncoderChoice MapCodecName(const std::string& name) {
    for (const CodecMapping& entry : kCodecs) {
        if (name == entry.oldName)
            return {entry.todaysName, entry.source};
    }
    return {name, EncoderSource::Ffmpeg};
}

} // namespace VarnexEngine
