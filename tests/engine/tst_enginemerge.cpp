// The engine's stream-copy merge through the core binding, on real media made with the ffmpeg
// tool: the container chosen for the codecs, the streams and length of the merged file, and
// the failures that reach the job as a result line with nothing left behind.

#include "conversion/conversionengine.h"
#include "conversion/streammerge.h"
#include "enginetesting.h"
#include "testenvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using namespace EngineTesting;

namespace {

constexpr double kSeconds = 3.0;

// One input made by the ffmpeg tool: a test picture and/or a tone, with these codec arguments.
struct Source {
    QString name;
    QStringList codecs;
    bool picture = true;
    bool sound = false;
};

QString MakeSource(const QString& folder, const Source& source, QString* error) {
    QStringList args{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                     QStringLiteral("-y")};
    const QString length = QString::number(kSeconds);
    if (source.picture)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("testsrc=size=160x120:rate=25:duration=") + length;
    if (source.sound)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=48000:duration=") + length;
    const QString path = QDir(folder).filePath(source.name);
    args << source.codecs << path;
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(TestSupport::FfmpegPath(), args);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        *error = QString::fromLocal8Bit(ffmpeg.readAll());
    return path;
}

QStringList Leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*partial*"), QStringLiteral("merged*")}, QDir::Files);
}

} // namespace

Q_DECLARE_METATYPE(Source)

class TestEngineMerge : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void mergesIntoFittingContainer_data();
    void mergesIntoFittingContainer();
    void failuresReachTheSink_data();
    void failuresReachTheSink();

private:
    QString Make(const Source& source);

    QTemporaryDir folder_;
    ConversionEngine engine_;
};

QString TestEngineMerge::Make(const Source& source) {
    QString error;
    const QString path = MakeSource(folder_.path(), source, &error);
    if (!error.isEmpty())
        qWarning("fixture %s: %s", qPrintable(source.name), qPrintable(error));
    return path;
}

void TestEngineMerge::initTestCase() {
    QVERIFY(folder_.isValid());
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
}

void TestEngineMerge::mergesIntoFittingContainer_data() {
    QTest::addColumn<Source>("video");
    QTest::addColumn<Source>("audio");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("audioCodec");

    const QStringList h264{QStringLiteral("-c:v"),     QStringLiteral("libx264"),
                           QStringLiteral("-preset"),  QStringLiteral("ultrafast"),
                           QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};
    const QStringList vp9{QStringLiteral("-c:v"),      QStringLiteral("libvpx-vp9"),
                          QStringLiteral("-deadline"), QStringLiteral("realtime"),
                          QStringLiteral("-cpu-used"), QStringLiteral("8")};
    const QStringList aac{QStringLiteral("-c:a"), QStringLiteral("aac")};
    const QStringList opus{QStringLiteral("-c:a"), QStringLiteral("libopus")};

    QTest::newRow("H.264 and AAC") << Source{QStringLiteral("h264.mp4"), h264}
                                   << Source{QStringLiteral("aac.m4a"), aac, false, true} << ".mp4"
                                   << "aac";
    QTest::newRow("VP9 and Opus") << Source{QStringLiteral("vp9.webm"), vp9}
                                  << Source{QStringLiteral("opus.webm"), opus, false, true} << ".webm"
                                  << "opus";
    // The picture's own sound (AAC in MPEG-TS, as an HLS variant carries it) is not the one taken.
    QTest::newRow("H.264 with its own sound, and Opus")
        << Source{QStringLiteral("h264 with sound.ts"), h264 + aac, true, true}
        << Source{QStringLiteral("opus.ogg"), opus, false, true} << ".mkv"
        << "opus";
}

void TestEngineMerge::mergesIntoFittingContainer() {
    QFETCH(Source, video);
    QFETCH(Source, audio);
    QFETCH(QString, extension);
    QFETCH(QString, audioCodec);
    const QString videoPath = Make(video);
    const QString audioPath = Make(audio);

    QCOMPARE(MergeContainerExtension(engine_, videoPath, audioPath), extension);
    const QString output = folder_.filePath(QStringLiteral("merged") + extension);
    RecordingSink sink;
    QCOMPARE(MergeStreams(engine_, videoPath, audioPath, output, &sink), 0);
    QCOMPARE(sink.results, QStringList{QString()});
    QVERIFY(!sink.positions.isEmpty());
    QVERIFY2(qAbs(sink.positions.last() - sink.total) <= 100, qPrintable(QString::number(sink.total)));

    const ProbedFile merged = ProbeWithFfprobe(output);
    QVERIFY(merged.ok);
    QCOMPARE(merged.video.size(), 1);
    QCOMPARE(merged.audio.size(), 1);
    QCOMPARE(merged.video.first().width, 160);
    QCOMPARE(merged.audio.first().codec, audioCodec);
    QVERIFY2(qAbs(merged.duration - kSeconds) < 0.2, qPrintable(QString::number(merged.duration)));
    QVERIFY(QFile::remove(output));
    QCOMPARE(Leftovers(folder_.path()), QStringList());
}

void TestEngineMerge::failuresReachTheSink_data() {
    QTest::addColumn<QString>("videoName");
    QTest::addColumn<QString>("audioName");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QString>("named");

    QTest::newRow("the picture is not media") << "garbage.mp4"
                                              << "sound.m4a" << false << "garbage.mp4";
    QTest::newRow("the sound file has no sound") << "picture.mp4"
                                                 << "picture.mp4" << false << "-map 1:a";
    QTest::newRow("a file is missing") << "picture.mp4"
                                       << "nowhere.m4a" << false << "missing";
    QTest::newRow("stopped") << "picture.mp4"
                             << "sound.m4a" << true << "stopped";
}

void TestEngineMerge::failuresReachTheSink() {
    QFETCH(QString, videoName);
    QFETCH(QString, audioName);
    QFETCH(bool, stop);
    QFETCH(QString, named);
    Make({QStringLiteral("picture.mp4"), {QStringLiteral("-c:v"), QStringLiteral("libx264")}});
    Make({QStringLiteral("sound.m4a"), {QStringLiteral("-c:a"), QStringLiteral("aac")}, false, true});
    QVERIFY(WriteFile(folder_.filePath(QStringLiteral("garbage.mp4")), QByteArray(4096, 'x')));
    const QString videoPath = folder_.filePath(videoName);
    const QString audioPath = folder_.filePath(audioName);

    if (!stop)
        QCOMPARE(MergeContainerExtension(engine_, videoPath, audioPath), QString());
    RecordingSink sink;
    sink.stopWhen = [stop](const RecordingSink&) {
        return stop;
    };
    const QString output = folder_.filePath(QStringLiteral("merged.mkv"));
    QVERIFY(MergeStreams(engine_, videoPath, audioPath, output, &sink) != 0);
    QVERIFY2(sink.Failure().contains(named), qPrintable(sink.Failure()));
    QCOMPARE(Leftovers(folder_.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestEngineMerge)
#include "tst_enginemerge.moc"
