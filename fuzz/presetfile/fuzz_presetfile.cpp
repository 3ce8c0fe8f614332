// The preset file reader on any bytes: the checks before the XML parser, the parser, and the
// reading of groups, formats and presets into the catalogue.

#include "conversion/formatcatalog.h"
#include "fuzzcheck.h"
#include "presets/presetstore.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace Tarnwick;

namespace {

bool InRange(int index, size_t count) {
    return index >= 0 && size_t(index) < count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One catalogue for the whole run, emptied of what the previous input read into it:
    // building it anew for each input would cost more than reading most inputs.
    static PresetStore store;
    if (store.Groups().empty())
        store.BuildCatalog();
    store.SetDefaultGroup(0);
    for (const auto& group : store.Groups()) {
        group->defaultFormat = 0;
        for (const auto& format : group->formats) {
            format->presets.clear();
            format->defaultPreset = 0;
        }
    }
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!store.ReadPresetText(bytes)) {
        Require(!store.RejectReason().isEmpty());
        return 0;
    }
    // Whatever the file said, every index the program follows points at something.
    Require(InRange(store.DefaultGroup(), store.Groups().size()));
    for (const auto& group : store.Groups()) {
        Require(group->formats.empty() || InRange(group->defaultFormat, group->formats.size()));
        for (const auto& format : group->formats) {
            Require(format->presets.empty() || InRange(format->defaultPreset, format->presets.size()));
            for (const auto& preset : format->presets) {
                const ConversionSettings& record = preset->settings;
                Require(std::memchr(record.name, 0, sizeof record.name) != nullptr);
                Require(std::memchr(record.audioCodec, 0, sizeof record.audioCodec) != nullptr);
                Require(std::memchr(record.videoCodec, 0, sizeof record.videoCodec) != nullptr);
                Require(!format->HasVideo() || preset->videoCodec != nullptr);
                Require(!format->HasAudio() || preset->audioCodec != nullptr);
            }
        }
    }
    return 0;
}
