#include "applicationcore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace Tarnwick {

QString ResolveInstallFolder(const QString& executableFolder) {
    QSettings settings;
    QString folder = settings.value(QStringLiteral("InstallDir")).toString();
    if (folder.isEmpty()) {
        folder = QDir::toNativeSeparators(executableFolder);
        settings.setValue(QStringLiteral("InstallDir"), folder);
    }
    return folder;
}

QString EngineLibraryPath(const QString& installFolder) {
    const QString path = QDir(installFolder).filePath(EngineLibraryFileName());
    return QFileInfo::exists(path) ? path : EngineLibraryFileName();
}

ApplicationCore::ApplicationCore(ConversionEngine::ErrorReporter reportEngineError)
    : engine_(std::move(reportEngineError)) {}

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
    return presets_.LoadPresets(installFolder_);
}

void ApplicationCore::Shutdown() {
    if (!started_)
        return;
    started_ = false;
    {
        QSettings settings;
        settings_.Save(settings);
    }
    // The store writes only a catalogue it loaded, so an early end of start-up keeps the file.
    presets_.SaveAndRelease();
    engine_.Close();
}

} // namespace Tarnwick
