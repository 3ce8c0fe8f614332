// The tarnwick program itself, started as a user starts it, on the offscreen platform.

#include "testenvironment.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTest>

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void usageFlagPrintsUsageAndEnds();
    void runWritesEverySettingAndInstallDir();
    void storedSettingsSurviveARun();
    void missingEngineEndsWithTheSystemText();

private:
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
                 QStringLiteral("Usage: Kestrum <url1> [<url2> < url3> ...] [<output folder>]"));
    }
}

void TestStartup::runWritesEverySettingAndInstallDir() {
    TestSupport::IsolatedProfile profile;
    const Result result = Run({});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(QFile::exists(profile.SettingsFile()), qPrintable(result.err));

    QSettings written(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(QDir(written.value(QStringLiteral("InstallDir")).toString()).canonicalPath(),
             QDir(TestSupport::BinDir()).canonicalPath());
    written.beginGroup(QStringLiteral("Settings"));
    QStringList keys = written.childKeys();
    keys.sort();
    QCOMPARE(keys, (QStringList{QStringLiteral("AlwaysOverwrite"), QStringLiteral("AutoClose"),
                                QStringLiteral("AutoStart"), QStringLiteral("Convert"),
                                QStringLiteral("DefaultFolder"), QStringLiteral("Iconic"),
                                QStringLiteral("KeepOnTop"), QStringLiteral("Player"),
                                QStringLiteral("Quality"), QStringLiteral("VideoHost")}));
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
    QCOMPARE(Run({}).exitCode, 0);
    QSettings written(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("Settings/Player")).toString(),
             QStringLiteral("/usr/bin/somePlayer"));
    QCOMPARE(written.value(QStringLiteral("Settings/Iconic")).toInt(), 1);
    QCOMPARE(written.value(QStringLiteral("Recent/Folders/1")).toString(), QStringLiteral("/srv/videos"));
}

void TestStartup::missingEngineEndsWithTheSystemText() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir elsewhere;
    {
        QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("InstallDir"), elsewhere.path());
    }
    const Result result = Run({QStringLiteral("-?")});
    QVERIFY(result.exitCode != 0);
    QVERIFY2(result.err.contains(QStringLiteral("libvarnex1.so")), qPrintable(result.err));
    // The usage text comes after the engine in the start-up order, so it is never reached.
    QVERIFY(!result.out.contains(QStringLiteral("Usage:")));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
