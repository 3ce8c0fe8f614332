#pragma once

#include "presets/presetstore.h"

// Two catalogues that differ in presets, marks and default indices, shared by the test and
// the helper process that saves one of them.
enum class CatalogVariant { Old, New };

inline void MakeVariant(Tarnwick::PresetStore& store, CatalogVariant variant) {
    using namespace Tarnwick;
    store.BuildCatalog();
    store.ResetAllToFactory();
    if (variant == CatalogVariant::Old)
        return;
    store.SetDefaultGroup(2);
    FormatGroup& flash = *store.Groups()[1];
    flash.defaultFormat = 1;
    OutputFormat& flv = *flash.formats[0];
    flv.defaultPreset = 4;
    SetText(flv.presets[0]->settings.name, "Dial-up & <friends>");
    flv.presets[1]->SetFavorite(true);
    flv.presets[3]->settings.flags |= ConversionSettings::AudioDisabled | ConversionSettings::VideoDisabled;
    OutputFormat& mp3 = *store.Groups()[3]->formats[0];
    mp3.presets.erase(mp3.presets.begin() + 1);
}
