// Jobs whose address is not a watch page: media links, HTML5, Open Graph, twitter and JSON-LD
// pages, HLS playlists, and the bad inputs among them, downloaded through the per-job procedure
// against the sample service.

#include "catalogtesting.h"
#include "conversion/conversionengine.h"
#include "conversion/outputformat.h"
#include "retrieval/job/processjob.h"
#include "sampleservice.h"
#include "testenvironment.h"
#include "testjobcontext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(VideoQuality)

namespace {

const QString Title = QStringLiteral("Sample clip: colour bars");
const QString TitleFile = QStringLiteral("Sample clip colour bars");

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Stops the job once the first segment of a playlist is in.
class StopAfterFirstSegment : public RecordingSink {
public:
    int Progress(int kind, int value) override {
        if (kind == ProgressPosition && value == 1 && calls.contains(QStringLiteral("Progress 1 3")))
            cancelled = true;
        return RecordingSink::Progress(kind, value);
    }
};

} // namespace

class TestWebDownload : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void downloadsEachKindOfAddress_data();
    void downloadsEachKindOfAddress();
    void playlistResultsPlayWhole_data();
    void playlistResultsPlayWhole();
    void badInputsFailClearlyAndLeaveNothing_data();
    void badInputsFailClearlyAndLeaveNothing();
    void stopBetweenSegmentsLeavesNothing();
    void segmentsTakeTheJobsRetries_data();
    void segmentsTakeTheJobsRetries();
    void convertsPlaylistResults();
    void aPageOfSeveralVideosBecomesARowForEach_data();
    void aPageOfSeveralVideosBecomesARowForEach();

private:
    // The media file, or the playlist's segments one after another, as the service has them.
    QByteArray ExpectedBytes(const QString& source) const;
    int RunJob(TestJobContext& context, const QString& path, VideoQuality quality);

    SampleService service_;
    QTemporaryDir outputRoot_;
    QTemporaryDir tempHome_;
    QScopedPointer<QTemporaryDir> output_;
    // What ffprobe says of a file's streams and length, one key=value a line.
    static QString Probe(const QString& path);
};

QString TestWebDownload::Probe(const QString& path) {
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_type,width,height:format=duration"), QStringLiteral("-of"),
                 QStringLiteral("default=noprint_wrappers=1"), path});
    probe.waitForFinished(30000);
    return QString::fromUtf8(probe.readAllStandardOutput());
}

namespace {

double Duration(const QString& probeReport) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("duration=([0-9.]+)")).match(probeReport);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

} // namespace

void TestWebDownload::initTestCase() {
    // Temporary files go to a folder of this case's own, so that leftovers can be seen.
    qputenv("TMPDIR", QFile::encodeName(tempHome_.path()));
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
    QVERIFY(service_.AddSampleVideos());
    QVERIFY(service_.AddMedia(QStringLiteral("sample.title"), Title.toUtf8()));
    QVERIFY2(service_.AddWebMedia(QStringLiteral("sample")), qPrintable(service_.Error()));
}

void TestWebDownload::init() {
    output_.reset(new QTemporaryDir(outputRoot_.filePath(QStringLiteral("out-XXXXXX"))));
}

void TestWebDownload::cleanup() {
    QCOMPARE(Entries(tempHome_.path()), QStringList());
}

QByteArray TestWebDownload::ExpectedBytes(const QString& source) const {
    if (!source.startsWith(QLatin1String("hls/")))
        return service_.MediaBytes(source);
    const QDir folder(QDir(service_.MediaFolder()).filePath(source));
    QByteArray bytes = ReadFile(folder.filePath(QStringLiteral("init.mp4")));
    if (bytes == "<missing>")
        bytes.clear();
    for (const QString& segment :
         folder.entryList({QStringLiteral("seg*.ts"), QStringLiteral("seg*.m4s")}, QDir::Files, QDir::Name))
        bytes += ReadFile(folder.filePath(segment));
    return bytes;
}

int TestWebDownload::RunJob(TestJobContext& context, const QString& path, VideoQuality quality) {
    context.outputFolder = output_->path();
    context.videoHost = service_.Host();
    context.AddJob(service_.Url(path));
    return ProcessJob(context, 0, quality, false);
}

