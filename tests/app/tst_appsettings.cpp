#include "app/appsettings.h"
#include "retrieval/sources/picturechoice.h"

#include "testenvironment.h"

#include <QDir>
#include <QSettings>
#include <QTest>

using namespace Tarnwick;

class TestAppSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void freshProfileHasDefaults();
    void everyFieldSurvivesSaveAndLoad();
    void storedFlagsAreZeroOrOne();
    void countsStayInRange_data();
    void countsStayInRange();
    void preferredCodecIsOneOfTheFour_data();
    void preferredCodecIsOneOfTheFour();
    void ytDlpPathIsStoredOnlyWhenChosen();
    void recentUrlMovesToFront();
    void twentyFirstUrlDropsTheOldest();
    void urlsDifferingInCaseAreTwoEntries();
    void folderListStoresAbsolutePaths();
    void foldersCompareAsTheFileSystemDoes();
    void emptyPositionsLeaveNoValue();
    void entriesStopAtTheFirstGap();
    void updateUrlIsStoredOnlyWhenChosen();

private:
    static AppSettings LoadFresh();
};

void TestAppSettings::initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
}

AppSettings TestAppSettings::LoadFresh() {
    AppSettings settings;
    QSettings store;
    settings.Load(store);
    return settings;
}

void TestAppSettings::freshProfileHasDefaults() {
    TestSupport::IsolatedProfile profile;
    const AppSettings settings = LoadFresh();
    QCOMPARE(settings.defaultFolder, QString());
    QCOMPARE(settings.autoStart, false);
    QCOMPARE(settings.autoClose, false);
    QCOMPARE(settings.keepOnTop, false);
    QCOMPARE(settings.iconic, false);
    QCOMPARE(settings.quality, 0);
    QCOMPARE(settings.convert, true);
    QCOMPARE(settings.alwaysOverwrite, false);
    QCOMPARE(settings.player, QString());
    QCOMPARE(settings.videoHost, QStringLiteral("www.youtube.com"));
    QCOMPARE(settings.recentUrlList.Entries(), QStringList());
    QCOMPARE(settings.recentFolderList.Entries(), QStringList());
    QCOMPARE(settings.recentFormat, 0);
    QCOMPARE(settings.recentPreset, 0);
}

void TestAppSettings::everyFieldSurvivesSaveAndLoad() {
    TestSupport::IsolatedProfile profile;
    AppSettings written;
    written.defaultFolder = QStringLiteral("/srv/videos");
    written.autoStart = true;
    written.autoClose = true;
    written.keepOnTop = true;
    written.iconic = true;
    written.quality = 2;
    written.convert = false;
    written.alwaysOverwrite = true;
    written.player = QStringLiteral("/usr/bin/player");
    written.videoHost = QStringLiteral("127.0.0.1:8123");
    written.recentUrlList.Add(QStringLiteral("http://a/watch?v=1"));
    written.recentUrlList.Add(QStringLiteral("http://a/watch?v=2"));
    written.recentFolderList.Add(QStringLiteral("/srv/one"));
    written.recentFormat = 7;
    written.recentPreset = 3;
    {
        QSettings store;
        written.Save(store);
    }
    QVERIFY(QFile::exists(profile.SettingsFile()));

    const AppSettings read = LoadFresh();
    QCOMPARE(read.defaultFolder, written.defaultFolder);
    QCOMPARE(read.autoStart, true);
    QCOMPARE(read.autoClose, true);
    QCOMPARE(read.keepOnTop, true);
    QCOMPARE(read.iconic, true);
    QCOMPARE(read.quality, 2);
    QCOMPARE(read.convert, false);
    QCOMPARE(read.alwaysOverwrite, true);
    QCOMPARE(read.player, written.player);
    QCOMPARE(read.videoHost, written.videoHost);
    QCOMPARE(read.recentUrlList.Entries(),
             QStringList({QStringLiteral("http://a/watch?v=2"), QStringLiteral("http://a/watch?v=1")}));
    QCOMPARE(read.recentFolderList.Entries(), QStringList{QStringLiteral("/srv/one")});
    QCOMPARE(read.recentFormat, 7);
    QCOMPARE(read.recentPreset, 3);

    // The names in the file are the ones other tools and older versions look for.
    QSettings raw(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("Settings/Quality")).toInt(), 2);
    QCOMPARE(raw.value(QStringLiteral("Recent/Format")).toInt(), 7);
    QCOMPARE(raw.value(QStringLiteral("Recent/Preset")).toInt(), 3);
    QCOMPARE(raw.value(QStringLiteral("Recent/URLs/1")).toString(), QStringLiteral("http://a/watch?v=2"));
    QCOMPARE(raw.value(QStringLiteral("Recent/Folders/1")).toString(), QStringLiteral("/srv/one"));
}

