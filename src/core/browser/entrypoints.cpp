#include "entrypoints.h"

#include <QSettings>

namespace Tarnwick {

namespace {

QSettings QuilletSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ostrand"),
                     QStringLiteral("Quillet"));
}

} // namespace

namespace QuilletState {

QString ValueName(Entry entry) {
    switch (entry) {
    case Entry::ContextMenu:
        return QStringLiteral("ContextMenu");
    case Entry::ToolbarButton:
        return QStringLiteral("ToolbarButton");
    case Entry::ToolsMenu:
        return QStringLiteral("ToolsMenu");
    }
    return {};
}

EntryPoints Read() {
    QSettings settings = QuilletSettings();
    auto on = [&](Entry entry) {
        return settings.value(ValueName(entry), 0).toInt() != 0;
    };
    return {on(Entry::ContextMenu), on(Entry::ToolbarButton), on(Entry::ToolsMenu)};
}

bool SwitchOn(Entry entry) {
    QSettings settings = QuilletSettings();
    settings.setValue(ValueName(entry), 1);
    // QSettings replaces the file through a temporary one, so a crash leaves the old state.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool SwitchOff(Entry entry) {
    QSettings settings = QuilletSettings();
    if (!settings.contains(ValueName(entry)))
        return false;
    settings.remove(ValueName(entry));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace QuilletState

QString StoredInstallFolder() {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ostrand"),
                             QStringLiteral("Tarnwick"));
    return settings.value(QStringLiteral("InstallDir")).toString();
}

} // namespace Tarnwick
