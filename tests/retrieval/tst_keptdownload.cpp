// Jobs that keep their download unfinished, and a later run of the same job: it goes on only
// from what is still the same, so that no file is stitched from two sources.

#include "retrieval/job/processjob.h"
#include "sampleservice.h"
#include "testjobcontext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A window's run: stopped jobs keep their download; the sink stops the job once the first
// segment of a playlist is in when asked to.
struct KeepingContext : TestJobContext {
    bool stopAfterFirstSegment = false;
    bool KeepsUnfinished() const override { return true; }
    ProgressSink* DownloadSink() override { return &stopping; }

    struct StoppingSink : RecordingSink {
        KeepingContext* owner = nullptr;
        int Progress(int kind, int value) override {
            if (owner->stopAfterFirstSegment && kind == ProgressPosition && value == 1)
                cancelled = true;
            return RecordingSink::Progress(kind, value);
        }
    } stopping;
    KeepingContext() { stopping.owner = this; }
};

} // namespace

class TestKeptDownload : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void aKeptDownloadGoesOnOnlyFromTheSameSource_data();
    void aKeptDownloadGoesOnOnlyFromTheSameSource();

private:
    // The playlist's segments one after another, as the service has them.
    QByteArray SegmentBytes(const QString& variant) const;

    SampleService service_;
};

void TestKeptDownload::initTestCase() {
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
    QVERIFY(service_.AddSampleVideos());
    QVERIFY2(service_.AddWebMedia(QStringLiteral("sample")), qPrintable(service_.Error()));
}

QByteArray TestKeptDownload::SegmentBytes(const QString& variant) const {
    const QDir folder(QDir(service_.MediaFolder()).filePath(QStringLiteral("hls/sample/") + variant));
    QByteArray bytes;
    for (const QString& segment : folder.entryList({QStringLiteral("seg*.ts")}, QDir::Files, QDir::Name))
        bytes += ReadFile(folder.filePath(segment));
    return bytes;
}

void TestKeptDownload::aKeptDownloadGoesOnOnlyFromTheSameSource_data() {
    QTest::addColumn<QString>("first");    // the address of the first run
    QTest::addColumn<QString>("second");   // the address the job has when it runs again
    QTest::addColumn<bool>("stop");        // the first run stops after a segment, else it fails
    QTest::addColumn<QString>("expected"); // a variant's segments, else the pattern
    QTest::newRow("playlist stopped, the same playlist") << "/hls/sample/v0/index.m3u8"
                                                         << "/hls/sample/v0/index.m3u8" << true << "v0";
    QTest::newRow("playlist stopped, another playlist") << "/hls/sample/v0/index.m3u8"
                                                        << "/hls/sample/v1/index.m3u8" << true << "v1";
    // A cut past the retries is a transient failure: the next run asks for the rest.
    const QString cut = QStringLiteral("/versioned/clip.mp4?n=300000&cutfirst=100000");
    QTest::newRow("stream cut, failed") << cut << cut << false << QString();
}

void TestKeptDownload::aKeptDownloadGoesOnOnlyFromTheSameSource() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, stop);
    QFETCH(QString, expected);
    QTemporaryDir output;
    KeepingContext context;
    context.outputFolder = output.path();
    context.videoHost = service_.Host();
    context.stopAfterFirstSegment = stop;
    context.retryCount = 0;
    context.AddJob(service_.Url(first));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobFailed);
    DownloadJob& job = context.jobs[0];
    QVERIFY2(job.state == (stop ? JobState::Stopped : JobState::Failed),
             qPrintable(context.stopping.calls.join(QLatin1Char('\n'))));
    QVERIFY2(job.partial.IsKept(), qPrintable(context.stopping.calls.join(QLatin1Char('\n'))));
    const qint64 kept = QFileInfo(job.partial.path).size();
    QVERIFY(kept > 0);

    job.url = service_.Url(second);
    job.state = JobState::Idle;
    context.stopAfterFirstSegment = false;
    context.stopping.cancelled = false;
    context.retryCount = -1;
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);
    const QByteArray whole = expected.isEmpty() ? PatternBytes(300000) : SegmentBytes(expected);
    QVERIFY2(ReadFile(job.outputPath) == whole, "the delivered file is not the source's own");
    QVERIFY(!job.partial.IsKept());
}

QTEST_GUILESS_MAIN(TestKeptDownload)
#include "tst_keptdownload.moc"