void TestWebDownload::downloadsEachKindOfAddress_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<VideoQuality>("quality");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("choice");

    const auto q0 = VideoQuality::Standard;
    const auto q1 = VideoQuality::HighFlv;
    const auto q2 = VideoQuality::HighMp4;
    QTest::newRow("media link") << "/media/sample.mp4" << q2 << "sample.mp4"
                                << "sample.mp4"
                                << "";
    QTest::newRow("media link, Content-Disposition name")
        << "/attachment/sample.flv" << q2 << TitleFile + ".flv"
        << "sample.flv"
        << "";
    QTest::newRow("HTML5, smallest") << "/html5?v=sample" << q0 << TitleFile + ".mp4"
                                     << "sample-120.mp4"
                                     << "120p, smallest of 3";
    QTest::newRow("HTML5, middle") << "/html5?v=sample" << q1 << TitleFile + ".mp4"
                                   << "sample-180.mp4"
                                   << "180p, middle of 3";
    QTest::newRow("HTML5, largest") << "/html5?v=sample" << q2 << TitleFile + ".mp4"
                                    << "sample-240.mp4"
                                    << "240p, largest of 3";
    QTest::newRow("Open Graph") << "/og?v=sample" << q0 << TitleFile + ".mp4"
                                << "sample.mp4"
                                << "";
    QTest::newRow("twitter:player:stream") << "/card?v=sample" << q0 << TitleFile + ".mp4"
                                           << "sample.mp4"
                                           << "";
    QTest::newRow("JSON-LD") << "/pages/jsonld?v=sample" << q0 << TitleFile + ".mp4"
                             << "sample.mp4"
                             << "";
    QTest::newRow("HLS master, smallest") << "/hls/sample/master.m3u8" << q0 << "master.ts"
                                          << "hls/sample/v0"
                                          << "160x120, smallest of 3";
    QTest::newRow("HLS master, largest") << "/hls/sample/master.m3u8" << q2 << "master.ts"
                                         << "hls/sample/v2"
                                         << "320x240, largest of 3";
    // Relative variant addresses are read against where the redirects ended.
    QTest::newRow("HLS master behind redirects")
        << "/redirect?hops=1&to=/hls/sample/master.m3u8" << q1 << "master.ts"
        << "hls/sample/v1"
        << "240x180, middle of 3";
    QTest::newRow("HLS through a page") << "/hlspage?v=sample" << q1 << TitleFile + ".ts"
                                        << "hls/sample/v1"
                                        << "240x180, middle of 3";
    QTest::newRow("HLS fragmented MP4") << "/hls/sample/fmp4/index.m3u8" << q2 << "index.mp4"
                                        << "hls/sample/fmp4"
                                        << "";
    // The set-up's adaptive "Auto" source is passed over while sized renditions are offered.
    QTest::newRow("JW Player, smallest") << "/jwplayer?v=sample" << q0 << TitleFile + ".mp4"
                                         << "sample-120.mp4"
                                         << "120p, smallest of 3";
    QTest::newRow("JW Player, largest") << "/jwplayer?v=sample" << q2 << TitleFile + ".mp4"
                                        << "sample-240.mp4"
                                        << "240p, largest of 3";
    QTest::newRow("Auto and lazy sources") << "/autolazy?v=sample" << q1 << TitleFile + ".mp4"
                                           << "sample-180.mp4"
                                           << "180p, middle of 3";
    // Compressed whatever the request asked for.
    QTest::newRow("gzip page") << "/compressed?v=sample" << q1 << TitleFile + ".mp4"
                               << "sample-180.mp4"
                               << "180p, middle of 3";
    QTest::newRow("raw deflate page, bytes after it")
        << "/compressed?v=sample&encoding=rawdeflate&fault=trailing" << q2 << TitleFile + ".mp4"
        << "sample-240.mp4"
        << "240p, largest of 3";
}

void TestWebDownload::downloadsEachKindOfAddress() {
    QFETCH(QString, path);
    QFETCH(VideoQuality, quality);
    QFETCH(QString, fileName);
    QFETCH(QString, source);
    QFETCH(QString, choice);

    TestJobContext context;
    QCOMPARE(RunJob(context, path, quality), JobSucceeded);
    QCOMPARE(context.states[0],
             QList<JobState>({JobState::Preparing, JobState::Downloading, JobState::Succeeded}));
    const QString delivered = output_->filePath(fileName);
    QCOMPARE(context.jobs[0].outputPath, delivered);
    QCOMPARE(Entries(output_->path()), QStringList({fileName}));
    const QByteArray expected = ExpectedBytes(source);
    QVERIFY(expected.size() > 1000);
    QVERIFY(ReadFile(delivered) == expected);

    // The rendition taken stays in the status line while it downloads.
    const QStringList activity = context.sink.calls.filter(QRegularExpression(QStringLiteral("^Status 4 .")));
    const QStringList labelled = activity.filter(QStringLiteral("Status 4 ") + choice + QStringLiteral(": "));
    if (choice.isEmpty())
        QVERIFY(activity.filter(QStringLiteral(" of 3: ")).isEmpty());
    else
        QVERIFY2(!labelled.isEmpty(), qPrintable(activity.join(QLatin1Char('\n'))));

    if (source.startsWith(QLatin1String("hls/"))) {
        // The bar counts segments, the text bytes.
        const int segments = int(QDir(QDir(service_.MediaFolder()).filePath(source))
                                     .entryList({QStringLiteral("seg*")}, QDir::Files)
                                     .size());
        const QStringList& calls = context.sink.calls;
        QVERIFY(calls.contains(QStringLiteral("Progress 1 %1").arg(segments)));
        QCOMPARE(calls.filter(QStringLiteral("Progress 2 ")).last(),
                 QStringLiteral("Progress 2 %1").arg(segments));
        QVERIFY(activity.last().contains(
            QStringLiteral("Segment %1 / %1, %2 KB").arg(segments).arg(expected.size() / 1024)));
        QCOMPARE(calls.last(), QStringLiteral("Status 3 "));
    }
}

