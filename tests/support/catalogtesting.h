#pragma once

#include "conversion/outputformat.h"

#include <QString>
#include <QStringList>

namespace TestSupport {

// The catalogue with every format's factory presets, as a first start leaves it.
Tarnwick::Catalog FactoryCatalog();
// The format with this display name ("Mobile Phone - 3GP"); null when there is none.
Tarnwick::OutputFormat* FindFormat(const Tarnwick::Catalog& catalog, const QString& displayName);
// The format's position in catalogue order, as the format lists show it; -1 when missing.
int FormatPosition(const Tarnwick::Catalog& catalog, const QString& displayName);
// The position of the preset with this name in the format's list; -1 when missing.
int PresetPosition(const Tarnwick::OutputFormat& format, const QString& name);
QStringList PresetNames(const Tarnwick::OutputFormat& format);
// The preset at index of the named format; a name that is not in the catalogue ends the test
// program, since every case that asks for one is built on it.
const Tarnwick::Preset& CatalogPreset(const Tarnwick::Catalog& catalog, const QString& displayName,
                                      int index);

} // namespace TestSupport
