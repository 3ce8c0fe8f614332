// The picture a download takes under LargestPicture and the quality, through tarnwick-fetch
// from the sample service's pages and playlists, as the delivered file's height shows it.

#include "sampleservice.h"
#include "testenvironment.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The picture height of the file's first video stream; 0 when there is none.
int HeightOf(const QString& path) {
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                 QStringLiteral("v:0"), QStringLiteral("-show_entries"), QStringLiteral("stream=height"),
                 QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(30000);
    // A transport stream lists its streams once more under its program: the first line serves.
    return probe.readAllStandardOutput().trimmed().split('\n').first().trimmed().toInt();
}

} // namespace

class TestFetchPicture : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(service_.Start(), qPrintable(service_.Error()));
        // Renditions and variants of 240, 360 and 480 lines.
        QVERIFY2(service_.AddWebMedia(QStringLiteral("ladder"),
                                      {QStringLiteral("--size"), QStringLiteral("640x480")}),
                 qPrintable(service_.Error()));
    }

    void takesThePictureTheLimitAllows_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QVariant>("limit");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("said"); // a part of what the output says it took; empty: nothing
        const QString page = QStringLiteral("/html5?v=ladder");
        const QString master = QStringLiteral("/hls/ladder/master.m3u8");
        QTest::newRow("page, largest, no limit") << page << 2 << QVariant(0) << 480 << "largest of 3";
        QTest::newRow("page, largest at most 400")
            << page << 2 << QVariant(400) << 360 << "360p, largest of 2 at most 400p";
        QTest::newRow("page, middle at most 400: the lower")
            << page << 1 << QVariant(400) << 240 << "middle of 2";
        QTest::newRow("page, a limit below every picture")
            << page << 2 << QVariant(100) << 240 << "none at most 100p";
        QTest::newRow("page, a limit that is no number: none")
            << page << 2 << QVariant(QStringLiteral("HD")) << 480 << "largest of 3";
        QTest::newRow("playlist, largest at most 360")
            << master << 2 << QVariant(360) << 360 << "largest of 2 at most 360p";
        QTest::newRow("playlist, smallest, no limit") << master << 0 << QVariant(0) << 240 << "smallest of 3";
    }

    void takesThePictureTheLimitAllows() {
        QFETCH(QString, address);
        QFETCH(int, quality);
        QFETCH(QVariant, limit);
        QFETCH(int, height);
        QFETCH(QString, said);
        TestSupport::IsolatedProfile profile;
        {
            QSettings settings(profile.SettingsFile(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("Settings/Convert"), 0);
            settings.setValue(QStringLiteral("Settings/Quality"), quality);
            settings.setValue(QStringLiteral("Settings/LargestPicture"), limit);
        }
        QTemporaryDir output;
        QProcess fetch;
        fetch.setProcessChannelMode(QProcess::MergedChannels);
        fetch.start(TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch"),
                    {output.path(), service_.Url(address)});
        QVERIFY(fetch.waitForFinished(120000));
        const QString out = QString::fromUtf8(fetch.readAll());
        QVERIFY2(fetch.exitCode() == 0, qPrintable(out));
        const QStringList files = QDir(output.path()).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QCOMPARE(HeightOf(output.filePath(files.first())), height);
        QVERIFY2(out.contains(said), qPrintable(out));
    }

    // --list-formats names every variant with its height and downloads nothing; --format takes
    // the one named, whatever the limit and the quality say, and one no longer offered gives
    // way to the rule with a word about it.
    void listsTheFormatsAndTakesTheOneNamed() {
        TestSupport::IsolatedProfile profile;
        {
            QSettings settings(profile.SettingsFile(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("Settings/Convert"), 0);
            settings.setValue(QStringLiteral("Settings/LargestPicture"), 240);
            settings.setValue(QStringLiteral("Settings/AlwaysOverwrite"), 1);
        }
        const QString master = service_.Url(QStringLiteral("/hls/ladder/master.m3u8"));
        const auto fetch = [](const QStringList& arguments, QString& out) {
            QProcess process;
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.start(TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch"), arguments);
            process.waitForFinished(120000);
            out = QString::fromUtf8(process.readAll());
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        };
        QString out;
        QCOMPARE(fetch({QStringLiteral("--list-formats"), master}, out), 0);
        QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4); // the heading and three variants
        for (int i = 0; i < 3; ++i)
            QVERIFY2(lines[i + 1].startsWith(QStringLiteral("hls-%1 ").arg(i)) &&
                         lines[i + 1].contains(QStringLiteral(" %1p ").arg(240 + 120 * i)),
                     qPrintable(out));

        QTemporaryDir output;
        QCOMPARE(fetch({QStringLiteral("--format"), QStringLiteral("hls-2"), output.path(), master}, out), 0);
        QCOMPARE(HeightOf(output.filePath(QStringLiteral("master.ts"))), 480);
        QCOMPARE(fetch({QStringLiteral("--format"), QStringLiteral("hls-9"), output.path(), master}, out), 0);
        QVERIFY2(out.contains(QStringLiteral("format hls-9 is not offered; 320x240")), qPrintable(out));
        QCOMPARE(
            fetch({QStringLiteral("--format"), QStringLiteral("hls-1"), output.path(), master, master}, out),
            2);
    }

private:
    SampleService service_;
};

QTEST_MAIN(TestFetchPicture)
#include "tst_fetchpicture.moc"
