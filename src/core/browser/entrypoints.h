#pragma once

#include <QString>

namespace Tarnwick {

// The three ways the browser hands an address to the program.
struct EntryPoints {
    bool contextMenu = false;
    bool toolbarButton = false;
    bool toolsMenu = false;

    bool Any() const { return contextMenu || toolbarButton || toolsMenu; }
    friend bool operator==(const EntryPoints&, const EntryPoints&) = default;
};

// Quillet's own settings (organization "Ostrand", application "Quillet"): one integer value per
// entry point that is on, absent when it is off. The registrar writes them; the quillet host
// reads them each time the extension asks.
namespace QuilletState {

enum class Entry { ContextMenu, ToolbarButton, ToolsMenu };

QString ValueName(Entry entry);
EntryPoints Read();
// Writes the value 1 and flushes the file at once. False when it could not be written.
bool SwitchOn(Entry entry);
// Removes the value and flushes the file. False when it was not there or the file could not
// be written.
bool SwitchOff(Entry entry);

// "SendCookies": whether the extension sends the site's cookies with a page it hands over, so
// that pages shown only to signed-in visitors download. Off unless the user turns it on.
bool SendsCookies();
// Stores the switch and flushes the file. False when it could not be written.
bool SetSendCookies(bool on);

} // namespace QuilletState

// The installation folder, "InstallDir" in the program's own settings; empty when unset.
QString StoredInstallFolder();
// Where the program sits in an installation folder.
QString TarnwickProgramPath(const QString& folder);
// Whether the folder holds a program that can be started as Tarnwick.
bool HoldsTarnwickProgram(const QString& folder);

} // namespace Tarnwick
