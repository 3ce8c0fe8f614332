#include "appsettings.h"

#include "retrieval/sources/picturechoice.h"

#include <QSettings>

namespace Tarnwick {

namespace {

const QString RecentUrlsGroup = QStringLiteral("Recent/URLs");
const QString RecentFoldersGroup = QStringLiteral("Recent/Folders");

void ReadFlag(QSettings& settings, const QString& key, bool& field) {
    field = settings.value(key, field ? 1 : 0).toInt() != 0;
}

void ReadInt(QSettings& settings, const QString& key, int& field) {
    bool ok = false;
    const int value = settings.value(key, field).toInt(&ok);
    if (ok)
        field = value;
}

void ReadText(QSettings& settings, const QString& key, QString& field) {
    field = settings.value(key, field).toString();
}

} // namespace

void AppSettings::Load(QSettings& settings) {
    ReadText(settings, QStringLiteral("Settings/DefaultFolder"), defaultFolder);
    ReadFlag(settings, QStringLiteral("Settings/AutoStart"), autoStart);
    ReadFlag(settings, QStringLiteral("Settings/AutoClose"), autoClose);
    ReadFlag(settings, QStringLiteral("Settings/KeepOnTop"), keepOnTop);
    ReadFlag(settings, QStringLiteral("Settings/Iconic"), iconic);
    ReadInt(settings, QStringLiteral("Settings/Quality"), quality);
    ReadFlag(settings, QStringLiteral("Settings/Convert"), convert);
    ReadFlag(settings, QStringLiteral("Settings/AlwaysOverwrite"), alwaysOverwrite);
    ReadText(settings, QStringLiteral("Settings/Player"), player);
    ReadText(settings, QStringLiteral("Settings/VideoHost"), videoHost);
    ReadInt(settings, QStringLiteral("Settings/SegmentConnections"), segmentConnections);
    segmentConnections = qBound(1, segmentConnections, 16);
    ReadInt(settings, QStringLiteral("Settings/DownloadsAtOnce"), downloadsAtOnce);
    downloadsAtOnce = qBound(1, downloadsAtOnce, 8);
    ReadInt(settings, QStringLiteral("Settings/DownloadsPerSite"), downloadsPerSite);
    downloadsPerSite = qBound(1, downloadsPerSite, 8);
    ReadInt(settings, QStringLiteral("Settings/SpeedLimit"), speedLimit);
    // Beyond about 2 GiB/s a limit means nothing on any line; the bound keeps bytes in range.
    speedLimit = qBound(0, speedLimit, 1 << 21);
    ReadText(settings, QStringLiteral("Settings/Proxy"), proxy);
    proxy = proxy.trimmed();
    ReadText(settings, QStringLiteral("Settings/CookiesFile"), cookiesFile);
    ReadText(settings, QStringLiteral("Settings/CookiesFromBrowser"), cookiesFromBrowser);
    cookiesFromBrowser = cookiesFromBrowser.trimmed();
    ReadInt(settings, QStringLiteral("Settings/LargestPicture"), largestPicture);
    // No screen is taller; a negative height means no limit, as 0 does.
    largestPicture = qBound(0, largestPicture, 16384);
    ReadFlag(settings, QStringLiteral("Settings/EmbedMetadata"), embedMetadata);
    ReadText(settings, QStringLiteral("Settings/SubtitleLanguages"), subtitleLanguages);
    subtitleLanguages = subtitleLanguages.trimmed();
    ReadFlag(settings, QStringLiteral("Settings/AutomaticCaptions"), automaticCaptions);
    ReadFlag(settings, QStringLiteral("Settings/EmbedSubtitles"), embedSubtitles);
    ReadText(settings, QStringLiteral("Settings/PreferredCodec"), preferredCodec);
    preferredCodec = preferredCodec.trimmed().toLower();
    if (!PreferableCodecs().contains(preferredCodec))
        preferredCodec.clear();
    ReadText(settings, QStringLiteral("Settings/YtDlpPath"), ytDlpPath);
    ReadText(settings, QStringLiteral("Settings/YtDlpUpdateUrl"), ytDlpUpdateUrl);
    recentUrlList.Read(settings, RecentUrlsGroup);
    recentFolderList.Read(settings, RecentFoldersGroup);
    ReadInt(settings, QStringLiteral("Recent/Format"), recentFormat);
    ReadInt(settings, QStringLiteral("Recent/Preset"), recentPreset);
}

void AppSettings::Save(QSettings& settings) const {
    settings.setValue(QStringLiteral("Settings/DefaultFolder"), defaultFolder);
    settings.setValue(QStringLiteral("Settings/AutoStart"), autoStart ? 1 : 0);
    settings.setValue(QStringLiteral("Settings/AutoClose"), autoClose ? 1 : 0);
    settings.setValue(QStringLiteral("Settings/KeepOnTop"), keepOnTop ? 1 : 0);
    settings.setValue(QStringLiteral("Settings/Iconic"), iconic ? 1 : 0);
    settings.setValue(QStringLiteral("Settings/Quality"), quality);
    settings.setValue(QStringLiteral("Settings/Convert"), convert ? 1 : 0);
    settings.setValue(QStringLiteral("Settings/AlwaysOverwrite"), alwaysOverwrite ? 1 : 0);
    settings.setValue(QStringLiteral("Settings/Player"), player);
    settings.setValue(QStringLiteral("Settings/VideoHost"), videoHost);
    settings.setValue(QStringLiteral("Settings/SegmentConnections"), segmentConnections);
    settings.setValue(QStringLiteral("Settings/DownloadsAtOnce"), downloadsAtOnce);
    settings.setValue(QStringLiteral("Settings/DownloadsPerSite"), downloadsPerSite);
    settings.setValue(QStringLiteral("Settings/SpeedLimit"), speedLimit);
    settings.setValue(QStringLiteral("Settings/Proxy"), proxy);
    settings.setValue(QStringLiteral("Settings/CookiesFile"), cookiesFile);
    settings.setValue(QStringLiteral("Settings/CookiesFromBrowser"), cookiesFromBrowser);
    settings.setValue(QStringLiteral("Settings/LargestPicture"), largestPicture);
    settings.setValue(QStringLiteral("Settings/PreferredCodec"), preferredCodec);
    settings.setValue(QStringLiteral("Settings/EmbedMetadata"), embedMetadata ? 1 : 0);
    settings.setValue(QStringLiteral("Settings/SubtitleLanguages"), subtitleLanguages);
    settings.setValue(QStringLiteral("Settings/AutomaticCaptions"), automaticCaptions ? 1 : 0);
    settings.setValue(QStringLiteral("Settings/EmbedSubtitles"), embedSubtitles ? 1 : 0);
    // Only a chosen program is written: a missing value means the default, so a user who never
    // set it keeps a settings file without it.
    if (ytDlpPath.isEmpty())
        settings.remove(QStringLiteral("Settings/YtDlpPath"));
    else
        settings.setValue(QStringLiteral("Settings/YtDlpPath"), ytDlpPath);
    // Written only when it differs from the official address, so that a later change of that
    // address reaches users who never chose their own.
    if (ytDlpUpdateUrl == QLatin1String(DefaultYtDlpUpdateUrl))
        settings.remove(QStringLiteral("Settings/YtDlpUpdateUrl"));
    else
        settings.setValue(QStringLiteral("Settings/YtDlpUpdateUrl"), ytDlpUpdateUrl);
    recentUrlList.Write(settings, RecentUrlsGroup);
    recentFolderList.Write(settings, RecentFoldersGroup);
    settings.setValue(QStringLiteral("Recent/Format"), recentFormat);
    settings.setValue(QStringLiteral("Recent/Preset"), recentPreset);
}

SubtitleWish AppSettings::Subtitles() const {
    SubtitleWish wish = ParseSubtitleLanguages(subtitleLanguages);
    wish.automatic = automaticCaptions;
    wish.embed = embedSubtitles;
    return wish;
}

} // namespace Tarnwick