void TestWebDownload::playlistResultsPlayWhole_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("MPEG-TS") << "/hls/sample/master.m3u8";
    QTest::newRow("fragmented MP4") << "/hls/sample/fmp4/index.m3u8";
}

void TestWebDownload::playlistResultsPlayWhole() {
    QFETCH(QString, path);
    TestJobContext context;
    QCOMPARE(RunJob(context, path, VideoQuality::HighMp4), JobSucceeded);

    const QString report = Probe(context.jobs[0].outputPath);
    QVERIFY2(report.contains(QStringLiteral("codec_type=video")), qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("codec_type=audio")), qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("width=320")), qPrintable(report));
    // The sample is three seconds long; a missing segment would take a whole one away.
    QVERIFY2(qAbs(Duration(report) - 3.0) < 0.2, qPrintable(report));
}

void TestWebDownload::badInputsFailClearlyAndLeaveNothing_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("downloadBegan");

    QTest::newRow("live playlist") << "/hls/sample/live.m3u8"
                                   << "live stream" << false;
    QTest::newRow("encrypted playlist") << "/hls/sample/encrypted.m3u8"
                                        << "encrypted (AES-128)" << false;
    QTest::newRow("ftp segments") << "/hls/sample/ftp.m3u8"
                                  << "segment address is not http or https" << false;
    QTest::newRow("over 100,000 segments") << "/hls/sample/huge.m3u8"
                                           << "more than 100000 segments" << false;
    QTest::newRow("a segment missing") << "/hls/sample/missing.m3u8"
                                       << "The server answered 404 Not Found (segment 2 of 3)" << true;
    QTest::newRow("page without a video") << "/novideo"
                                          << "No video found on this page" << false;
    QTest::newRow("page over 16 MiB") << "/watch?v=fault-huge"
                                      << "larger than 16 MiB" << false;
    QTest::newRow("gzip page cut short") << "/compressed?v=sample&fault=truncated"
                                         << "gzip-compressed answer ended before" << false;
    QTest::newRow("gzip page expanding past 16 MiB") << "/compressed?v=sample&fault=expanding"
                                                     << "larger than 16 MiB" << false;
    QTest::newRow("redirect loop") << "/redirect?hops=-1"
                                   << "redirects" << false;
    QTest::newRow("missing media file") << "/media/nothing.mp4"
                                        << "404" << false;
}

void TestWebDownload::badInputsFailClearlyAndLeaveNothing() {
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(bool, downloadBegan);

    TestJobContext context;
    QCOMPARE(RunJob(context, path, VideoQuality::Standard), JobFailed);
    QCOMPARE(context.states[0].last(), JobState::Failed);
    QCOMPARE(context.states[0].contains(JobState::Downloading), downloadBegan);
    const QStringList results = context.sink.calls.filter(QRegularExpression(QStringLiteral("^Status 3 .")));
    QVERIFY2(!results.filter(text).isEmpty(),
             qPrintable(context.sink.calls.filter(QStringLiteral("Status 3")).join(u'\n')));
    QCOMPARE(Entries(output_->path()), QStringList());
}

void TestWebDownload::stopBetweenSegmentsLeavesNothing() {
    StopAfterFirstSegment sink;
    struct Context : TestJobContext {
        ProgressSink* target = nullptr;
        ProgressSink* DownloadSink() override { return target; }
    } stopping;
    stopping.outputFolder = output_->path();
    stopping.videoHost = service_.Host();
    stopping.target = &sink;
    stopping.AddJob(service_.Url(QStringLiteral("/hls/sample/master.m3u8")));

    QCOMPARE(ProcessJob(stopping, 0, VideoQuality::Standard, false), JobFailed);
    QCOMPARE(stopping.states[0].last(), JobState::Failed);
    // One segment came, the next was not asked for; a stop is not an error.
    QVERIFY(sink.calls.contains(QStringLiteral("Progress 2 1")));
    QVERIFY(!sink.calls.contains(QStringLiteral("Progress 2 2")));
    QCOMPARE(sink.calls.filter(QRegularExpression(QStringLiteral("^Status 3 ."))), QStringList());
    QCOMPARE(sink.calls.last(), QStringLiteral("Status 3 "));
    QCOMPARE(Entries(output_->path()), QStringList());
}

