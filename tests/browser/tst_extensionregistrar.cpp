// The registrar on a home folder of its own: Quillet's flags, the host manifests in the folders
// of the browsers that are installed, and what QueryState reads back.

#include "browser/extensionregistrar.h"
#include "browser/hostmanifest.h"
#include "handofffixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTest>

using namespace Tarnwick;
using TestSupport::HandOffFixture;

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

// A home where Chromium, Brave and Firefox have been run, and an installation folder with a
// quillet program.
struct BrowserHome : HandOffFixture {
    BrowserHome() {
        for (const QString& folder : {ConfigHome() + QStringLiteral("/chromium"),
                                      ConfigHome() + QStringLiteral("/BraveSoftware/Brave-Browser"),
                                      HandOffFixture::Home() + QStringLiteral("/.mozilla")})
            QDir().mkpath(folder);
        QFile quillet(QDir(InstallFolder()).filePath(QStringLiteral("quillet")));
        quillet.open(QIODevice::WriteOnly);
        quillet.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

    // An entry point counts only with a way to the host, and the flags count only while one
    // of the manifests is there.
    void flagsWithoutAnyManifestAreNotPresent() {
        HandOffFixture bare; // no browser has been run in this home
        ExtensionRegistrar registrar;
        QVERIFY(!registrar.Enable(true, true, true, true));
        QCOMPARE(Query(registrar), (State{0, false, false, false}));

        QDir().mkpath(bare.Home() + QStringLiteral("/.mozilla"));
        QVERIFY(registrar.Apply(false, true, true, true));
        QCOMPARE(Query(registrar), (State{2, true, true, true}));
        QVERIFY(QFile::remove(bare.Home() + QStringLiteral("/.mozilla/native-messaging-hosts/") +
                              QLatin1String(HostName) + QStringLiteral(".json")));
        QCOMPARE(Query(registrar), (State{0, false, false, false}));
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
