#include "applicationcore.h"

#include "browser/entrypoints.h"
#include "browser/extensionregistrar.h"
#include "leftovers.h"
#include "retrieval/job/journal/jobjournal.h"
#include "settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace Tarnwick {

QString ResolveInstallFolder(const QString& executableFolder) {
    // A settings file that cannot be read is not written either.
    if (!SettingsFileIsReadable())
        return QDir::toNativeSeparators(executableFolder);
    QSettings settings;
    const QString stored = settings.value(QStringLiteral("InstallDir")).toString();
    // A folder the program was moved or uninstalled from would have the browser start nothing,
    // or an old copy; one that still holds a Tarnwick stays, as the user may have chosen it.
    if (HoldsTarnwickProgram(stored))
        return stored;
    const QString folder = QDir::toNativeSeparators(executableFolder);
    if (folder != stored)
        WriteSettingsSafely(
            [&](QSettings& written) { written.setValue(QStringLiteral("InstallDir"), folder); });
    return folder;
}

QString EngineLibraryPath(const QString& installFolder, const QString& executableFolder) {
    const QString path = QDir(installFolder).filePath(EngineLibraryFileName());
    if (QFileInfo::exists(path) || executableFolder.isEmpty())
        return QFileInfo(path).absoluteFilePath();
    const QString installed = QDir::cleanPath(
        QDir(executableFolder)
            .filePath(QStringLiteral(TARNWICK_ENGINE_FROM_BIN "/") + EngineLibraryFileName()));
    return QFileInfo::exists(installed) ? installed : QFileInfo(path).absoluteFilePath();
}

ApplicationCore::ApplicationCore(ConversionEngine::ErrorReporter reportEngineError,
                                 ConversionEngine::ErrorReporter reportNotice)
    : engine_(std::move(reportEngineError))
    , reportNotice_(std::move(reportNotice)) {}

ApplicationCore::~ApplicationCore() {
    Shutdown();
}

bool ApplicationCore::Start(const QString& executableFolder) {
    settings_.Load();
    // From here on the settings are written at exit whatever happens next, as they were read.
    started_ = true;
    installFolder_ = ResolveInstallFolder(executableFolder);
    RepairBrowserHandOff();
    if (!engine_.Open(EngineLibraryPath(installFolder_, executableFolder)))
        return false;
    const bool loaded = presets_.LoadPresets(installFolder_);
    if (!presets_.LoadNotice().isEmpty() && reportNotice_)
        reportNotice_(presets_.LoadNotice());
    // Listing the recent folders may be slow (a network share, a sleeping disk), and nothing on
    // the way to the window needs it done. Saves at the end wait for it, as they use the same
    // kind of temporary names.
    leftoverRemoval_ = std::async(std::launch::async,
                                  [places = LeftoverPlacesOf(settings_.Values(), presets_.Path())]() mutable {
                                      places.keptFiles = JobJournal::KeptFiles();
                                      RemoveLeftovers(places);
                                  });
    return loaded;
}

void ApplicationCore::RepairBrowserHandOff() {
    // The manifests may name an earlier installation, or a browser may have come since; without
    // them the browser's entry points fail however often the user ticks them.
    const QStringList failed = ExtensionRegistrar(installFolder_).RepairHostManifests();
    if (!failed.isEmpty() && reportNotice_)
        reportNotice_(QStringLiteral("The web browser cannot reach Tarnwick: its access could not be "
                                     "written to\n%1")
                          .arg(failed.join(QLatin1Char('\n'))));
}

LeftoverPlaces LeftoverPlacesOf(const AppSettings& settings, const QString& presetFile) {
    LeftoverPlaces places;
#if !defined(Q_OS_WIN) && !defined(Q_OS_DARWIN)
    places.settingsFile = SettingsFilePath(); // elsewhere the settings are not a file of ours
#endif
    places.presetFile = presetFile;
    places.outputFolders = settings.recentFolderList.Entries();
    places.outputFolders.prepend(settings.defaultFolder);
    places.tempFolder = QDir::tempPath();
    return places;
}

void ApplicationCore::Shutdown() {
    if (!started_)
        return;
    started_ = false;
    if (leftoverRemoval_.valid())
        leftoverRemoval_.wait();
    // On a full disk the old file stays whole; this session's changes are what is lost.
    settings_.Save();
    // The store writes only a catalogue it loaded, so an early end of start-up keeps the file.
    presets_.SaveAndRelease();
    engine_.Close();
}

} // namespace Tarnwick
