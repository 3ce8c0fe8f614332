#include "presetlookup.h"

#include "preset.h"

namespace Tarnwick {

QString PresetName(const Preset& preset) {
    return QString::fromUtf8(preset.settings.name,
                             qstrnlen(preset.settings.name, sizeof preset.settings.name));
}

const Preset* FindPreset(const Catalog& catalog, const QString& formatName, const QString& presetName) {
    for (const auto& group : catalog)
        for (const auto& format : group->formats) {
            if (format->displayName != formatName)
                continue;
            for (const auto& preset : format->presets)
                if (PresetName(*preset) == presetName)
                    return preset.get();
            if (format->customPreset && PresetName(*format->customPreset) == presetName)
                return format->customPreset.get();
        }
    return nullptr;
}

} // namespace Tarnwick
