// The registrar on a home folder of its own: Quillet's flags, the host manifests in the folders
// of the browsers that are installed, what QueryState reads back, and the repair at start.

#include "browser/extensionregistrar.h"
#include "browser/hostmanifest.h"
#include "handofffixture.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTest>

using namespace Tarnwick;
using TestSupport::HandOffFixture;
using TestSupport::ProgramsOnPath;

namespace {

struct State {
    int result = -1;
    bool contextMenu = false;
    bool toolbarButton = false;
    bool toolsMenu = false;
    friend bool operator==(const State&, const State&) = default;
};

char* toString(const State& state) {
    return QTest::toString(QStringLiteral("%1 (%2%3%4)")
                               .arg(state.result)
                               .arg(int(state.contextMenu))
                               .arg(int(state.toolbarButton))
                               .arg(int(state.toolsMenu)));
}

State Query(ExtensionRegistrar& registrar) {
    State state;
    state.result = registrar.QueryState(state.contextMenu, state.toolbarButton, state.toolsMenu);
    return state;
}

// A home where no browser has left a folder yet, and an installation folder with a quillet
// program.
struct BareHome : HandOffFixture {
    BareHome() {
        QFile quillet(QDir(InstallFolder()).filePath(QStringLiteral("quillet")));
        quillet.open(QIODevice::WriteOnly);
        quillet.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // "config/x" lies in the configuration home, anything else in the home folder.
    QString Place(const QString& folder) const {
        return folder.startsWith(QStringLiteral("config/"))
                   ? ConfigHome() + folder.mid(6)
                   : HandOffFixture::Home() + QLatin1Char('/') + folder;
    }

    QStringList Flags() const {
        QSettings settings(QuilletStateFile(), QSettings::IniFormat);
        QStringList on;
        for (const QString& key : settings.allKeys())
            on.append(key + QLatin1Char('=') + settings.value(key).toString());
        on.sort();
        return on;
    }

    // The manifests written, by browser.
    QStringList Manifests() const {
        QStringList found;
        for (const BrowserFolder& folder : BrowserFolders()) {
            if (QFile::exists(folder.ManifestPath()))
                found.append(folder.browser);
        }
        return found;
    }
};

// A home where Chromium, Brave and Firefox have been run.
struct BrowserHome : BareHome {
    BrowserHome() {
        for (const QString& folder :
             {QStringLiteral("config/chromium"), QStringLiteral("config/BraveSoftware/Brave-Browser"),
              QStringLiteral(".mozilla")})
            QDir().mkpath(Place(folder));
    }
};

const QStringList InstalledBrowsers = {
    QStringLiteral("chromium"), QStringLiteral("BraveSoftware/Brave-Browser"), QStringLiteral("firefox")};
const QStringList AllFlags = {QStringLiteral("ContextMenu=1"), QStringLiteral("ToolbarButton=1"),
                              QStringLiteral("ToolsMenu=1")};

} // namespace

class ExtensionRegistrarTest : public QObject {
    Q_OBJECT

private slots:
    void enablingAllWritesFlagsAndAManifestPerInstalledBrowser() {
        BrowserHome home;
        ExtensionRegistrar registrar;
        QCOMPARE(Query(registrar), (State{0, false, false, false}));
        QVERIFY(registrar.Enable(true, true, true, true));
        QCOMPARE(home.Flags(), AllFlags);
        QCOMPARE(home.Manifests(), InstalledBrowsers);
        QCOMPARE(Query(registrar), (State{2, true, true, true}));

        const QString quillet = QDir(home.InstallFolder()).filePath(QStringLiteral("quillet"));
        for (const BrowserFolder& folder : BrowserFolders()) {
            if (!QFile::exists(folder.ManifestPath()))
                continue;
            QFile file(folder.ManifestPath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QJsonObject manifest = QJsonDocument::fromJson(file.readAll()).object();
            QCOMPARE(manifest.value(QStringLiteral("name")).toString(),
                     QStringLiteral("ostrand.tarnwick.quillet"));
            QCOMPARE(manifest.value(QStringLiteral("path")).toString(), quillet);
            QCOMPARE(manifest.value(QStringLiteral("type")).toString(), QStringLiteral("stdio"));
            // Each family names the extension its own way, and only the one it knows.
            const QJsonArray allowed =
                folder.firefox
                    ? QJsonArray{QStringLiteral("quillet@tarnwick.ostrand")}
                    : QJsonArray{
                          QStringLiteral("chrome-extension://%1/").arg(QLatin1String(ChromiumExtensionId()))};
            QCOMPARE(manifest.value(folder.firefox ? QStringLiteral("allowed_extensions")
                                                   : QStringLiteral("allowed_origins")),
                     QJsonValue(allowed));
            QVERIFY(!manifest.contains(folder.firefox ? QStringLiteral("allowed_origins")
                                                      : QStringLiteral("allowed_extensions")));
        }
    }

    void enablingOnlyTheToolsItemOnACleanSystem() {
        BrowserHome home;
        ExtensionRegistrar registrar;
        // Switching off the two entry points that were never on fails their steps.
        QVERIFY(!registrar.Enable(true, false, false, true));
        QCOMPARE(home.Flags(), QStringList{QStringLiteral("ToolsMenu=1")});
        QCOMPARE(home.Manifests(), InstalledBrowsers);
        QCOMPARE(Query(registrar), (State{1, false, false, true}));
    }

    void turningTheExtensionOffRemovesEverything() {
        BrowserHome home;
        ExtensionRegistrar registrar;
        QVERIFY(registrar.Enable(true, true, true, true));
        QVERIFY(registrar.Enable(false, true, true, true));
        QCOMPARE(home.Flags(), QStringList{});
        QCOMPARE(home.Manifests(), QStringList{});
        QCOMPARE(Query(registrar), (State{0, false, false, false}));
        // Nothing is left to remove, so every step fails now.
        QVERIFY(!registrar.Enable(false, false, false, false));
        QVERIFY(!registrar.Apply(false, true, false, false));
        QCOMPARE(home.Flags(), QStringList{QStringLiteral("ContextMenu=1")});
    }

    void toolbarButtonOffWhileToolsItemStays() {
        BrowserHome home;
        ExtensionRegistrar registrar;
        QVERIFY(registrar.Enable(true, true, true, true));
        QVERIFY(registrar.Enable(true, true, false, true));
        QCOMPARE(home.Flags(), (QStringList{QStringLiteral("ContextMenu=1"), QStringLiteral("ToolsMenu=1")}));
        QCOMPARE(home.Manifests(), InstalledBrowsers);
        QCOMPARE(Query(registrar), (State{1, true, false, true}));
    }

    // Browsers count as installed by their program on PATH or a folder of theirs, before their
    // first start too; the manifest folders are made as needed.
    void installedBrowsersGetManifests_data() {
        QTest::addColumn<QStringList>("programs");
        QTest::addColumn<QStringList>("folders"); // below the home folder
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("none") << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("firefox-esr, never started")
            << QStringList{QStringLiteral("firefox-esr")} << QStringList{}
            << QStringList{QStringLiteral("firefox")};
        QTest::newRow("Firefox ESR's profiles in the configuration home")
            << QStringList{} << QStringList{QStringLiteral("config/mozilla")}
            << QStringList{QStringLiteral("firefox")};
        QTest::newRow("chromium and vivaldi, never started")
            << QStringList{QStringLiteral("chromium"), QStringLiteral("vivaldi-stable")} << QStringList{}
            << QStringList{QStringLiteral("chromium"), QStringLiteral("vivaldi")};
        QTest::newRow("Chrome and Edge by their folders")
            << QStringList{}
            << QStringList{QStringLiteral("config/google-chrome"), QStringLiteral("config/microsoft-edge")}
            << QStringList{QStringLiteral("google-chrome"), QStringLiteral("microsoft-edge")};
        QTest::newRow("brave-browser") << QStringList{QStringLiteral("brave-browser")} << QStringList{}
                                       << QStringList{QStringLiteral("BraveSoftware/Brave-Browser")};
    }

    void installedBrowsersGetManifests() {
        QFETCH(QStringList, programs);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, expected);
        BareHome home;
        ProgramsOnPath path(programs);
        for (const QString& folder : folders)
            QVERIFY(QDir().mkpath(home.Place(folder)));
        QStringList installed;
        for (const BrowserFolder& browser : BrowserFolders()) {
            if (browser.installed)
                installed.append(browser.browser);
        }
        QCOMPARE(installed, expected);

        ExtensionRegistrar registrar;
        // Nowhere to write is a failure, not a success that does nothing.
        QCOMPARE(registrar.Enable(true, true, true, true), !expected.isEmpty());
        QCOMPARE(home.Manifests(), expected);
        // The switches are what Options shows, whether or not a browser could be reached.
        QCOMPARE(Query(registrar), (State{2, true, true, true}));
    }

