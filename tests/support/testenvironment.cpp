#include "testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace TestSupport {

namespace {

QString EnvironmentOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

} // namespace

IsolatedProfile::IsolatedProfile()
    : oldConfigHome_(qgetenv("XDG_CONFIG_HOME"))
    , oldDataHome_(qgetenv("XDG_DATA_HOME"))
    , oldCacheHome_(qgetenv("XDG_CACHE_HOME")) {
    QDir(root_.path()).mkpath(QStringLiteral("config"));
    QDir(root_.path()).mkpath(QStringLiteral("data"));
    QDir(root_.path()).mkpath(QStringLiteral("cache"));
    qputenv("XDG_CONFIG_HOME", ConfigHome().toUtf8());
    qputenv("XDG_DATA_HOME", DataHome().toUtf8());
    qputenv("XDG_CACHE_HOME", CacheHome().toUtf8());
    // QSettings caches the resolved folders; it must look again.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ConfigHome());
}

IsolatedProfile::~IsolatedProfile() {
    qputenv("XDG_CONFIG_HOME", oldConfigHome_);
    qputenv("XDG_DATA_HOME", oldDataHome_);
    qputenv("XDG_CACHE_HOME", oldCacheHome_);
}

bool MakeSpecialFile(const QString& path, bool socket) {
    const QByteArray name = QFile::encodeName(path);
    if (!socket)
        return ::mkfifo(name.constData(), 0600) == 0;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int handle = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        handle >= 0 && ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (handle >= 0)
        ::close(handle);
    return bound;
}

QString IsolatedProfile::ConfigHome() const {
    return root_.filePath(QStringLiteral("config"));
}

QString IsolatedProfile::DataHome() const {
    return root_.filePath(QStringLiteral("data"));
}

QString IsolatedProfile::CacheHome() const {
    return root_.filePath(QStringLiteral("cache"));
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
