#include "extensionregistrar.h"

#include "entrypoints.h"
#include "hostmanifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Tarnwick {

namespace {

using QuilletState::Entry;

bool Switch(Entry entry, bool on) {
    return on ? QuilletState::SwitchOn(entry) : QuilletState::SwitchOff(entry);
}

bool HoldsAlready(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.size() == contents.size() && file.readAll() == contents;
}

// A manifest that already says the same is left alone, so that a start changes no file.
bool WriteFileAtomically(const QString& path, const QByteArray& contents) {
    if (HoldsAlready(path, contents))
        return true;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.commit();
}

} // namespace

ExtensionRegistrar::ExtensionRegistrar() = default;

ExtensionRegistrar::ExtensionRegistrar(QString programFolder)
    : programFolder_(std::move(programFolder)) {}

ExtensionRegistrar::~ExtensionRegistrar() = default;

QString ExtensionRegistrar::QuilletFileName() {
    return QStringLiteral("quillet");
}

QString ExtensionRegistrar::ProgramFolder() const {
    return programFolder_.isEmpty() ? StoredInstallFolder() : programFolder_;
}

bool ExtensionRegistrar::Enable(bool enabled, bool contextMenu, bool toolbarButton, bool toolsMenu) {
    if (enabled)
        return Apply(true, contextMenu, toolbarButton, toolsMenu);
    return Apply(false, false, false, false);
}

int ExtensionRegistrar::QueryState(bool& contextMenu, bool& toolbarButton, bool& toolsMenu) {
    // The switches are the user's choice; whether the browsers can reach the host is the
    // manifests' business, which each start and each OK in Options put right.
    const EntryPoints flags = QuilletState::Read();
    contextMenu = flags.contextMenu;
    toolbarButton = flags.toolbarButton;
    toolsMenu = flags.toolsMenu;
    if (contextMenu)
        return toolbarButton && toolsMenu ? 2 : 1;
    return toolbarButton || toolsMenu ? 1 : 0;
}

bool ExtensionRegistrar::Apply(bool registerLibrary, bool contextMenu, bool toolbarButton, bool toolsMenu) {
    // Every step runs whatever the earlier ones gave, as each stands for entries of its own.
    bool ok = Switch(Entry::ContextMenu, contextMenu);
    ok = Switch(Entry::ToolbarButton, toolbarButton) && ok;
    ok = Switch(Entry::ToolsMenu, toolsMenu) && ok;
    // The context items need the host as much as the toolbar button does, so the manifests stay
    // while any entry point is on.
    const bool anyOn = contextMenu || toolbarButton || toolsMenu;
    ok = (anyOn ? WriteHostManifests() : RemoveHostManifests()) && ok;
    ok = (!registerLibrary || QuilletRunnable()) && ok;
    return ok;
}

QStringList ExtensionRegistrar::RepairHostManifests() const {
    if (!QuilletState::Read().Any())
        return {};
    QStringList failed;
    WriteHostManifests(&failed);
    return failed;
}

bool ExtensionRegistrar::WriteHostManifests(QStringList* failedPaths) const {
    const QString folder = ProgramFolder();
    QStringList failed;
    int written = 0;
    // A manifest naming a relative or empty path would start whatever the browser finds there.
    const bool knownFolder = !folder.isEmpty() && !QDir::isRelativePath(folder);
    const QString quillet = QDir(folder).filePath(QuilletFileName());
    for (const BrowserFolder& browser : BrowserFolders()) {
        if (!browser.installed)
            continue;
        if (knownFolder && QDir().mkpath(browser.manifestFolder) &&
            WriteFileAtomically(browser.ManifestPath(), HostManifest(quillet, browser.firefox)))
            ++written;
        else
            failed.append(browser.ManifestPath());
    }
    if (failedPaths != nullptr)
        *failedPaths = failed;
    return written > 0 && failed.isEmpty();
}

bool ExtensionRegistrar::RemoveHostManifests() const {
    int removed = 0;
    bool failed = false;
    for (const BrowserFolder& browser : BrowserFolders()) {
        const QString path = browser.ManifestPath();
        if (!QFileInfo::exists(path))
            continue;
        if (QFile::remove(path))
            ++removed;
        else
            failed = true;
    }
    return removed > 0 && !failed;
}

bool ExtensionRegistrar::QuilletRunnable() const {
    const QString folder = ProgramFolder();
    if (folder.isEmpty())
        return false;
    const QFileInfo quillet(QDir(folder).filePath(QuilletFileName()));
    return quillet.isFile() && quillet.isExecutable();
}

} // namespace Tarnwick
