#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace Tarnwick {

// The native-messaging host through which the extension reaches the quillet program.
inline constexpr char HostName[] = "ostrand.tarnwick.quillet";
// The extension's fixed identities: Chromium derives its id from the key in the manifest,
// Firefox takes the id the manifest states.
const char* ChromiumExtensionId();
const char* FirefoxExtensionId();

// A browser that may be installed for this user: its per-user folder, whose presence says the
// browser is installed, and the folder it reads host manifests from.
struct BrowserFolder {
    QString browser;
    QString profileFolder;
    QString manifestFolder;
    bool firefox = false;

    QString ManifestPath() const;
};

// Chromium, Google Chrome, Microsoft Edge, Brave and Firefox, under $XDG_CONFIG_HOME (else
// ~/.config) and $HOME as they are at the time of the call.
QList<BrowserFolder> BrowserFolders();

// The host manifest for one browser family: name, description, the quillet program's absolute
// path, stdio, and the extension allowed to start it.
QByteArray HostManifest(const QString& quilletPath, bool firefox);

} // namespace Tarnwick