void TestAppSettings::ytDlpPathIsStoredOnlyWhenChosen() {
    TestSupport::IsolatedProfile profile;
    AppSettings settings = LoadFresh();
    QCOMPARE(settings.ytDlpPath, QString());
    settings.ytDlpPath = QStringLiteral("/opt/yt-dlp/yt-dlp");
    {
        QSettings store;
        settings.Save(store);
    }
    QCOMPARE(LoadFresh().ytDlpPath, settings.ytDlpPath);
    // Back to the default: the value goes, rather than staying behind as an empty text.
    settings.ytDlpPath.clear();
    {
        QSettings store;
        settings.Save(store);
    }
    QSettings raw(profile.SettingsFile(), QSettings::IniFormat);
    QVERIFY(!raw.contains(QStringLiteral("Settings/YtDlpPath")));
}

void TestAppSettings::storedFlagsAreZeroOrOne() {
    TestSupport::IsolatedProfile profile;
    {
        QSettings store;
        store.setValue(QStringLiteral("Settings/AutoStart"), 5);
        store.setValue(QStringLiteral("Settings/Convert"), 0);
    }
    AppSettings settings = LoadFresh();
    QCOMPARE(settings.autoStart, true);
    QCOMPARE(settings.convert, false);
    {
        QSettings store;
        settings.Save(store);
    }
    QSettings raw(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("Settings/AutoStart")).toString(), QStringLiteral("1"));
    QCOMPARE(raw.value(QStringLiteral("Settings/Convert")).toString(), QStringLiteral("0"));
}

namespace {

// The bounded counts of [Settings], by key.
int CountOf(const AppSettings& settings, const QString& key) {
    if (key == QLatin1String("SegmentConnections"))
        return settings.segmentConnections;
    if (key == QLatin1String("DownloadsAtOnce"))
        return settings.downloadsAtOnce;
    if (key == QLatin1String("DownloadsPerSite"))
        return settings.downloadsPerSite;
    if (key == QLatin1String("SpeedLimit"))
        return settings.speedLimit;
    if (key == QLatin1String("LargestPicture"))
        return settings.largestPicture;
    if (key == QLatin1String("PreferredCodec")) // its position among the codecs; -1: any
        return int(PreferableCodecs().indexOf(settings.preferredCodec));
    return -1;
}

} // namespace

