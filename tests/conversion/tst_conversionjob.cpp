#include "catalogtesting.h"
#include "conversion/conversionengine.h"
#include "conversion/conversionjob.h"
#include "conversion/formatcatalog.h"
#include "queue/progresssink.h"
#include "recordingcontrol.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using TestSupport::CatalogPreset;
using TestSupport::FactoryCatalog;

Q_DECLARE_METATYPE(std::vector<VarnexStreamRecord>)

namespace {

class CountingSink : public ProgressSink {
public:
    int calls = 0;
    QString result; // the last result line
    int Begin() override { return ++calls, 0; }
    int End() override { return ++calls, 0; }
    int Progress(int, int) override { return ++calls, 0; }
    int Status(int kind, const QString& text) override {
        if (kind == StatusResult)
            result = text;
        return ++calls, 0;
    }
    int IsCancelled() override { return ++calls, 0; }
};

} // namespace

class TestConversionJob : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void commandLine_data();
    void commandLine();
    void resetRestoresStartValues();
    void convertsWithTheResolvedLine_data();
    void convertsWithTheResolvedLine();
    void engineIsNotAskedToConvert_data();
    void engineIsNotAskedToConvert();
    void engineResultIsPassedOn();
    void unavailableEngineIsAskedToSayWhy();

private:
    QString SourcePath() const { return folder_.filePath(QStringLiteral("my videos/source clip.flv")); }
    QString OutputPath() const { return folder_.filePath(QStringLiteral("out put.tmp")); }

    RecordingControl recording_;
    QTemporaryDir folder_;
    Catalog catalog_;
};

void TestConversionJob::initTestCase() {
    QVERIFY2(recording_.Load(RECORDING_ENGINE_PATH), dlerror());
    QVERIFY(QDir(folder_.path()).mkpath(QStringLiteral("my videos")));
    QFile source(SourcePath());
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write("not probed by the recording engine");
    catalog_ = FactoryCatalog();
}

void TestConversionJob::init() {
    recording_.Reset();
}

void TestConversionJob::commandLine_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("line");

    QTest::newRow("start values") << ""
                                  << " encoder -y";
    QTest::newRow("paths with spaces are quoted")
        << "paths"
        << " encoder -i \"/tmp/a b/in.flv\" -y \"/tmp/a b/out.3gp\"";
    QTest::newRow("no overwrite") << "no overwrite"
                                  << " encoder";
    QTest::newRow("everything the table knows")
        << "everything"
        << " encoder -i \"in.flv\" -itsoffset 00:00:01.500 -i \"music.mp3\" -map 0:0 -map 1:0"
           " -ss 01:02:03.004 -t 00:00:00.500 -fs 5000000000 -cropleft 8 -croptop 4 -cropright 2 -cropbottom "
           "1"
           " -title My clip -author Me -copyright 2026 -comment one two -album Trips -year 2026 -track 0"
           " -f mp4 -pix_fmt nv12 -vcodec mpeg4 -s 320x240 -r 30000/1001 -b 2500000"
           " -acodec libfaac -ac 2 -ar 44100 -ab 128000 -y \"out.mp4\" -extra words";
    QTest::newRow("disabled kinds drop their values") << "disabled"
                                                      << " encoder -f 3gp -vn -an -y";
    QTest::newRow("half a pair is left out") << "halves"
                                             << " encoder -y";
    QTest::newRow("pixel format without a name is left out") << "pixel 37"
                                                             << " encoder -y";
}

