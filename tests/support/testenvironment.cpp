#include "testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace TestSupport {

namespace {

QString EnvironmentOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

} // namespace

IsolatedProfile::IsolatedProfile()
    : oldConfigHome_(qgetenv("XDG_CONFIG_HOME"))
    , oldDataHome_(qgetenv("XDG_DATA_HOME")) {
    QDir(root_.path()).mkpath(QStringLiteral("config"));
    QDir(root_.path()).mkpath(QStringLiteral("data"));
    qputenv("XDG_CONFIG_HOME", ConfigHome().toUtf8());
    qputenv("XDG_DATA_HOME", DataHome().toUtf8());
    // QSettings caches the resolved folders; it must look again.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ConfigHome());
}

IsolatedProfile::~IsolatedProfile() {
    qputenv("XDG_CONFIG_HOME", oldConfigHome_);
    qputenv("XDG_DATA_HOME", oldDataHome_);
}

QString IsolatedProfile::ConfigHome() const {
    return root_.filePath(QStringLiteral("config"));
}

QString IsolatedProfile::DataHome() const {
    return root_.filePath(QStringLiteral("data"));
}

QString IsolatedProfile::SettingsFile() const {
    return ConfigHome() + QStringLiteral("/Ostrand/Tarnwick.conf");
}

QString BinDir() {
    return EnvironmentOr("TARNWICK_BIN_DIR",
                         QCoreApplication::applicationDirPath() + QStringLiteral("/../bin"));
}

QString FfmpegPath() {
    return EnvironmentOr("TARNWICK_FFMPEG", QStringLiteral("ffmpeg"));
}

QString FfprobePath() {
    return EnvironmentOr("TARNWICK_FFPROBE", QStringLiteral("ffprobe"));
}

} // namespace TestSupport
