// HLS through the per-job procedure against the sample service: the picture chosen among
// variants beside sound-only ones, a picture's sound fetched from its rendition and merged by
// the real engine, and segments fetched side by side written in playlist order.

#include "conversion/conversionengine.h"
#include "retrieval/job/processjob.h"
#include "sampleservice.h"
#include "testenvironment.h"
#include "testjobcontext.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(VideoQuality)

namespace {

const QString Id = QStringLiteral("rend");

// The streams ffprobe finds: the picture's height (0 without one), the sound streams, and
// the length in seconds.
struct Streams {
    int videoStreams = 0;
    int height = 0;
    int audioStreams = 0;
    double seconds = 0;
};

Streams Probe(const QString& path) {
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_streams"),
                 QStringLiteral("-show_format"), QStringLiteral("-of"), QStringLiteral("json"), path});
    probe.waitForFinished(30000);
    const QJsonObject report = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    Streams streams;
    for (const QJsonValue& value : report.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("video")) {
            ++streams.videoStreams;
            streams.height = stream.value(QStringLiteral("height")).toInt();
        } else if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("audio")) {
            ++streams.audioStreams;
        }
    }
    streams.seconds = report.value(QStringLiteral("format"))
                          .toObject()
                          .value(QStringLiteral("duration"))
                          .toString()
                          .toDouble();
    return streams;
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The last result line that says something: the job's failure.
QString Failure(const RecordingSink& sink) {
    const QStringList results = sink.calls.filter(QRegularExpression(QStringLiteral("^Status 3 .")));
    return results.isEmpty() ? QString() : results.last();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestHlsRenditions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void deliversPictureWithSound_data();
    void deliversPictureWithSound();
    void separateSoundNeedsTheEngine();
    void segmentsFinishingOutOfOrderKeepTheirOrder_data();
    void segmentsFinishingOutOfOrderKeepTheirOrder();

private:
    int RunJob(TestJobContext& context, const QString& path, VideoQuality quality);

    SampleService service_;
    ConversionEngine engine_;
    QTemporaryDir outputRoot_;
    QScopedPointer<QTemporaryDir> output_;
};

void TestHlsRenditions::initTestCase() {
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
    QVERIFY2(service_.AddWebMedia(Id), qPrintable(service_.Error()));
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
}

void TestHlsRenditions::init() {
    output_.reset(new QTemporaryDir(outputRoot_.filePath(QStringLiteral("out-XXXXXX"))));
}

int TestHlsRenditions::RunJob(TestJobContext& context, const QString& path, VideoQuality quality) {
    context.outputFolder = output_->path();
    context.videoHost = service_.Host();
    context.AddJob(service_.Url(QStringLiteral("/hls/%1/%2").arg(Id, path)));
    return ProcessJob(context, 0, quality, false);
}

void TestHlsRenditions::deliversPictureWithSound_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<VideoQuality>("quality");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("height");          // 0: no picture
    QTest::addColumn<QString>("sameBytesAs"); // a variant whose segments the file is, untouched

    // The service's picture heights are 120, 180 and 240; its sound-only variant comes first.
    QTest::newRow("smallest picture, merged with its sound")
        << "alt/master.m3u8" << VideoQuality::Standard << "master.mp4" << 120 << "";
    QTest::newRow("middle picture") << "alt/master.m3u8" << VideoQuality::HighFlv << "master.mp4" << 180
                                    << "";
    QTest::newRow("largest picture, not the I-frame playlist")
        << "alt/master.m3u8" << VideoQuality::HighMp4 << "master.mp4" << 240 << "";
    QTest::newRow("sound only, when that is all there is")
        << "alt/sound.m3u8" << VideoQuality::HighMp4 << "sound.ts" << 0 << "alt/audio";
    QTest::newRow("a sound group without address is in the variant")
        << "alt/inside.m3u8" << VideoQuality::HighMp4 << "inside.ts" << 240 << "v2";
}

void TestHlsRenditions::deliversPictureWithSound() {
    QFETCH(QString, path);
    QFETCH(VideoQuality, quality);
    QFETCH(QString, fileName);
    QFETCH(int, height);
    QFETCH(QString, sameBytesAs);

    TestJobContext context;
    context.engine = &engine_;
    QVERIFY2(RunJob(context, path, quality) == JobSucceeded, qPrintable(context.sink.calls.join(u'\n')));
    // Nothing but the delivered file: the picture's and the sound's working files are gone.
    QCOMPARE(Entries(output_->path()), QStringList{fileName});
    const QString delivered = output_->filePath(fileName);
    const Streams streams = Probe(delivered);
    QCOMPARE(streams.videoStreams, height > 0 ? 1 : 0);
    QCOMPARE(streams.height, height);
    QCOMPARE(streams.audioStreams, 1);
    QVERIFY2(qAbs(streams.seconds - 3.0) < 0.3, qPrintable(QString::number(streams.seconds)));
    if (!sameBytesAs.isEmpty()) {
        const QDir folder(
            QDir(service_.MediaFolder()).filePath(QStringLiteral("hls/%1/%2").arg(Id, sameBytesAs)));
        QByteArray expected;
        for (const QString& segment : folder.entryList({QStringLiteral("seg*.ts")}, QDir::Files, QDir::Name))
            expected += ReadFile(folder.filePath(segment));
        QVERIFY(ReadFile(delivered) == expected);
    }
}

void TestHlsRenditions::separateSoundNeedsTheEngine() {
    TestJobContext context; // without an engine
    QCOMPARE(RunJob(context, QStringLiteral("alt/master.m3u8"), VideoQuality::HighMp4), JobFailed);
    QVERIFY2(Failure(context.sink).contains(QStringLiteral("conversion engine")),
             qPrintable(Failure(context.sink)));
    QCOMPARE(Entries(output_->path()), QStringList());
}

void TestHlsRenditions::segmentsFinishingOutOfOrderKeepTheirOrder_data() {
    QTest::addColumn<int>("connections");
    QTest::newRow("one at a time") << 1;
    QTest::newRow("two") << 2;
    QTest::newRow("four, all in flight at once") << 4;
}

void TestHlsRenditions::segmentsFinishingOutOfOrderKeepTheirOrder() {
    QFETCH(int, connections);
    TestJobContext context;
    context.segmentConnections = connections;
    // Each segment of this playlist answers 150 ms after the one behind it.
    QCOMPARE(RunJob(context, QStringLiteral("interleaved.m3u8"), VideoQuality::Standard), JobSucceeded);
    const QDir folder(QDir(service_.MediaFolder()).filePath(QStringLiteral("hls/%1/v0").arg(Id)));
    QByteArray expected;
    for (const QString& segment : folder.entryList({QStringLiteral("seg*.ts")}, QDir::Files, QDir::Name))
        expected += ReadFile(folder.filePath(segment));
    QVERIFY(expected.size() > 1000);
    QVERIFY(ReadFile(output_->filePath(QStringLiteral("interleaved.ts"))) == expected);
    // The bar moves one segment at a time, in order, however they arrived.
    const QStringList& calls = context.sink.calls;
    const qsizetype total = calls.lastIndexOf(QRegularExpression(QStringLiteral("Progress 1 \\d+")));
    const QStringList positions = calls.mid(total).filter(QStringLiteral("Progress 2 "));
    QStringList inOrder;
    for (int i = 1; i <= positions.size(); ++i)
        inOrder << QStringLiteral("Progress 2 %1").arg(i);
    QVERIFY2(positions == inOrder, qPrintable(calls.mid(total).join(u'\n')));
}

QTEST_GUILESS_MAIN(TestHlsRenditions)
#include "tst_hlsrenditions.moc"
