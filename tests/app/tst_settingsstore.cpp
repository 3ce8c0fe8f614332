// Several Tarnwicks share one settings file: each writes at exit only what it changed, keeps
// the bytes of what it did not, and never replaces or waits on a file that is not a file.

#include "app/settingsfile.h"
#include "app/settingsstore.h"
#include "testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Tarnwick;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QString Stored(const TestSupport::IsolatedProfile& profile, const QString& key) {
    return QSettings(profile.SettingsFile(), QSettings::IniFormat).value(key).toString();
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    }
    void aValueChangedByAnotherInstanceSurvivesThisInstancesExit();
    void optionsShowWhatIsStoredNow();
    void theWorkingFolderIsLeftAlone();
    void unchangedValuesKeepTheirBytes();
    void nothingChangedWritesNothing();
    void filesThatAreNotFilesAreNeitherReadNorReplaced_data();
    void filesThatAreNotFilesAreNeitherReadNorReplaced();
};

void TestSettingsStore::aValueChangedByAnotherInstanceSurvivesThisInstancesExit() {
    TestSupport::IsolatedProfile profile;
    QVERIFY(WriteAll(profile.SettingsFile(), "[Settings]\nPlayer=/usr/bin/old\nQuality=0\n"
                                             "[Recent]\nURLs\\1=http://old/\n"));
    SettingsStore first;
    SettingsStore second;
    first.Load();
    second.Load();
    second.Values().player = QStringLiteral("/usr/bin/second");
    second.Values().recentUrlList.Add(QStringLiteral("http://second/"));
    QVERIFY(second.Save());
    first.Values().quality = 2;
    first.Values().recentUrlList.Add(QStringLiteral("http://first/"));
    QVERIFY(first.Save());

    QCOMPARE(Stored(profile, QStringLiteral("Settings/Player")), QStringLiteral("/usr/bin/second"));
    QCOMPARE(Stored(profile, QStringLiteral("Settings/Quality")), QStringLiteral("2"));
    SettingsStore after;
    after.Load();
    QCOMPARE(after.Values().recentUrlList.Entries(),
             QStringList({"http://first/", "http://second/", "http://old/"}));
}

void TestSettingsStore::optionsShowWhatIsStoredNow() {
    TestSupport::IsolatedProfile profile;
    SettingsStore running;
    running.Load();
    running.Values().defaultFolder = QStringLiteral("/mine");
    SettingsStore other;
    other.Load();
    other.Values().player = QStringLiteral("/usr/bin/other");
    other.Values().defaultFolder = QStringLiteral("/other");
    other.Values().autoStart = true;
    QVERIFY(other.Save());

    running.Refresh({QStringLiteral("Settings/Player"), QStringLiteral("Settings/DefaultFolder")});
    QCOMPARE(running.Values().player, QStringLiteral("/usr/bin/other"));
    QCOMPARE(running.Values().defaultFolder, QStringLiteral("/mine")); // changed here: this one's
    QCOMPARE(running.Values().autoStart, false);                       // not asked for
    // What was taken over is no change of this instance's, and its own change still wins.
    QVERIFY(running.Save());
    QCOMPARE(Stored(profile, QStringLiteral("Settings/Player")), QStringLiteral("/usr/bin/other"));
    QCOMPARE(Stored(profile, QStringLiteral("Settings/DefaultFolder")), QStringLiteral("/mine"));
    QCOMPARE(Stored(profile, QStringLiteral("Settings/AutoStart")), QStringLiteral("1"));
}

// Comparing and taking over values happens in memory: no file of the folder the program was
// started from is locked, written or removed, a ".lock" of the user's there included.
void TestSettingsStore::theWorkingFolderIsLeftAlone() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir working;
    QVERIFY(WriteAll(working.filePath(QStringLiteral(".lock")), "mine"));
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(working.path()));
    SettingsStore running;
    running.Load();
    running.Values().player = QStringLiteral("/usr/bin/mine");
    SettingsStore other;
    other.Load();
    other.Values().videoHost = QStringLiteral("other.example");
    const bool saved = other.Save();
    running.Refresh({QStringLiteral("Settings/VideoHost")});
    const bool savedToo = running.Save();
    QDir::setCurrent(before);
    QVERIFY(saved && savedToo);
    QCOMPARE(QDir(working.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral(".lock")});
    QCOMPARE(ReadAll(working.filePath(QStringLiteral(".lock"))), QByteArray("mine"));
    QCOMPARE(Stored(profile, QStringLiteral("Settings/Player")), QStringLiteral("/usr/bin/mine"));
    QCOMPARE(running.Values().videoHost, QStringLiteral("other.example"));
}