void TestConversionJob::commandLine() {
    QFETCH(QString, change);
    QFETCH(QString, line);
    ConversionParams params;
    if (change == QLatin1String("paths")) {
        params.input = QStringLiteral("/tmp/a b/in.flv");
        params.output = QStringLiteral("/tmp/a b/out.3gp");
    } else if (change == QLatin1String("no overwrite")) {
        params.overwrite = false;
    } else if (change == QLatin1String("everything")) {
        params.input = QStringLiteral("in.flv");
        params.secondInput = QStringLiteral("music.mp3");
        params.secondInputOffset = 1500;
        params.mapFirstFile = 0;
        params.mapFirstStream = 0;
        params.mapSecondFile = 1;
        params.mapSecondStream = 0;
        params.startTime = 3723004;
        params.duration = 500;
        params.sizeLimit = 5000000000LL;
        params.cropLeft = 8;
        params.cropTop = 4;
        params.cropRight = 2;
        params.cropBottom = 1;
        params.title = QStringLiteral("My clip");
        params.author = QStringLiteral("Me");
        params.copyright = QStringLiteral("2026");
        params.comment = QStringLiteral("one two");
        params.album = QStringLiteral("Trips");
        params.year = 2026;
        params.track = 0;
        params.format = QStringLiteral("mp4");
        params.pixelFormat = 36;
        params.videoCodec = QStringLiteral("mpeg4");
        params.width = 320;
        params.height = 240;
        params.frameRateNum = 30000;
        params.frameRateDen = 1001;
        params.videoBitRate = 2500000;
        params.audioCodec = QStringLiteral("libfaac");
        params.channels = 2;
        params.sampleRate = 44100;
        params.audioBitRate = 128000;
        params.output = QStringLiteral("out.mp4");
        params.extraArgs = QStringLiteral("-extra words");
    } else if (change == QLatin1String("disabled")) {
        params.format = QStringLiteral("3gp");
        params.disableVideo = true;
        params.disableAudio = true;
        params.videoCodec = QStringLiteral("h263");
        params.width = 176;
        params.height = 144;
        params.pixelFormat = 0;
        params.audioCodec = QStringLiteral("libamr_nb");
        params.sampleRate = 8000;
    } else if (change == QLatin1String("halves")) {
        params.width = 320;
        params.frameRateNum = 25;
        params.mapFirstFile = 0;
        params.mapFirstStream = 0;
        params.mapSecondFile = 1;
        params.secondInputOffset = 1000;
    } else if (change == QLatin1String("pixel 37")) {
        params.pixelFormat = 37;
    }
    QCOMPARE(BuildCommandLine(params), line);
}

void TestConversionJob::resetRestoresStartValues() {
    ConversionParams params;
    params.input = QStringLiteral("x");
    params.track = 4;
    params.pixelFormat = 2;
    params.overwrite = false;
    params.mapSecondStream = 3;
    params.Reset();
    QCOMPARE(BuildCommandLine(params), QStringLiteral(" encoder -y"));
    QCOMPARE(params.track, -1);
    QCOMPARE(params.pixelFormat, -1);
    QCOMPARE(params.mapSecondStream, -1);
    QCOMPARE(PixelFormatNames().size(), 37);
    QCOMPARE(PixelFormatNames().front(), QStringLiteral("yuv420p"));
}

void TestConversionJob::convertsWithTheResolvedLine_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("preset");
    QTest::addColumn<std::vector<VarnexStreamRecord>>("streams");
    QTest::addColumn<QString>("options");

    const VarnexStreamRecord video = RecordingControl::Video(25, 1, 300000, 320, 240);
    const VarnexStreamRecord stereo = RecordingControl::Audio(44100, 64000, 2);

    QTest::newRow("3G2 Optimal Quality")
        << "Mobile Phone - 3G2" << 0 << std::vector{video, stereo}
        << "-f 3g2 -vcodec h263 -s 176x144 -r 15/1 -b 128000 -acodec libamr_nb -ac 1 -ar 8000 -ab 12200";
    QTest::newRow("MP3 Good Quality on a video source")
        << "MP3" << 0 << std::vector{video, stereo}
        << "-f mp3 -vn -acodec libmp3lame -ac 2 -ar 44100 -ab 128000";
    QTest::newRow("MP3 of unlisted source values takes the defaults")
        << "MP3" << 0 << std::vector{video, RecordingControl::Audio(96000, 64000, 6)}
        << "-f mp3 -vn -acodec libmp3lame -ac 2 -ar 44100 -ab 128000";
    QTest::newRow("3GP Smallest Size without Audio")
        << "Mobile Phone - 3GP" << 5 << std::vector{video, stereo}
        << "-f 3gp -vcodec mpeg4 -s 128x96 -r 10/1 -b 32000 -an";
    QTest::newRow("FLV Medium Quality follows the source")
        << "FLV" << 2 << std::vector{RecordingControl::Video(25, 1, 0, 400, 226), stereo}
        << "-f flv -vcodec flv -s 400x226 -r 25/1 -b 400000 -acodec libmp3lame -ac 2 -ar 44100 -ab 96000";
    QTest::newRow("video without audio has no audio options")
        << "Mobile Phone - 3G2" << 0 << std::vector{video}
        << "-f 3g2 -vcodec h263 -s 176x144 -r 15/1 -b 128000";
    QTest::newRow("audio without video has no video options")
        << "AVI" << 0 << std::vector{stereo} << "-f avi -acodec libmp3lame -ac 2 -ar 22050 -ab 96000";
    QTest::newRow("the first stream of each kind counts")
        << "FLV" << 2
        << std::vector{RecordingControl::Audio(22050, 0, 1), RecordingControl::Video(30, 1, 0, 640, 360),
                       RecordingControl::Video(25, 1, 0, 400, 226), stereo}
        << "-f flv -vcodec flv -s 640x360 -r 30/1 -b 400000 -acodec libmp3lame -ac 2 -ar 22050 -ab 96000";
}