void TestAppSettings::countsStayInRange_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("read");
    QTest::newRow("segments absent: the default") << "SegmentConnections" << QVariant() << 4;
    QTest::newRow("segments within range") << "SegmentConnections" << QVariant(9) << 9;
    QTest::newRow("segments none at all is one") << "SegmentConnections" << QVariant(0) << 1;
    QTest::newRow("segments negative") << "SegmentConnections" << QVariant(-3) << 1;
    QTest::newRow("segments above the most") << "SegmentConnections" << QVariant(64) << 16;
    QTest::newRow("segments not a number") << "SegmentConnections" << QVariant(QStringLiteral("many")) << 4;
    QTest::newRow("at once absent: one after another") << "DownloadsAtOnce" << QVariant() << 1;
    QTest::newRow("at once within range") << "DownloadsAtOnce" << QVariant(8) << 8;
    QTest::newRow("at once above the most") << "DownloadsAtOnce" << QVariant(9) << 8;
    QTest::newRow("at once none is one") << "DownloadsAtOnce" << QVariant(0) << 1;
    QTest::newRow("per site absent") << "DownloadsPerSite" << QVariant() << 2;
    QTest::newRow("per site below the least") << "DownloadsPerSite" << QVariant(-1) << 1;
    QTest::newRow("per site above the most") << "DownloadsPerSite" << QVariant(12) << 8;
    QTest::newRow("speed absent: no limit") << "SpeedLimit" << QVariant() << 0;
    QTest::newRow("speed negative: no limit") << "SpeedLimit" << QVariant(-50) << 0;
    QTest::newRow("speed within range") << "SpeedLimit" << QVariant(512) << 512;
    QTest::newRow("picture absent: no limit") << "LargestPicture" << QVariant() << 0;
    QTest::newRow("picture within range") << "LargestPicture" << QVariant(1080) << 1080;
    QTest::newRow("picture not a number: no limit")
        << "LargestPicture" << QVariant(QStringLiteral("HD")) << 0;
    QTest::newRow("picture negative: no limit") << "LargestPicture" << QVariant(-720) << 0;
}

// A codec Tarnwick does not rank by is no preference at all, and is not written back.
void TestAppSettings::preferredCodecIsOneOfTheFour_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("read");
    QTest::newRow("absent") << QString() << QString();
    QTest::newRow("as Options writes it") << QStringLiteral("vp9") << QStringLiteral("vp9");
    QTest::newRow("typed by hand") << QStringLiteral(" HEVC ") << QStringLiteral("hevc");
    QTest::newRow("unknown") << QStringLiteral("theora") << QString();
}

void TestAppSettings::preferredCodecIsOneOfTheFour() {
    QFETCH(QString, stored);
    QFETCH(QString, read);
    TestSupport::IsolatedProfile profile;
    if (!stored.isNull())
        QSettings().setValue(QStringLiteral("Settings/PreferredCodec"), stored);
    AppSettings settings = LoadFresh();
    QCOMPARE(settings.preferredCodec, read);
    {
        QSettings store;
        settings.Save(store);
    }
    QCOMPARE(QSettings(profile.SettingsFile(), QSettings::IniFormat)
                 .value(QStringLiteral("Settings/PreferredCodec"))
                 .toString(),
             read);
}

