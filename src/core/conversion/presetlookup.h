#pragma once

#include "outputformat.h"

#include <QString>

namespace Tarnwick {

class Preset;

// The preset's name as its lists show it.
QString PresetName(const Preset& preset);

// The named preset of the format of that display name, or its "Custom" preset; null when the
// catalogue no longer has it.
const Preset* FindPreset(const Catalog& catalog, const QString& formatName, const QString& presetName);

} // namespace Tarnwick
