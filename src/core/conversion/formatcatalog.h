#pragma once

#include "outputformat.h"

namespace Tarnwick {

// The four groups and their 23 output formats, in catalogue order, each with empty preset
// lists: the preset store fills them from its file or from the factory presets.
Catalog BuildCatalog();

// Gives every format of the catalogue its factory presets.
void ResetCatalogToFactory(const Catalog& catalog);

} // namespace Tarnwick