void TestAppSettings::countsStayInRange() {
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(int, read);
    TestSupport::IsolatedProfile profile;
    const QString path = QStringLiteral("Settings/") + key;
    if (stored.isValid())
        QSettings().setValue(path, stored);
    AppSettings settings = LoadFresh();
    QCOMPARE(CountOf(settings, key), read);
    {
        QSettings store;
        settings.Save(store);
    }
    QSettings raw(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(raw.value(path).toInt(), read);
}

void TestAppSettings::recentUrlMovesToFront() {
    RecentList list;
    for (int i = 9; i >= 0; --i)
        list.Add(QStringLiteral("u%1").arg(i)); // positions 0..9 hold u0..u9
    QCOMPARE(list.At(5), QStringLiteral("u5"));

    list.Add(QStringLiteral("u5"));
    QCOMPARE(list.Entries(), QStringList({QStringLiteral("u5"), QStringLiteral("u0"), QStringLiteral("u1"),
                                          QStringLiteral("u2"), QStringLiteral("u3"), QStringLiteral("u4"),
                                          QStringLiteral("u6"), QStringLiteral("u7"), QStringLiteral("u8"),
                                          QStringLiteral("u9")}));
}

void TestAppSettings::twentyFirstUrlDropsTheOldest() {
    RecentList list;
    for (int i = 1; i <= 21; ++i)
        list.Add(QStringLiteral("u%1").arg(i));
    const QStringList entries = list.Entries();
    QCOMPARE(entries.size(), RecentList::Capacity);
    QCOMPARE(entries.first(), QStringLiteral("u21"));
    QCOMPARE(entries.last(), QStringLiteral("u2"));
    QVERIFY(!entries.contains(QStringLiteral("u1")));

    // The oldest entry is never searched for a match: adding it again still pushes out the
    // one before it and puts it in front, so the list keeps 20 distinct entries.
    list.Add(QStringLiteral("u2"));
    QCOMPARE(list.Entries().first(), QStringLiteral("u2"));
    QCOMPARE(list.Entries().size(), RecentList::Capacity);
    QCOMPARE(list.Entries().count(QStringLiteral("u2")), 1);
}

void TestAppSettings::urlsDifferingInCaseAreTwoEntries() {
    RecentList list;
    list.Add(QStringLiteral("http://a/watch?v=AbC"));
    list.Add(QStringLiteral("http://a/watch?v=abc"));
    QCOMPARE(list.Entries().size(), 2);
}

void TestAppSettings::folderListStoresAbsolutePaths() {
    RecentList list(RecentList::Matching::Path);
    const QString before = QDir::currentPath();
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    list.Add(QStringLiteral("sub/../videos"));
    QDir::setCurrent(before);
    QCOMPARE(list.At(0), QDir(dir.path()).filePath(QStringLiteral("videos")));

    list.Add(QDir(dir.path()).filePath(QStringLiteral("videos/")));
    QCOMPARE(list.Entries().size(), 1);
}

void TestAppSettings::foldersCompareAsTheFileSystemDoes() {
    RecentList list(RecentList::Matching::Path);
    list.Add(QStringLiteral("/srv/Videos"));
    list.Add(QStringLiteral("/srv/videos"));
#ifdef Q_OS_WIN
    QCOMPARE(list.Entries().size(), 1);
#else
    QCOMPARE(list.Entries().size(), 2);
#endif
}

void TestAppSettings::emptyPositionsLeaveNoValue() {
    TestSupport::IsolatedProfile profile;
    {
        // A longer list from an earlier session, and a value in a position that is now empty.
        QSettings store;
        for (int k = 1; k <= 20; ++k)
            store.setValue(QStringLiteral("Recent/URLs/%1").arg(k), QStringLiteral("old%1").arg(k));
    }
    AppSettings settings;
    settings.recentUrlList.Add(QStringLiteral("only"));
    {
        QSettings store;
        settings.Save(store);
    }
    QSettings raw(profile.SettingsFile(), QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Recent/URLs"));
    QCOMPARE(raw.childKeys(), QStringList{QStringLiteral("1")});
    QCOMPARE(raw.value(QStringLiteral("1")).toString(), QStringLiteral("only"));
}

void TestAppSettings::entriesStopAtTheFirstGap() {
    TestSupport::IsolatedProfile profile;
    {
        QSettings store;
        store.setValue(QStringLiteral("Recent/Folders/1"), QStringLiteral("/a"));
        store.setValue(QStringLiteral("Recent/Folders/3"), QStringLiteral("/c"));
    }
    const AppSettings settings = LoadFresh();
    QCOMPARE(settings.recentFolderList.Entries(), QStringList{QStringLiteral("/a")});
    QCOMPARE(settings.recentFolderList.At(2), QStringLiteral("/c"));
}

void TestAppSettings::updateUrlIsStoredOnlyWhenChosen() {
    TestSupport::IsolatedProfile profile;
    AppSettings settings;
    QCOMPARE(settings.ytDlpUpdateUrl, QLatin1String(DefaultYtDlpUpdateUrl));
    {
        QSettings store;
        settings.Save(store);
        QVERIFY(!store.contains(QStringLiteral("Settings/YtDlpUpdateUrl")));
        settings.ytDlpUpdateUrl = QStringLiteral("http://127.0.0.1:8123/download/");
        settings.Save(store);
    }
    QCOMPARE(LoadFresh().ytDlpUpdateUrl, settings.ytDlpUpdateUrl);
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
