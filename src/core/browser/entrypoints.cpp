#include "entrypoints.h"

#include <QDir>
#include <QFileInfo>
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

namespace {

const QString SendCookiesName = QStringLiteral("SendCookies");

} // namespace

bool SendsCookies() {
    return QuilletSettings().value(SendCookiesName, 0).toInt() != 0;
}

bool SetSendCookies(bool on) {
    QSettings settings = QuilletSettings();
    settings.setValue(SendCookiesName, on ? 1 : 0);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace QuilletState

QString StoredInstallFolder() {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ostrand"),
                             QStringLiteral("Tarnwick"));
    return settings.value(QStringLiteral("InstallDir")).toString();
}

QString TarnwickProgramPath(const QString& folder) {
#ifdef Q_OS_WIN
    return QDir(folder).filePath(QStringLiteral("Tarnwick.exe"));
#else
    return QDir(folder).filePath(QStringLiteral("tarnwick"));
#endif
}

bool HoldsTarnwickProgram(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QFileInfo program(TarnwickProgramPath(folder));
    return program.isFile() && program.isExecutable();
}

} // namespace Tarnwick