void TestWebDownload::segmentsTakeTheJobsRetries_data() {
    QTest::addColumn<int>("retries");
    QTest::addColumn<int>("result");
    QTest::newRow("retried") << -1 << int(JobSucceeded);
    QTest::newRow("no retries") << 0 << int(JobFailed);
}

// The second segment answers 503 once; whether it is tried again is the job's setting.
void TestWebDownload::segmentsTakeTheJobsRetries() {
    QFETCH(int, retries);
    QFETCH(int, result);
    TestJobContext context;
    context.retryCount = retries;
    QCOMPARE(RunJob(context, QStringLiteral("/hls/sample/flaky.m3u8"), VideoQuality::Standard), result);
    if (result == JobSucceeded) {
        QVERIFY2(qAbs(Duration(Probe(context.jobs[0].outputPath)) - 3.0) < 0.2, "a segment is missing");
    } else {
        QVERIFY(!context.sink.calls
                     .filter(QStringLiteral(
                         "Status 3 The server answered 503 Service Unavailable (segment 2 of 3)"))
                     .isEmpty());
        QCOMPARE(Entries(output_->path()), QStringList());
    }
}

void TestWebDownload::convertsPlaylistResults() {
    ConversionEngine engine;
    QVERIFY(engine.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    const Catalog catalog = TestSupport::FactoryCatalog();
    TestJobContext context;
    context.engine = &engine;
    context.preset = &TestSupport::CatalogPreset(catalog, QStringLiteral("MP3"), 0);
    context.outputFolder = output_->path();
    context.videoHost = service_.Host();
    context.AddJob(service_.Url(QStringLiteral("/hls/sample/master.m3u8")));

    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, true), JobSucceeded);
    QCOMPARE(context.states[0], (QList<JobState>{JobState::Preparing, JobState::Downloading,
                                                 JobState::Converting, JobState::Succeeded}));
    QCOMPARE(Entries(output_->path()), QStringList({QStringLiteral("master.mp3")}));
    const QString report = Probe(output_->filePath(QStringLiteral("master.mp3")));
    QVERIFY2(report.contains(QStringLiteral("codec_type=audio")), qPrintable(report));
    QVERIFY2(!report.contains(QStringLiteral("codec_type=video")), qPrintable(report));
    QVERIFY2(qAbs(Duration(report) - 3.0) < 0.3, qPrintable(report));
}

// A page that shows three distinct videos (and one of them twice) becomes one row per video,
// named after the page's title with its number, whether or not yt-dlp is there to read pages.
void TestWebDownload::aPageOfSeveralVideosBecomesARowForEach_data() {
    QTest::addColumn<bool>("withYtDlp");
    QTest::newRow("without yt-dlp") << false;
    if (QFileInfo::exists(QStringLiteral("/usr/bin/yt-dlp")))
        QTest::newRow("with yt-dlp") << true;
}

void TestWebDownload::aPageOfSeveralVideosBecomesARowForEach() {
    QFETCH(bool, withYtDlp);
    TestJobContext context;
    if (withYtDlp)
        context.ytDlp = {QStringLiteral("/usr/bin/yt-dlp"), QStringLiteral("system")};
    QCOMPARE(RunJob(context, QStringLiteral("/videos?v=sample"), VideoQuality::HighMp4), JobSucceeded);
    QCOMPARE(context.jobs[0].title, QStringLiteral("Page: 3 videos added to the list"));
    QCOMPARE(context.jobs.size(), 4);
    const QStringList names = {QStringLiteral("Three clips 1.mp4"), QStringLiteral("Three clips 2.mp4"),
                               QStringLiteral("Three clips 3.ts")};
    for (int row = 1; row <= 3; ++row) {
        QCOMPARE(context.jobs[row].url, service_.Url(QStringLiteral("/videos?v=sample#video-%1").arg(row)));
        QCOMPARE(ProcessJob(context, row, VideoQuality::HighMp4, false), JobSucceeded);
        QCOMPARE(QFileInfo(context.jobs[row].outputPath).fileName(), names[row - 1]);
    }
    // The first clip is its largest rendition, the second the file itself.
    QVERIFY(context.jobs[1].pictureChoice.contains(QStringLiteral("largest")));
    QCOMPARE(ReadFile(context.jobs[2].outputPath), service_.MediaBytes(QStringLiteral("sample.mp4")));
    QCOMPARE(Entries(output_->path()).size(), 3);
}

QTEST_GUILESS_MAIN(TestWebDownload)
#include "tst_webdownload.moc"
