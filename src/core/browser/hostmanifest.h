#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace Tarnwick {

// The native-messaging host through which the extension reaches the quillet program.
inline constexpr char HostName[] = "ostrand.tarnwick.quillet";
// The extension's fixed identities: Chromium derives its id from the key in the manifest,
// Firefox takes the id the manifest states.
const char* ChromiumExtensionId();
const char* FirefoxExtensionId();

// A browser that may be installed for this user: the folder it reads host manifests from, and
// whether it is installed, which its program on PATH or a per-user folder of its says.
struct BrowserFolder {
    QString browser;
    QString manifestFolder;
    bool firefox = false;
    bool installed = false;

    QString ManifestPath() const;
};

// The Chromium family (Chromium, Google Chrome, Microsoft Edge, Brave, Vivaldi) and Firefox,
// under $XDG_CONFIG_HOME (else ~/.config), $HOME and $PATH as they are at the time of the call.
// A browser counts as installed before it has ever been started: Firefox ESR keeps its profiles
// in ~/.config/mozilla yet reads host manifests from ~/.mozilla, and a fresh Chromium has no
// folder at all until its first start.
QList<BrowserFolder> BrowserFolders();

// The host manifest for one browser family: name, description, the quillet program's absolute
// path, stdio, and the extension allowed to start it.
QByteArray HostManifest(const QString& quilletPath, bool firefox);

} // namespace Tarnwick