void TestConversionJob::convertsWithTheResolvedLine() {
    QFETCH(QString, format);
    QFETCH(int, preset);
    QFETCH(std::vector<VarnexStreamRecord>, streams);
    QFETCH(QString, options);
    recording_.SetStreams(streams);
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    CountingSink sink;

    QCOMPARE(ConvertFile(engine, SourcePath(), OutputPath(), CatalogPreset(catalog_, format, preset), &sink),
             0);
    const QString expected =
        QStringLiteral(" encoder -i \"%1\" %2 -y \"%3\"").arg(SourcePath(), options, OutputPath());
    QCOMPARE(recording_.LastText(), expected);
    QVERIFY(recording_.Commands().contains(VARNEX_CMD_PROBE));
    QCOMPARE(recording_.Commands().last(), int(VARNEX_CMD_CONVERT_WITH_CONTEXT));
    QVERIFY(sink.calls > 0);
}

void TestConversionJob::engineIsNotAskedToConvert_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("probeResult");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing source") << "missing.flv"
                                    << "out.tmp" << 0 << "The file to convert is missing";
    QTest::newRow("probe fails") << ""
                                 << "out.tmp" << -3 << "cannot read the downloaded file";
}

void TestConversionJob::engineIsNotAskedToConvert() {
    QFETCH(QString, source);
    QFETCH(QString, output);
    QFETCH(int, probeResult);
    QFETCH(QString, reason);
    recording_.Reset(0, probeResult);
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    const QString sourcePath = source.isEmpty() ? SourcePath() : folder_.filePath(source);
    ConversionParams params;
    params.title = QStringLiteral("stale");
    const Preset& preset = CatalogPreset(catalog_, QStringLiteral("AVI"), 0);
    QVERIFY(!PrepareParams(engine, params, sourcePath, folder_.filePath(output), preset));
    QVERIFY(params.title.isEmpty());
    QVERIFY(ConvertFile(engine, sourcePath, folder_.filePath(output), preset, nullptr) != 0);
    CountingSink sink;
    QVERIFY(ConvertFile(engine, sourcePath, folder_.filePath(output), preset, &sink) != 0);
    QVERIFY2(sink.result.contains(reason), qPrintable(sink.result));
    QVERIFY(!recording_.Commands().contains(VARNEX_CMD_CONVERT_WITH_CONTEXT));
}

// A probe cannot say why the engine cannot serve; a convert request lets the engine say it.
void TestConversionJob::unavailableEngineIsAskedToSayWhy() {
    recording_.Reset(-1, -1);
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    const Preset& preset = CatalogPreset(catalog_, QStringLiteral("AVI"), 0);
    QCOMPARE(ConvertFile(engine, SourcePath(), OutputPath(), preset, nullptr), -1);
    QVERIFY(recording_.Commands().contains(VARNEX_CMD_CONVERT_WITH_CONTEXT));
}

void TestConversionJob::engineResultIsPassedOn() {
    recording_.Reset(-3);
    recording_.SetStreams({RecordingControl::Video(25, 1, 0, 320, 240)});
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    const Preset& preset = CatalogPreset(catalog_, QStringLiteral("AVI"), 0);
    QCOMPARE(ConvertFile(engine, SourcePath(), OutputPath(), preset, nullptr), -3);

    ConversionEngine closed;
    QVERIFY(ConvertFile(closed, SourcePath(), OutputPath(), preset, nullptr) != 0);
}

QTEST_GUILESS_MAIN(TestConversionJob)
#include "tst_conversionjob.moc"
