#include "hostmanifest.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Tarnwick {

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
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The base directory rules ignore a relative value.
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = home + QStringLiteral("/.config");

    QList<BrowserFolder> folders;
    for (const char* chromiumFamily :
         {"chromium", "google-chrome", "microsoft-edge", "BraveSoftware/Brave-Browser"}) {
        const QString profile = configHome + QLatin1Char('/') + QLatin1String(chromiumFamily);
        folders.append({QLatin1String(chromiumFamily), profile,
                        profile + QStringLiteral("/NativeMessagingHosts"), false});
    }
    const QString mozilla = home + QStringLiteral("/.mozilla");
    folders.append(
        {QStringLiteral("firefox"), mozilla, mozilla + QStringLiteral("/native-messaging-hosts"), true});
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