void TestSettingsStore::unchangedValuesKeepTheirBytes() {
    TestSupport::IsolatedProfile profile;
    // Folder names from a Latin-1 system, which the settings reader cannot decode, and a value
    // with every kind of escape, as the settings' own writer wrote them.
    QSettings(profile.SettingsFile(), QSettings::IniFormat)
        .setValue(QStringLiteral("Settings/VideoHost"), QStringLiteral(" a\"b\\c;\td\u00e9\U0001F3AC@ "));
    const QByteArray escaped = ReadAll(profile.SettingsFile());
    const QByteArray original = escaped + "DefaultFolder=/home/j\xf6rg/Vid\xe9os\n"
                                          "[Recent]\nFolders\\1=/srv/m\xfcsic\nFolders\\2=/tmp\n";
    QVERIFY(WriteAll(profile.SettingsFile(), original));
    SettingsStore store;
    store.Load();
    store.Values().quality = 1;
    store.Values().recentFolderList.Add(QStringLiteral("/new"));
    QVERIFY(store.Save());

    const QByteArray saved = ReadAll(profile.SettingsFile());
    for (const QByteArray& line : original.split('\n')) {
        if (!line.startsWith("Folders"))
            QVERIFY2(saved.split('\n').contains(line), line.constData());
    }
    // The entries moved down a place with their bytes.
    QVERIFY(saved.contains("Folders\\1=/new\n"));
    QVERIFY(saved.contains("Folders\\2=/srv/m\xfcsic\n"));
    QVERIFY(saved.contains("Folders\\3=/tmp\n"));
    QVERIFY(saved.contains("Quality=1\n"));
}

void TestSettingsStore::nothingChangedWritesNothing() {
    TestSupport::IsolatedProfile profile;
    {
        SettingsStore first; // a fresh user: every value is written once
        first.Load();
        QVERIFY(first.HasChanges());
        QVERIFY(first.Save());
    }
    const auto identity = [&] {
        struct stat info {};
        ::stat(QFile::encodeName(profile.SettingsFile()).constData(), &info);
        return std::pair<qint64, qint64>(info.st_ino,
                                         info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec);
    };
    const auto written = identity();
    SettingsStore store;
    store.Load();
    QVERIFY(!store.HasChanges());
    // Values set to what they were are no change either.
    store.Values().quality = store.Values().quality;
    QVERIFY(store.Save());
    QCOMPARE(identity(), written);
    QCOMPARE(QDir(QFileInfo(profile.SettingsFile()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"Tarnwick.conf"});
}

void TestSettingsStore::filesThatAreNotFilesAreNeitherReadNorReplaced_data() {
    QTest::addColumn<bool>("socket");
    QTest::addColumn<bool>("linked");
    QTest::newRow("a named pipe") << false << false; // reading it would wait for a writer for ever
    QTest::newRow("a socket") << true << false;
    QTest::newRow("a link to a named pipe") << false << true;
    QTest::newRow("a link to a socket") << true << true;
}

void TestSettingsStore::filesThatAreNotFilesAreNeitherReadNorReplaced() {
    QFETCH(bool, socket);
    QFETCH(bool, linked);
    TestSupport::IsolatedProfile profile;
    QTemporaryDir elsewhere;
    const QString path = profile.SettingsFile();
    const QString node = linked ? elsewhere.filePath(QStringLiteral("node")) : path;
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QVERIFY(TestSupport::MakeSpecialFile(node, socket));
    if (linked)
        QVERIFY(QFile::link(node, path));

    SettingsStore store;
    store.Load();
    QVERIFY(!SettingsFileIsReadable());
    QCOMPARE(store.Values().videoHost, AppSettings().videoHost);
    store.Values().player = QStringLiteral("/usr/bin/new");
    QVERIFY(!store.Save());
    QVERIFY(!WriteSettingsSafely([](QSettings& stored) { stored.setValue(QStringLiteral("x"), 1); }));
    QVERIFY(QFileInfo(node).exists() && !QFileInfo(node).isFile());
    QCOMPARE(QFileInfo(path).isSymLink(), linked);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
