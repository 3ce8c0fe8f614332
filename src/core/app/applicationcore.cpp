#include "applicationcore.h"

#include "leftovers.h"
#include "retrieval/job/journal/jobjournal.h"
#include "settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace Tarnwick {

QString ResolveInstallFolder(const QString& executableFolder) {
    QSettings settings;
    QString folder = settings.value(QStringLiteral("InstallDir")).toString();
    if (folder.isEmpty()) {
        folder = QDir::toNativeSeparators(executableFolder);
        WriteSettingsSafely(
            [&](QSettings& stored) { stored.setValue(QStringLiteral("InstallDir"), folder); });
    }
    return folder;
}

QString EngineLibraryPath(const QString& installFolder) {
    const QString path = QDir(installFolder).filePath(EngineLibraryFileName());
    return QFileInfo::exists(path) ? path : EngineLibraryFileName();
}

ApplicationCore::ApplicationCore(ConversionEngine::ErrorReporter reportEngineError,
                                 ConversionEngine::ErrorReporter reportNotice)
    : engine_(std::move(reportEngineError))
    , reportNotice_(std::move(reportNotice)) {}

ApplicationCore::~ApplicationCore() {
    Shutdown();
}

bool ApplicationCore::Start(const QString& executableFolder) {
    {
        QSettings settings;
        settings_.Load(settings);
    }
    // From here on the settings are written at exit whatever happens next, as they were read.
    started_ = true;
    installFolder_ = ResolveInstallFolder(executableFolder);
    if (!engine_.Open(EngineLibraryPath(installFolder_)))
        return false;
    const bool loaded = presets_.LoadPresets(installFolder_);
    if (!presets_.LoadNotice().isEmpty() && reportNotice_)
        reportNotice_(presets_.LoadNotice());
    // Listing the recent folders may be slow (a network share, a sleeping disk), and nothing on
    // the way to the window needs it done. Saves at the end wait for it, as they use the same
    // kind of temporary names.
    leftoverRemoval_ =
        std::async(std::launch::async, [places = LeftoverPlacesOf(settings_, presets_.Path())]() mutable {
            places.keptFiles = JobJournal::KeptFiles();
            RemoveLeftovers(places);
        });
    return loaded;
}

LeftoverPlaces LeftoverPlacesOf(const AppSettings& settings, const QString& presetFile) {
    LeftoverPlaces places;
#if !defined(Q_OS_WIN) && !defined(Q_OS_DARWIN)
    places.settingsFile = QSettings().fileName(); // elsewhere the settings are not a file of ours
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
    WriteSettingsSafely([&](QSettings& stored) { settings_.Save(stored); });
    // The store writes only a catalogue it loaded, so an early end of start-up keeps the file.
    presets_.SaveAndRelease();
    engine_.Close();
}

} // namespace Tarnwick
