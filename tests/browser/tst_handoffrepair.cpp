// A start of the program on a fresh home puts the browser hand-off right by itself: the
// installation folder follows the program when the stored one holds no Tarnwick, and each
// installed browser gets a host manifest naming the running installation's quillet.

#include "app/applicationcore.h"
#include "browser/hostmanifest.h"
#include "handofffixture.h"

#include <QCoreApplication>
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

QJsonObject ReadManifest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

class HandOffRepairTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    }

    void startRepairsInstallDirAndManifests_data() {
        QTest::addColumn<bool>("switchedOn");
        QTest::newRow("an entry point on") << true;
        QTest::newRow("all off") << false;
    }

    void startRepairsInstallDirAndManifests() {
        QFETCH(bool, switchedOn);
        HandOffFixture fixture; // "InstallDir" names a folder that holds no Tarnwick
        // Chromium never started; Firefox ESR started once, which leaves no ~/.mozilla.
        ProgramsOnPath path({QStringLiteral("chromium")});
        QVERIFY(QDir().mkpath(fixture.ConfigHome() + QStringLiteral("/mozilla")));
        if (switchedOn)
            fixture.SwitchOn({QStringLiteral("ContextMenu")});
        // What the last installation wrote, naming a quillet that is gone.
        const QString firefoxManifest = fixture.Home() + QStringLiteral("/.mozilla/native-messaging-hosts/") +
                                        QLatin1String(HostName) + QStringLiteral(".json");
        QVERIFY(QDir().mkpath(QFileInfo(firefoxManifest).path()));
        const QByteArray stale = HostManifest(QStringLiteral("/opt/gone/quillet"), true);
        QFile old(firefoxManifest);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(stale) == stale.size());
        old.close();

        const QString binDir = TestSupport::BinDir();
        {
            ApplicationCore core;
            QVERIFY(core.Start(binDir));
            QCOMPARE(core.InstallFolder(), binDir);
        }
        QCOMPARE(QSettings().value(QStringLiteral("InstallDir")).toString(), binDir);

        const QString chromiumManifest = fixture.ConfigHome() +
                                         QStringLiteral("/chromium/NativeMessagingHosts/") +
                                         QLatin1String(HostName) + QStringLiteral(".json");
        if (!switchedOn) {
            // Nothing on: the browsers are not touched, not even the stale manifest.
            QVERIFY(!QFile::exists(chromiumManifest));
            QCOMPARE(ReadManifest(firefoxManifest), QJsonDocument::fromJson(stale).object());
            return;
        }
        const QString quillet = QDir(binDir).filePath(QStringLiteral("quillet"));
        QVERIFY(QFileInfo(quillet).isExecutable());
        for (const auto& [manifestPath, allowedKey] :
             {std::pair{chromiumManifest, QStringLiteral("allowed_origins")},
              std::pair{firefoxManifest, QStringLiteral("allowed_extensions")}}) {
            const QJsonObject manifest = ReadManifest(manifestPath);
            QCOMPARE(manifest.value(QStringLiteral("name")).toString(), QLatin1String(HostName));
            QCOMPARE(manifest.value(QStringLiteral("path")).toString(), quillet);
            QCOMPARE(manifest.value(QStringLiteral("type")).toString(), QStringLiteral("stdio"));
            QCOMPARE(manifest.value(allowedKey).toArray().size(), 1);
        }
    }
};

QTEST_GUILESS_MAIN(HandOffRepairTest)
#include "tst_handoffrepair.moc"
