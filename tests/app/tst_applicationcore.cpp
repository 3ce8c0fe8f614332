#include "app/applicationcore.h"
#include "app/leftovers.h"

#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <link.h>

using namespace Tarnwick;

class TestApplicationCore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void installFolderIsRecordedWhenMissing();
    void storedInstallFolderStaysWhileItHoldsTarnwick_data();
    void storedInstallFolderStaysWhileItHoldsTarnwick();
    void engineIsFoundInTheInstallFolder();
    void startOpensTheEngineAndShutdownWritesSettings();
    void missingEngineReportsTheSystemText();
    void startLoadsNoLibraryItDoesNotNeedYet();
    void leftoversAreGoneWhenTheProgramEnds();
};

void TestApplicationCore::initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
}

void TestApplicationCore::installFolderIsRecordedWhenMissing() {
    TestSupport::IsolatedProfile profile;
    QCOMPARE(ResolveInstallFolder(QStringLiteral("/opt/tarnwick")), QStringLiteral("/opt/tarnwick"));
    QSettings raw(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("InstallDir")).toString(), QStringLiteral("/opt/tarnwick"));
}

void TestApplicationCore::storedInstallFolderStaysWhileItHoldsTarnwick_data() {
    QTest::addColumn<QString>("program"); // what the stored folder holds as "tarnwick"
    QTest::addColumn<QFile::Permissions>("permissions");
    QTest::addColumn<bool>("stays");
    const QFile::Permissions runnable = QFile::ReadOwner | QFile::ExeOwner;
    QTest::newRow("a Tarnwick program") << QStringLiteral("tarnwick") << runnable << true;
    QTest::newRow("moved away: nothing") << QString() << runnable << false;
    QTest::newRow("not a program") << QStringLiteral("tarnwick") << QFile::Permissions(QFile::ReadOwner)
                                   << false;
    QTest::newRow("a folder of that name") << QStringLiteral("tarnwick/") << runnable << false;
}

void TestApplicationCore::storedInstallFolderStaysWhileItHoldsTarnwick() {
    QFETCH(QString, program);
    QFETCH(QFile::Permissions, permissions);
    QFETCH(bool, stays);
    TestSupport::IsolatedProfile profile;
    QTemporaryDir stored;
    if (program.endsWith(QLatin1Char('/'))) {
        QVERIFY(QDir(stored.path()).mkdir(program));
    } else if (!program.isEmpty()) {
        QFile file(stored.filePath(program));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(permissions));
    }
    QSettings().setValue(QStringLiteral("InstallDir"), stored.path());
    const QString expected = stays ? stored.path() : QStringLiteral("/opt/tarnwick");
    QCOMPARE(ResolveInstallFolder(QStringLiteral("/opt/tarnwick")), expected);
    QSettings raw(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("InstallDir")).toString(), expected);
}

void TestApplicationCore::engineIsFoundInTheInstallFolder() {
    QTemporaryDir folder;
    const QString inFolder = QDir(folder.path()).filePath(EngineLibraryFileName());
    // Never a bare name, which the library search could find in the current folder.
    QCOMPARE(EngineLibraryPath(folder.path()), inFolder);
    QFile file(inFolder);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(EngineLibraryPath(folder.path()), inFolder);
}

void TestApplicationCore::startOpensTheEngineAndShutdownWritesSettings() {
    TestSupport::IsolatedProfile profile;
    QStringList reported;
    {
        ApplicationCore core([&](const QString& text) { reported << text; });
        QVERIFY(core.Start(TestSupport::BinDir()));
        QVERIFY(core.Engine().IsOpen());
        QCOMPARE(core.InstallFolder(), TestSupport::BinDir());
        core.Settings().quality = 1;
        core.Settings().recentUrlList.Add(QStringLiteral("http://x/watch?v=1"));
        // Nothing is written while the program runs.
        QSettings during(profile.SettingsFile(), QSettings::IniFormat);
        QVERIFY(!during.contains(QStringLiteral("Settings/Quality")));
    }
    QVERIFY(reported.isEmpty());
    QSettings raw(profile.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("Settings/Quality")).toInt(), 1);
    QCOMPARE(raw.value(QStringLiteral("Recent/URLs/1")).toString(), QStringLiteral("http://x/watch?v=1"));
    for (const char* name : {"DefaultFolder", "AutoStart", "AutoClose", "KeepOnTop", "Iconic", "Quality",
                             "Convert", "AlwaysOverwrite", "Player", "VideoHost"})
        QVERIFY2(raw.contains(QStringLiteral("Settings/") + QLatin1String(name)), name);
}

void TestApplicationCore::missingEngineReportsTheSystemText() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir emptyFolder;
    QSettings().setValue(QStringLiteral("InstallDir"), emptyFolder.path());
    QStringList reported;
    ApplicationCore core([&](const QString& text) { reported << text; });
    // Nothing is searched for beyond the installation's own folders.
    QVERIFY(!core.Start(emptyFolder.path()));
    QVERIFY(!core.Engine().IsOpen());
    QCOMPARE(reported.size(), 1);
    QVERIFY2(reported.first().contains(EngineLibraryFileName()), qPrintable(reported.first()));
}

// The libraries of the process whose file names contain one of the given parts.
static QStringList LoadedLibrariesNamed(const QStringList& parts) {
    struct Search {
        const QStringList& parts;
        QStringList found;
    } search{parts, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* search = static_cast<Search*>(data);
            const QString name = QString::fromLocal8Bit(info->dlpi_name);
            for (const QString& part : search->parts)
                if (name.contains(part))
                    search->found << name;
            return 0;
        },
        &search);
    return search.found;
}

// Start-up is on the way to the window: the libraries for transfers and conversions are loaded
// when the first job needs them, not before.
void TestApplicationCore::startLoadsNoLibraryItDoesNotNeedYet() {
    TestSupport::IsolatedProfile profile;
    ApplicationCore core([](const QString&) {});
    QVERIFY(core.Start(TestSupport::BinDir()));
    QVERIFY(core.Engine().IsOpen());
    QCOMPARE(LoadedLibrariesNamed({QStringLiteral("libcurl"), QStringLiteral("libavcodec"),
                                   QStringLiteral("libvarnex1media")}),
             QStringList());
}

// The removal runs beside the window; the program's end waits for it.
void TestApplicationCore::leftoversAreGoneWhenTheProgramEnds() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir output;
    QSettings().setValue(QStringLiteral("Settings/DefaultFolder"), output.path());
    const auto make = [&](const QString& name, qint64 ageSeconds) {
        QFile file(output.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush());
        QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds),
                                 QFileDevice::FileModificationTime));
    };
    make(QStringLiteral(".~VDold1.part"), JobLeftoverAgeSeconds + 60);
    make(QStringLiteral(".~VDnew1.part"), 60);
    {
        ApplicationCore core([](const QString&) {});
        QVERIFY(core.Start(TestSupport::BinDir()));
    }
    QCOMPARE(QDir(output.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral(".~VDnew1.part")});
}

QTEST_GUILESS_MAIN(TestApplicationCore)
#include "tst_applicationcore.moc"
