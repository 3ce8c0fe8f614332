// HLS through the per-job procedure against the sample service: the picture chosen among
// variants beside sound-only ones, a picture's sound fetched from its rendition and merged by
// the real engine, and segments fetched side by side written in playlist order.

#include "conversion/conversionengine.h"
#include "enginetesting.h"
#include "retrieval/job/processjob.h"
#include "sampleservice.h"
#include "testenvironment.h"
#include "testjobcontext.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(VideoQuality)

namespace {

const QString Id = QStringLiteral("rend");

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The last result line that says something: the job's failure.
QString Failure(const RecordingSink& sink) {
    const QStringList results = sink.calls.filter(QRegularExpression(QStringLiteral("^Status 3 .")));
    return results.isEmpty() ? QString() : results.last();
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
    // The variant's segments one after another, as the service has them.
    QByteArray SegmentBytes(const QString& variant) const;

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

QByteArray TestHlsRenditions::SegmentBytes(const QString& variant) const {
    const QDir folder(QDir(service_.MediaFolder()).filePath(QStringLiteral("hls/%1/%2").arg(Id, variant)));
    QByteArray bytes;
    for (const QString& segment : folder.entryList({QStringLiteral("seg*.ts")}, QDir::Files, QDir::Name))
        bytes += EngineTesting::ReadFile(folder.filePath(segment));
    return bytes;
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
    // Tags go into what the engine merges, and never into a file delivered untouched.
    context.embedMetadata = true;
    QVERIFY2(RunJob(context, path, quality) == JobSucceeded, qPrintable(context.sink.calls.join(u'\n')));
    // Nothing but the delivered file: the picture's and the sound's working files are gone.
    QCOMPARE(Entries(output_->path()), QStringList{fileName});
    const QString delivered = output_->filePath(fileName);
    const EngineTesting::ProbedFile probed = EngineTesting::ProbeWithFfprobe(delivered);
    QCOMPARE(probed.video.size(), height > 0 ? 1 : 0);
    QCOMPARE(probed.video.isEmpty() ? 0 : probed.video.first().height, height);
    QCOMPARE(probed.audio.size(), 1);
    QVERIFY2(qAbs(probed.duration - 3.0) < 0.3, qPrintable(QString::number(probed.duration)));
    if (sameBytesAs.isEmpty())
        QCOMPARE(TestSupport::ProbedTag(delivered, QStringLiteral("title")), QStringLiteral("master"));
    if (!sameBytesAs.isEmpty()) {
        const QByteArray expected = SegmentBytes(sameBytesAs);
        QVERIFY(expected.size() > 1000);
        QVERIFY(EngineTesting::ReadFile(delivered) == expected);
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
    // Each segment answers 150 ms after the next one: side by side, they arrive last first.
    QCOMPARE(RunJob(context, QStringLiteral("interleaved.m3u8"), VideoQuality::Standard), JobSucceeded);
    const QByteArray expected = SegmentBytes(QStringLiteral("v0"));
    QVERIFY(expected.size() > 1000);
    QVERIFY(EngineTesting::ReadFile(output_->filePath(QStringLiteral("interleaved.ts"))) == expected);
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
