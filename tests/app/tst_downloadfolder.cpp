// The folder a run saves to when the field is empty: always a folder that exists, never an
// empty name.

#include "app/downloadfolder.h"

#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

class DownloadFolderTest : public QObject {
    Q_OBJECT

private slots:
    void fallbackPrefersVideosThenDownloadsThenHome_data() {
        QTest::addColumn<QStringList>("folders"); // made in the home folder beforehand
        QTest::addColumn<QString>("expected");    // relative to the home folder
        QTest::newRow("both") << QStringList{QStringLiteral("Videos"), QStringLiteral("Downloads")}
                              << QStringLiteral("Videos");
        QTest::newRow("only downloads")
            << QStringList{QStringLiteral("Downloads")} << QStringLiteral("Downloads");
        QTest::newRow("neither: videos made") << QStringList{} << QStringLiteral("Videos");
        QTest::newRow("videos cannot be made") << QStringList{QStringLiteral("Videos=file")} << QString();
    }

    void fallbackPrefersVideosThenDownloadsThenHome() {
        QFETCH(QStringList, folders);
        QFETCH(QString, expected);
        TestSupport::IsolatedProfile profile; // no user-dirs.dirs: the folders' usual names
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        for (const QString& folder : folders) {
            if (folder.endsWith(QStringLiteral("=file"))) {
                QFile file(home.filePath(folder.section(QLatin1Char('='), 0, 0)));
                QVERIFY(file.open(QIODevice::WriteOnly));
            } else {
                QVERIFY(QDir(home.path()).mkpath(folder));
            }
        }
        const QString chosen = FallbackDownloadFolder();
        qputenv("HOME", oldHome);
        QCOMPARE(QDir::cleanPath(chosen), QDir::cleanPath(home.filePath(expected)));
        QVERIFY(QFileInfo(chosen).isDir());
    }
};

QTEST_GUILESS_MAIN(DownloadFolderTest)
#include "tst_downloadfolder.moc"
