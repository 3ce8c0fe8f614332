#pragma once

#include <QString>
#include <QStringList>

namespace Tarnwick {

// Puts the browser's entry points for this program in place, takes them away, and reads back
// which exist. The entry points themselves are built by the browser extension, which asks the
// quillet host which are on; the registrar keeps those flags in Quillet's settings and the host
// manifests, without which no browser can start the host, in each installed browser's folder.
// Holds nothing between calls; the Options dialog is its only user.
class ExtensionRegistrar {
public:
    // The program folder is read from "InstallDir" at each call.
    ExtensionRegistrar();
    explicit ExtensionRegistrar(QString programFolder);
    virtual ~ExtensionRegistrar();

    // Apply(true, ...) when enabled, else Apply(false, false, false, false).
    virtual bool Enable(bool enabled, bool contextMenu, bool toolbarButton, bool toolsMenu);
    // 0 when no entry point is switched on, 2 when all three are, 1 otherwise: what Quillet's
    // settings hold now, whichever Tarnwick wrote them.
    virtual int QueryState(bool& contextMenu, bool& toolbarButton, bool& toolsMenu);
    // Runs all five steps (context menu, toolbar button, Tools menu, host manifests, quillet
    // program check) and is true only when every one succeeded. Switching off what is not on,
    // or removing manifests that are not there, fails that step.
    virtual bool Apply(bool registerLibrary, bool contextMenu, bool toolbarButton, bool toolsMenu);

    // While any entry point is on, makes sure every installed browser has a host manifest naming
    // the program folder's quillet. Answers the manifests that could not be written.
    virtual QStringList RepairHostManifests() const;

    static QString QuilletFileName();

private:
    QString ProgramFolder() const;
    bool WriteHostManifests(QStringList* failedPaths = nullptr) const;
    bool RemoveHostManifests() const;
    bool QuilletRunnable() const;

    QString programFolder_;
};

} // namespace Tarnwick
