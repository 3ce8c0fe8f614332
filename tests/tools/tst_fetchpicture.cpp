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

int HeightOf(const QString& path) {
    return TestSupport::ProbedPicture(path).section(u' ', 0, 0).toInt();
}

// A DASH manifest as sites serve it: H.264 pictures from 144p to 2160p, VP9 and HEVC at 1080p,
// each picture without sound, and one sound track; one second of each.
bool MakeDashLadder(const QString& folder) {
    QDir().mkpath(folder);
    QProcess ffmpeg;
    ffmpeg.setWorkingDirectory(folder);
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    const QString pictures = QStringLiteral(
        "[0:v]split=7[a][b][c][d][e][f][g];[a]scale=256:144[p144];[b]scale=640:360[p360];"
        "[c]scale=1280:720[p720];[d]scale=1920:1080[p1080];[e]null[p2160];[f]scale=1920:1080[vp9];"
        "[g]scale=1920:1080[hevc]");
    const QString arguments = QStringLiteral(
        "-hide_banner -loglevel error -f lavfi -i testsrc2=size=3840x2160:rate=10:duration=1 "
        "-f lavfi -i sine=frequency=440:duration=1 -filter_complex %1 "
        "-map [p144] -map [p360] -map [p720] -map [p1080] -map [p2160] -map [vp9] -map [hevc] -map 1:a "
        "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:v:5 libvpx-vp9 -deadline realtime -cpu-used 8 "
        "-c:v:6 libx265 -x265-params log-level=error -c:a aac -f dash -seg_duration 1 "
        "-adaptation_sets %2 ladder.mpd");
    QStringList list = arguments.split(u' ');
    list.replace(list.indexOf(QStringLiteral("%1")), pictures);
    list.replace(list.indexOf(QStringLiteral("%2")),
                 QStringLiteral("id=0,streams=0,1,2,3,4 id=1,streams=5 id=2,streams=6 id=3,streams=7"));
    ffmpeg.start(TestSupport::FfmpegPath(), list);
    const bool made = ffmpeg.waitForFinished(300000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
                      ffmpeg.exitCode() == 0;
    if (!made)
        qWarning("%s", ffmpeg.readAll().constData());
    return made;
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
        QVERIFY(MakeDashLadder(service_.MediaFolder() + QStringLiteral("/dash")));
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
        QString out;
        const QString picture = Fetch(address, quality, limit, QString(), out);
        QCOMPARE(picture.section(u' ', 0, 0).toInt(), height);
        QVERIFY2(out.contains(said), qPrintable(out));
    }

    // yt-dlp reads the manifest (Debian's, on the local service); the one rule chooses among
    // its formats, and each picture, offered without sound, is delivered with the sound track.
    void dashThroughYtDlp_data() {
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("picture");
        QTest::newRow("largest, no limit") << 2 << 0 << ""
                                           << "2160 h264 + sound";
        QTest::newRow("largest at most 1080") << 2 << 1080 << ""
                                              << "1080 h264 + sound";
        QTest::newRow("largest at most 1080 in VP9") << 2 << 1080 << "vp9"
                                                     << "1080 vp9 + sound";
        QTest::newRow("largest at most 1080 in HEVC") << 2 << 1080 << "hevc"
                                                      << "1080 hevc + sound";
        QTest::newRow("a codec not offered at the height") << 2 << 720 << "av1"
                                                           << "720 h264 + sound";
        QTest::newRow("middle at most 720") << 1 << 720 << ""
                                            << "360 h264 + sound";
        QTest::newRow("middle, no limit") << 1 << 0 << ""
                                          << "720 h264 + sound";
        QTest::newRow("smallest at most 720") << 0 << 720 << ""
                                              << "144 h264 + sound";
        QTest::newRow("below every picture") << 2 << 100 << ""
                                             << "144 h264 + sound";
    }

    void dashThroughYtDlp() {
        QFETCH(int, quality);
        QFETCH(int, limit);
        QFETCH(QString, codec);
        QFETCH(QString, picture);
        QString out;
        QCOMPARE(Fetch(QStringLiteral("/media/dash/ladder.mpd"), quality, limit, codec, out), picture);
        // The merge of picture and sound tells the file the title yt-dlp read (EmbedMetadata).
        QCOMPARE(titleTag_, QStringLiteral("ladder"));
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
    // Downloads the address with the values given; "<height> <codec>" of what was delivered.
    QString Fetch(const QString& address, int quality, const QVariant& limit, const QString& codec,
                  QString& out) {
        TestSupport::IsolatedProfile profile;
        {
            QSettings settings(profile.SettingsFile(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("Settings/Convert"), 0);
            settings.setValue(QStringLiteral("Settings/Quality"), quality);
            settings.setValue(QStringLiteral("Settings/LargestPicture"), limit);
            settings.setValue(QStringLiteral("Settings/PreferredCodec"), codec);
        }
        QTemporaryDir output;
        QProcess fetch;
        fetch.setProcessChannelMode(QProcess::MergedChannels);
        fetch.start(TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch"),
                    {output.path(), service_.Url(address)});
        fetch.waitForFinished(120000);
        out = QString::fromUtf8(fetch.readAll());
        const QStringList files = QDir(output.path()).entryList(QDir::Files);
        if (fetch.exitCode() != 0 || files.size() != 1) {
            qWarning("%s", qPrintable(out));
            return QString();
        }
        const QString file = output.filePath(files.first());
        titleTag_ = TestSupport::ProbedTag(file, QStringLiteral("title"));
        return TestSupport::ProbedPicture(file) +
               (TestSupport::ProbedSound(file) ? QStringLiteral(" + sound") : QString());
    }

    SampleService service_;
    QString titleTag_; // of the last file Fetch delivered
};

QTEST_MAIN(TestFetchPicture)
#include "tst_fetchpicture.moc"
