#include "testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
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

namespace {

// The values of entries, one a line, for the streams select names.
QList<QByteArray> ProbedValues(const QString& path, const QString& select, const QString& entries) {
    QProcess probe;
    probe.start(FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), select,
                 QStringLiteral("-show_entries"), QStringLiteral("stream=") + entries, QStringLiteral("-of"),
                 QStringLiteral("default=noprint_wrappers=1:nokey=1"), path});
    probe.waitForFinished(30000);
    return probe.readAllStandardOutput().trimmed().split('\n');
}

} // namespace

QString ProbedPicture(const QString& path) {
    // A transport stream lists its streams once more under its program: the first pair serves.
    const QList<QByteArray> lines =
        ProbedValues(path, QStringLiteral("v:0"), QStringLiteral("codec_name,height"));
    return lines.size() < 2 ? QString() : QString::fromUtf8(lines[1].trimmed() + ' ' + lines[0].trimmed());
}

QString ProbedTag(const QString& path, const QString& name) {
    QProcess probe;
    probe.start(FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format_tags=") + name, QStringLiteral("-of"),
                 QStringLiteral("default=noprint_wrappers=1:nokey=1"), path});
    probe.waitForFinished(30000);
    return QString::fromUtf8(probe.readAllStandardOutput().trimmed());
}

bool ProbedSound(const QString& path) {
    return !ProbedValues(path, QStringLiteral("a:0"), QStringLiteral("codec_name")).first().isEmpty();
}

} // namespace TestSupport
