#include "catalogtesting.h"

#include "conversion/formatcatalog.h"
#include "conversion/preset.h"

#include <QtGlobal>

namespace TestSupport {

using namespace Tarnwick;

Catalog FactoryCatalog() {
    Catalog catalog = BuildCatalog();
    ResetCatalogToFactory(catalog);
    return catalog;
}

OutputFormat* FindFormat(const Catalog& catalog, const QString& displayName) {
    for (const auto& group : catalog) {
        for (const auto& format : group->formats) {
            if (format->displayName == displayName)
                return format.get();
        }
    }
    return nullptr;
}

int FormatPosition(const Catalog& catalog, const QString& displayName) {
    int position = 0;
    for (const auto& group : catalog) {
        for (const auto& format : group->formats) {
            if (format->displayName == displayName)
                return position;
            ++position;
        }
    }
    return -1;
}

int PresetPosition(const OutputFormat& format, const QString& name) {
    for (size_t i = 0; i < format.presets.size(); ++i) {
        if (TextOf(format.presets[i]->settings.name) == name)
            return int(i);
    }
    return -1;
}

QStringList PresetNames(const OutputFormat& format) {
    QStringList names;
    for (const auto& preset : format.presets)
        names << TextOf(preset->settings.name);
    return names;
}

const Preset& CatalogPreset(const Catalog& catalog, const QString& displayName, int index) {
    const OutputFormat* format = FindFormat(catalog, displayName);
    if (format == nullptr)
        qFatal("no format named %s in the catalogue", qPrintable(displayName));
    return *format->presets.at(size_t(index));
}

} // namespace TestSupport
