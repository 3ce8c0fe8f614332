// The tarnwick program itself, started as a user starts it, on the offscreen platform.

#include "sampleservice.h"
#include "testenvironment.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <csignal>

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void usageFlagPrintsUsageAndEnds();
    void runWritesEverySettingAndInstallDir();
    void storedSettingsSurviveARun();
    void missingEngineEndsWithTheSystemText();
    void addressesOnTheCommandLineAreDeliveredAndTheWindowCloses();
    void terminationSignalsCloseLikeTheWindow_data();
    void terminationSignalsCloseLikeTheWindow();

private:
    // The window runs until someone closes it; these settings make a run with addresses start
    // by itself and close the window when it ends, so the program ends without a person.
    static void StoreAutoRun(const TestSupport::IsolatedProfile& profile) {
        QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("Settings/AutoStart"), 1);
        stored.setValue(QStringLiteral("Settings/AutoClose"), 1);
    }
    // An address whose job fails at once: nothing listens on port 1.
    static QString UnreachableAddress() { return QStringLiteral("http://127.0.0.1:1/watch?v=none"); }

    struct Result {
        int exitCode = -1;
        QString out;
        QString err;
    };
    static Result Run(const QStringList& arguments);
};

TestStartup::Result TestStartup::Run(const QStringList& arguments) {
    QProcess process;
    process.start(QDir(TestSupport::BinDir()).filePath(QStringLiteral("tarnwick")), arguments);
    Result result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

void TestStartup::usageFlagPrintsUsageAndEnds() {
    TestSupport::IsolatedProfile profile;
    for (const QString& flag : {QStringLiteral("-?"), QStringLiteral("-h"), QStringLiteral("--help")}) {
        const Result result = Run({flag});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out.trimmed(),
                 QStringLiteral("Usage: tarnwick <url1> [<url2> <url3> ...] [<output folder>]"));
    }
}

void TestStartup::runWritesEverySettingAndInstallDir() {
    TestSupport::IsolatedProfile profile;
    StoreAutoRun(profile);
    QTemporaryDir output;
    const Result result = Run({UnreachableAddress(), output.path()});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(QFile::exists(profile.SettingsFile()), qPrintable(result.err));

    QSettings written(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(QDir(written.value(QStringLiteral("InstallDir")).toString()).canonicalPath(),
             QDir(TestSupport::BinDir()).canonicalPath());
    written.beginGroup(QStringLiteral("Settings"));
    QStringList keys = written.childKeys();
    keys.sort();
    QCOMPARE(keys, (QStringList{QStringLiteral("AlwaysOverwrite"),
                                QStringLiteral("AutoClose"),
                                QStringLiteral("AutoStart"),
                                QStringLiteral("AutomaticCaptions"),
                                QStringLiteral("Convert"),
                                QStringLiteral("CookiesFile"),
                                QStringLiteral("CookiesFromBrowser"),
                                QStringLiteral("DefaultFolder"),
                                QStringLiteral("DownloadsAtOnce"),
                                QStringLiteral("DownloadsPerSite"),
                                QStringLiteral("EmbedMetadata"),
                                QStringLiteral("EmbedSubtitles"),
                                QStringLiteral("Iconic"),
                                QStringLiteral("KeepOnTop"),
                                QStringLiteral("LargestPicture"),
                                QStringLiteral("Player"),
                                QStringLiteral("PreferredCodec"),
                                QStringLiteral("Proxy"),
                                QStringLiteral("Quality"),
                                QStringLiteral("SegmentConnections"),
                                QStringLiteral("SpeedLimit"),
                                QStringLiteral("SubtitleLanguages"),
                                QStringLiteral("VideoHost")}));
    QCOMPARE(written.value(QStringLiteral("Convert")).toInt(), 1);
    QCOMPARE(written.value(QStringLiteral("VideoHost")).toString(), QStringLiteral("www.youtube.com"));
}

void TestStartup::storedSettingsSurviveARun() {
    TestSupport::IsolatedProfile profile;
    {
        QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("Settings/Player"), QStringLiteral("/usr/bin/somePlayer"));
        stored.setValue(QStringLiteral("Settings/Iconic"), 1);
        stored.setValue(QStringLiteral("Recent/Folders/1"), QStringLiteral("/srv/videos"));
    }
    StoreAutoRun(profile);
    // Iconic starts the window compact; a run from the command line still ends it.
    QCOMPARE(Run({UnreachableAddress(), QDir::tempPath()}).exitCode, 0);
    QSettings written(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("Settings/Player")).toString(),
             QStringLiteral("/usr/bin/somePlayer"));
    QCOMPARE(written.value(QStringLiteral("Settings/Iconic")).toInt(), 1);
    // The run's folder went to the front of the recent folders.
    QCOMPARE(written.value(QStringLiteral("Recent/Folders/1")).toString(), QDir::tempPath());
    QCOMPARE(written.value(QStringLiteral("Recent/Folders/2")).toString(), QStringLiteral("/srv/videos"));
}