    // The repair a start runs (stale manifests are the start's own test): a manifest that is
    // right is not written again, and a folder that cannot be written is named while the other
    // browser is still served.
    void repairLeavesWhatIsRightAndNamesWhatFails() {
        BareHome home;
        ProgramsOnPath path({QStringLiteral("chromium"), QStringLiteral("firefox")});
        QList<BrowserFolder> browsers = BrowserFolders();
        browsers.removeIf([](const BrowserFolder& browser) { return !browser.installed; });
        QCOMPARE(browsers.size(), 2);
        ExtensionRegistrar registrar;
        home.SwitchOn({QStringLiteral("ToolbarButton")});
        QCOMPARE(registrar.RepairHostManifests(), QStringList{});

        const QDateTime earlier = QDateTime::currentDateTime().addSecs(-100);
        QFile right(browsers[1].ManifestPath());
        QVERIFY(right.open(QIODevice::ReadWrite) &&
                right.setFileTime(earlier, QFileDevice::FileModificationTime));
        right.close();
        QVERIFY(QDir(browsers[0].manifestFolder).removeRecursively());
        QFile blocker(browsers[0].manifestFolder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QCOMPARE(registrar.RepairHostManifests(), QStringList{browsers[0].ManifestPath()});
        QCOMPARE(QFileInfo(browsers[1].ManifestPath()).lastModified().toSecsSinceEpoch(),
                 earlier.toSecsSinceEpoch());
    }

    void quilletMustBeARunnableProgramInTheInstallFolder_data() {
        QTest::addColumn<QFile::Permissions>("permissions");
        QTest::addColumn<bool>("remove");
        QTest::addColumn<bool>("applied");
        QTest::newRow("runnable") << QFile::Permissions(QFile::ReadOwner | QFile::ExeOwner) << false << true;
        QTest::newRow("not executable") << QFile::Permissions(QFile::ReadOwner) << false << false;
        QTest::newRow("missing") << QFile::Permissions() << true << false;
    }

    void quilletMustBeARunnableProgramInTheInstallFolder() {
        QFETCH(QFile::Permissions, permissions);
        QFETCH(bool, remove);
        QFETCH(bool, applied);
        BrowserHome home;
        const QString quillet = QDir(home.InstallFolder()).filePath(QStringLiteral("quillet"));
        if (remove)
            QVERIFY(QFile::remove(quillet));
        else
            QVERIFY(QFile::setPermissions(quillet, permissions));
        ExtensionRegistrar registrar;
        QCOMPARE(registrar.Enable(true, true, true, true), applied);
        // The other steps ran all the same.
        QCOMPARE(Query(registrar), (State{2, true, true, true}));
        // Without the library step the program is not looked at.
        QVERIFY(registrar.Apply(false, true, true, true));
    }

    void programFolderComesFromInstallDirOrTheCaller() {
        BrowserHome home;
        QTemporaryDir elsewhere;
        ExtensionRegistrar(elsewhere.path()).Apply(false, true, false, false);
        const QString firefoxManifest = home.Home() + QStringLiteral("/.mozilla/native-messaging-hosts/") +
                                        QLatin1String(HostName) + QStringLiteral(".json");
        auto manifestPath = [&] {
            QFile file(firefoxManifest);
            file.open(QIODevice::ReadOnly);
            return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("path")).toString();
        };
        QCOMPARE(manifestPath(), QDir(elsewhere.path()).filePath(QStringLiteral("quillet")));

        // Without an installation folder no manifest can name the program.
        home.ClearInstallDir();
        ExtensionRegistrar registrar;
        QVERIFY(!registrar.Apply(false, true, false, false));
        QCOMPARE(manifestPath(), QDir(elsewhere.path()).filePath(QStringLiteral("quillet")));
    }
};

QTEST_GUILESS_MAIN(ExtensionRegistrarTest)
#include "tst_extensionregistrar.moc"
