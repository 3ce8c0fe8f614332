#pragma once

#include "appsettings.h"
#include "conversion/conversionengine.h"
#include "presets/presetstore.h"
#include "settingsstore.h"

#include <QString>
#include <future>

namespace Tarnwick {

// What the program holds for its whole life, apart from its windows: the settings, the
// installation folder, the conversion engine and the preset store with the format catalogue.
// Start-up and shut-down live here so that they run, and are tested, without a window.
class ApplicationCore {
public:
    // reportEngineError: the engine's load failure. reportNotice: what the user is told once
    // at start-up without ending it (an unreadable preset file and where it was kept, host
    // manifests that could not be written).
    explicit ApplicationCore(ConversionEngine::ErrorReporter reportEngineError = {},
                             ConversionEngine::ErrorReporter reportNotice = {});
    ~ApplicationCore();
    ApplicationCore(const ApplicationCore&) = delete;
    ApplicationCore& operator=(const ApplicationCore&) = delete;

    // Loads the settings, settles the installation folder and the browsers' way to it (while
    // an entry point is on), opens the engine, loads the
    // catalogue with its presets and sets about removing what an earlier Tarnwick left behind,
    // on a thread of its own. False when the program cannot go on; the engine's load failure
    // has been reported by then.
    bool Start(const QString& executableFolder);
    // Waits for the removal of leftovers, writes the settings this instance changed, saves the
    // presets when they changed and releases
    // the catalogue, and shuts the engine down. Runs once; the destructor calls it too.
    void Shutdown();

    AppSettings& Settings() { return settings_.Values(); }
    SettingsStore& StoredSettings() { return settings_; }
    const QString& InstallFolder() const { return installFolder_; }
    ConversionEngine& Engine() { return engine_; }
    PresetStore& Presets() { return presets_; }

private:
    void RepairBrowserHandOff();

    SettingsStore settings_;
    QString installFolder_;
    ConversionEngine engine_;
    PresetStore presets_;
    ConversionEngine::ErrorReporter reportNotice_;
    std::future<void> leftoverRemoval_;
    bool started_ = false;
};

struct LeftoverPlaces;
// Where start-up looks for what an earlier Tarnwick left behind.
LeftoverPlaces LeftoverPlacesOf(const AppSettings& settings, const QString& presetFile);

// The "InstallDir" value while that folder holds a Tarnwick program; else executableFolder,
// which is then written there.
QString ResolveInstallFolder(const QString& executableFolder);
// The engine library, always as an absolute path: a bare name would go through the library
// search, where an empty run-path entry means the current folder, and a file of that name in a
// download folder would be run. The installation folder's copy when it exists, else the one in
// an installation's private library folder beside executableFolder's bin; when neither exists,
// the installation folder's path, whose failure then names the file.
QString EngineLibraryPath(const QString& installFolder, const QString& executableFolder = {});

} // namespace Tarnwick
