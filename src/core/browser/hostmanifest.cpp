#include "hostmanifest.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <array>

namespace Tarnwick {

namespace {

// How one browser shows that it is installed, and where it reads host manifests. Unused
// places are null.
struct KnownBrowser {
    const char* name;
    bool firefox;
    // Below the home folder for Firefox, below the configuration home for the others.
    const char* manifestFolder;
    std::array<const char*, 2> programs;
    // Folders a first start of the browser makes, below the home and the configuration home.
    const char* profileInHome;
    const char* profileInConfig;
};

const KnownBrowser KnownBrowsers[] = {
    {"chromium",
     false,
     "chromium/NativeMessagingHosts",
     {"chromium", "chromium-browser"},
     nullptr,
     "chromium"},
    {"google-chrome",
     false,
     "google-chrome/NativeMessagingHosts",
     {"google-chrome", "google-chrome-stable"},
     nullptr,
     "google-chrome"},
    {"microsoft-edge",
     false,
     "microsoft-edge/NativeMessagingHosts",
     {"microsoft-edge", "microsoft-edge-stable"},
     nullptr,
     "microsoft-edge"},
    {"BraveSoftware/Brave-Browser",
     false,
     "BraveSoftware/Brave-Browser/NativeMessagingHosts",
     {"brave-browser", "brave"},
     nullptr,
     "BraveSoftware/Brave-Browser"},
    {"vivaldi", false, "vivaldi/NativeMessagingHosts", {"vivaldi", "vivaldi-stable"}, nullptr, "vivaldi"},
    // Firefox ESR keeps its profiles in the configuration home and still reads ~/.mozilla.
    {"firefox", true, ".mozilla/native-messaging-hosts", {"firefox", "firefox-esr"}, ".mozilla", "mozilla"},
};

QString ConfigHome(const QString& home) {
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The base directory rules ignore a relative value.
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        return home + QStringLiteral("/.config");
    return configHome;
}

bool IsFolderIn(const QString& base, const char* relative) {
    return relative != nullptr && QFileInfo(base + QLatin1Char('/') + QLatin1String(relative)).isDir();
}

bool Installed(const KnownBrowser& known, const QString& home, const QString& configHome) {
    for (const char* program : known.programs) {
        if (program != nullptr && !QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            return true;
    }
    return IsFolderIn(home, known.profileInHome) || IsFolderIn(configHome, known.profileInConfig);
}

} // namespace

const char* ChromiumExtensionId() {
    return TARNWICK_CHROMIUM_ID;
}

const char* FirefoxExtensionId() {
    return TARNWICK_GECKO_ID;
}

QString BrowserFolder::ManifestPath() const {
    return QDir(manifestFolder).filePath(QLatin1String(HostName) + QStringLiteral(".json"));
}

QList<BrowserFolder> BrowserFolders() {
    const QString home = QDir::homePath();
    const QString configHome = ConfigHome(home);
    QList<BrowserFolder> folders;
    for (const KnownBrowser& known : KnownBrowsers) {
        const QString base = known.firefox ? home : configHome;
        folders.append({QLatin1String(known.name),
                        base + QLatin1Char('/') + QLatin1String(known.manifestFolder), known.firefox,
                        Installed(known, home, configHome)});
    }
    return folders;
}

QByteArray HostManifest(const QString& quilletPath, bool firefox) {
    QJsonObject manifest{
        {QStringLiteral("name"), QLatin1String(HostName)},
        {QStringLiteral("description"), QStringLiteral("Hands a web page or link to Tarnwick")},
        {QStringLiteral("path"), QDir::cleanPath(QDir(quilletPath).absolutePath())},
        {QStringLiteral("type"), QStringLiteral("stdio")},
    };
    if (firefox) {
        manifest.insert(QStringLiteral("allowed_extensions"),
                        QJsonArray{QLatin1String(FirefoxExtensionId())});
    } else {
        manifest.insert(
            QStringLiteral("allowed_origins"),
            QJsonArray{QStringLiteral("chrome-extension://%1/").arg(QLatin1String(ChromiumExtensionId()))});
    }
    return QJsonDocument(manifest).toJson(QJsonDocument::Indented);
}

} // namespace Tarnwick
