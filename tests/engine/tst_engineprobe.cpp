// The real engine library, reached through the real binding, on media files made by ffmpeg.

#include "conversion/conversionengine.h"
#include "conversion/mediainfo.h"
#include "mediafixtures.h"
#include "testenvironment.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using TestSupport::FixtureContents;

class TestEngineProbe : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void probe_data();
    void probe();
    void notMediaFails();

private:
    QString MakeFixture(const QString& name, const FixtureContents& contents);

    QTemporaryDir fixtures_;
    ConversionEngine engine_;
};

void TestEngineProbe::initTestCase() {
    QVERIFY(fixtures_.isValid());
    QVERIFY2(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())),
             qPrintable(TestSupport::BinDir()));
}

QString TestEngineProbe::MakeFixture(const QString& name, const FixtureContents& contents) {
    const QString path = fixtures_.filePath(name);
    QString error;
    if (!TestSupport::MakeMediaFixture(path, contents, &error))
        qWarning("fixture %s: %s", qPrintable(name), qPrintable(error));
    return path;
}

void TestEngineProbe::probe_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("video");
    QTest::addColumn<bool>("audio");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("frameRate");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");

    QTest::newRow("flv with both") << QStringLiteral("both.flv") << true << true << 320 << 240 << 25 << 22050
                                   << 1;
    QTest::newRow("mp4 with both") << QStringLiteral("both.mp4") << true << true << 176 << 144 << 15 << 44100
                                   << 2;
    QTest::newRow("flv without audio")
        << QStringLiteral("silent.flv") << true << false << 160 << 120 << 30 << 0 << 0;
    QTest::newRow("flv without video")
        << QStringLiteral("sound.flv") << false << true << 0 << 0 << 0 << 44100 << 2;
    QTest::newRow("mp4 without video")
        << QStringLiteral("sound.mp4") << false << true << 0 << 0 << 0 << 22050 << 1;
}

void TestEngineProbe::probe() {
    QFETCH(QString, name);
    QFETCH(bool, video);
    QFETCH(bool, audio);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, frameRate);
    QFETCH(int, sampleRate);
    QFETCH(int, channels);

    FixtureContents contents;
    contents.video = video;
    contents.audio = audio;
    contents.width = width;
    contents.height = height;
    contents.frameRate = frameRate;
    contents.sampleRate = sampleRate;
    contents.channels = channels;
    const QString path = MakeFixture(name, contents);

    MediaInfo info;
    QVERIFY(engine_.Probe(path, info));
    QCOMPARE(info.StreamCount(), int(video) + int(audio));

    const VarnexStreamRecord* audioStream = info.FirstStream(VARNEX_STREAM_AUDIO);
    const VarnexStreamRecord* videoStream = info.FirstStream(VARNEX_STREAM_VIDEO);
    QCOMPARE(audioStream != nullptr, audio);
    QCOMPARE(videoStream != nullptr, video);
    if (audio) {
        QCOMPARE(info.Stream(0).type, int(VARNEX_STREAM_AUDIO)); // audio sorts first
        QCOMPARE(audioStream->values.audio.sampleRate, sampleRate);
        QCOMPARE(audioStream->values.audio.channels, channels);
        // 64 kbps was asked for; encoders and containers round a little.
        QVERIFY2(audioStream->values.audio.bitRate > 32000 && audioStream->values.audio.bitRate < 160000,
                 qPrintable(QString::number(audioStream->values.audio.bitRate)));
    }
    if (video) {
        QCOMPARE(videoStream->values.video.width, width);
        QCOMPARE(videoStream->values.video.height, height);
        const VarnexVideoValues& values = videoStream->values.video;
        QVERIFY(values.frameRateDenominator > 0);
        QCOMPARE(double(values.frameRateNumerator) / values.frameRateDenominator, double(frameRate));
        QVERIFY2(values.bitRate > 0, "a video stream's bit rate is stated or estimated");
    }
}

void TestEngineProbe::notMediaFails() {
    const QString path = fixtures_.filePath(QStringLiteral("notes.flv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is not a video file at all");
    file.close();
    MediaInfo info;
    QVERIFY(!engine_.Probe(path, info));
    QVERIFY(!engine_.Probe(fixtures_.filePath(QStringLiteral("missing.flv")), info));
}

QTEST_GUILESS_MAIN(TestEngineProbe)
#include "tst_engineprobe.moc"