void TestStartup::missingEngineEndsWithTheSystemText() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir elsewhere;
    {
        QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("InstallDir"), elsewhere.path());
    }
    // A Tarnwick of its own keeps the stored folder in force, with no engine beside it.
    QFile program(elsewhere.filePath(QStringLiteral("tarnwick")));
    QVERIFY(program.open(QIODevice::WriteOnly));
    QVERIFY(program.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    const Result result = Run({QStringLiteral("-?")});
    QVERIFY(result.exitCode != 0);
    QVERIFY2(result.err.contains(QStringLiteral("libvarnex1.so")), qPrintable(result.err));
    // The usage text comes after the engine in the start-up order, so it is never reached.
    QVERIFY(!result.out.contains(QStringLiteral("Usage:")));
}

void TestStartup::addressesOnTheCommandLineAreDeliveredAndTheWindowCloses() {
    TestSupport::IsolatedProfile profile;
    SampleService service;
    QVERIFY2(service.Start() && service.AddSampleVideos(), qPrintable(service.Error()));
    const QByteArray video = service.MediaBytes(QStringLiteral("sample.flv"));
    for (const char* id : {"one", "two"}) {
        QVERIFY(service.AddMedia(QStringLiteral("%1.flv").arg(QLatin1String(id)), video));
        QVERIFY(
            service.AddMedia(QStringLiteral("%1.title").arg(QLatin1String(id)), QByteArray("Video ") + id));
    }
    StoreAutoRun(profile);
    {
        QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("Settings/Convert"), 0);
        stored.setValue(QStringLiteral("Settings/VideoHost"), service.Host());
    }
    QTemporaryDir output;
    const QString folder = output.filePath(QStringLiteral("new/videos"));
    const Result result =
        Run({service.WatchUrl(QStringLiteral("one")), folder, service.WatchUrl(QStringLiteral("two"))});
    QCOMPARE(result.exitCode, 0);
    for (const char* name : {"Video one.flv", "Video two.flv"}) {
        QFile delivered(QDir(folder).filePath(QLatin1String(name)));
        QVERIFY2(delivered.open(QIODevice::ReadOnly), name);
        QCOMPARE(delivered.readAll(), video);
    }
    QSettings written(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("Recent/URLs/1")).toString(),
             service.WatchUrl(QStringLiteral("two")));
    QCOMPARE(written.value(QStringLiteral("Settings/AutoClose")).toInt(), 1);
}

void TestStartup::terminationSignalsCloseLikeTheWindow_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("duringRun");
    QTest::newRow("SIGTERM during a run") << int(SIGTERM) << true;
    QTest::newRow("SIGHUP during a run") << int(SIGHUP) << true;
    QTest::newRow("SIGTERM with the window idle") << int(SIGTERM) << false;
}

void TestStartup::terminationSignalsCloseLikeTheWindow() {
    QFETCH(int, signalNumber);
    QFETCH(bool, duringRun);
    TestSupport::IsolatedProfile profile;
    SampleService service;
    QVERIFY2(service.Start() && service.AddSampleVideos(), qPrintable(service.Error()));
    QTemporaryDir temp;
    QTemporaryDir output;
    QStringList arguments;
    if (duringRun) {
        // Started by itself, not closing by itself: only the signal can end the program.
        QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("Settings/AutoStart"), 1);
        stored.setValue(QStringLiteral("Settings/Convert"), 0);
        stored.setValue(QStringLiteral("Settings/VideoHost"), service.Host());
        // The stream stops sending after its first 64 KiB and never ends on its own.
        arguments = QStringList{service.WatchUrl(QStringLiteral("fault-stall")), output.path()};
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    process.setProcessEnvironment(environment);
    process.start(QDir(TestSupport::BinDir()).filePath(QStringLiteral("tarnwick")), arguments);
    QVERIFY(process.waitForStarted());
    // Ready for the signal: the job is downloading, or start-up has written the settings file.
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT(
        (out += process.readAllStandardOutput(),
         duringRun ? out.contains("Begin downloading") : QFile::exists(profile.SettingsFile())),
        30000);
    ::kill(pid_t(process.processId()), signalNumber);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    // The settings were written at the end, as after Close; only that writes every value.
    QSettings written(profile.SettingsFile(), QSettings::IniFormat);
    QVERIFY(written.contains(QStringLiteral("Settings/Convert")));
    if (duringRun)
        QCOMPARE(written.value(QStringLiteral("Recent/Folders/1")).toString(), output.path());
    // The stopped job took its partial download with it.
    const auto files = QDir::Files | QDir::Hidden | QDir::System;
    QCOMPARE(QDir(temp.path()).entryList(files), QStringList());
    QCOMPARE(QDir(output.path()).entryList(files), QStringList());
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
