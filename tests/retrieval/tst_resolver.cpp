#include "queue/downloadjob.h"
#include "recordingsink.h"
#include "retrieval/sources/resolver.h"
#include "retrieval/transfer/httptransfer.h"
#include "sampleservice.h"

#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(VideoQuality)

namespace {

QByteArray Page(const QByteArray& title, const QByteArray& block) {
    return "<html><head><title>" + title + "</title></head><body><script>var swfArgs = {" + block +
           "};</script></body></html>";
}

const QString EncodedTitle = QStringLiteral(u"Café déjà vu – 5 € \U0001F3AC");

} // namespace

class TestResolver : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void resolvesPagesAsStored_data();
    void resolvesPagesAsStored();
    void readsEveryPageEncoding_data();
    void readsEveryPageEncoding();
    void unusablePagesFail_data();
    void unusablePagesFail();

private:
    SampleService service_;
};

void TestResolver::initTestCase() {
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
}

void TestResolver::resolvesPagesAsStored_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<VideoQuality>("quality");
    QTest::addColumn<bool>("resolved");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("title");

    const QByteArray threePairs = R"("video_id": "abc", "l": "2", "t": "tok")";
    const QString threeQuery = QStringLiteral("video_id=abc&l=2&t=tok");
    QTest::newRow("standard") << Page("YouTube - Clip", threePairs) << VideoQuality::Standard << true
                              << threeQuery << "Clip";
    QTest::newRow("high FLV") << Page("YouTube - Clip", threePairs) << VideoQuality::HighFlv << true
                              << threeQuery + "&fmt=6"
                              << "Clip";
    QTest::newRow("high MP4") << Page("YouTube - Clip", threePairs) << VideoQuality::HighMp4 << true
                              << threeQuery + "&fmt=18"
                              << "Clip";
    QTest::newRow("unknown quality like standard")
        << Page("x", threePairs) << VideoQuality(7) << true << threeQuery << "x";
    QTest::newRow("apostrophes and values with blanks")
        << Page("x", R"('a': 'b c', "d":"e,f")") << VideoQuality::Standard << true << "a=bc&d=e&f"
        << "x";
    QTest::newRow("nested brace ends the block")
        << QByteArray("<title>x</title>var swfArgs = {\"a\": \"{b}\", \"c\": \"d\"}")
        << VideoQuality::Standard << true << "a={b"
        << "x";
    QTest::newRow("only the prefix") << Page("YouTube - ", "\"a\": \"1\"") << VideoQuality::Standard << true
                                     << "a=1"
                                     << "untitled";
    QTest::newRow("empty title") << Page("", "\"a\": \"1\"") << VideoQuality::Standard << true << "a=1"
                                 << "untitled";
    QTest::newRow("no prefix stays whole")
        << Page("My YouTube - Clip", "\"a\": \"1\"") << VideoQuality::Standard << true << "a=1"
        << "My YouTube - Clip";
    QTest::newRow("prefix removed once, name kept whole")
        << Page("YouTube - YouTube - tube &amp; co ", "\"a\": \"1\"") << VideoQuality::Standard << true
        << "a=1"
        << "YouTube - tube &amp; co ";
    QTest::newRow("title after the block, search order")
        << QByteArray("var swfArgs = {\"a\": \"1\"}<title>late</title>") << VideoQuality::Standard << true
        << "a=1"
        << "late";
}

void TestResolver::resolvesPagesAsStored() {
    QFETCH(QByteArray, page);
    QFETCH(VideoQuality, quality);
    QFETCH(bool, resolved);
    QFETCH(QString, query);
    QFETCH(QString, title);

    const QString id = QStringLiteral("page%1").arg(QTest::currentDataTag()).remove(QLatin1Char(' '));
    QVERIFY(service_.AddMedia(id + ".html", page));
    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    DownloadJob job;
    job.url = service_.WatchUrl(id);
    QCOMPARE(ResolveJob(transfer, job, quality, QStringLiteral("videos.example:8123")), resolved);
    QCOMPARE(job.streamUrl, QStringLiteral("http://videos.example:8123/get_video?") + query);
    QCOMPARE(job.title, title);
}

void TestResolver::readsEveryPageEncoding_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("title");

    QTest::newRow("UTF-8") << "fault-utf8" << EncodedTitle;
    QTest::newRow("UTF-8 with mark") << "fault-utf8bom" << EncodedTitle;
    QTest::newRow("UTF-16LE") << "fault-utf16le" << EncodedTitle;
    QTest::newRow("UTF-16BE") << "fault-utf16be" << EncodedTitle;
    // The service writes '?' for the character Windows-1252 does not have.
    QTest::newRow("Windows-1252") << "fault-cp1252" << QStringLiteral(u"Café déjà vu – 5 € ?");
}

void TestResolver::readsEveryPageEncoding() {
    QFETCH(QString, id);
    QFETCH(QString, title);

    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(nullptr));
    DownloadJob job;
    job.url = service_.WatchUrl(id);
    QVERIFY(ResolveJob(transfer, job, VideoQuality::Standard, service_.Host()));
    QCOMPARE(job.title, title);
    QVERIFY2(
        job.streamUrl.startsWith(service_.Url(QStringLiteral("/get_video?video_id=") + id + "&l=2&t=tk")),
        qPrintable(job.streamUrl));
}

void TestResolver::unusablePagesFail_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("streamUrlLeft");

    QTest::newRow("no argument block") << "fault-noargs" << QString();
    QTest::newRow("empty block") << "fault-emptyargs" << QString();
    // The stream address was found first and stays in the job.
    QTest::newRow("no title") << "fault-notitle"
                              << "video_id=fault-notitle";
    QTest::newRow("empty page") << "fault-empty" << QString();
    QTest::newRow("larger than the page limit") << "fault-huge" << QString();
    // The error pages carry an argument block and a title: the status alone must fail them.
    QTest::newRow("404 page") << "fault-page-404" << QString();
    QTest::newRow("500 page") << "fault-page-500" << QString();
    QTest::newRow("unknown video") << "no-such-video" << QString();
}

void TestResolver::unusablePagesFail() {
    QFETCH(QString, id);
    QFETCH(QString, streamUrlLeft);

    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    DownloadJob job;
    job.url = service_.WatchUrl(id);
    QVERIFY(!ResolveJob(transfer, job, VideoQuality::HighMp4, service_.Host()));
    QVERIFY(job.title.isEmpty());
    if (streamUrlLeft.isEmpty())
        QVERIFY(job.streamUrl.isEmpty());
    else
        QVERIFY2(job.streamUrl.contains(streamUrlLeft) && !job.streamUrl.endsWith(QLatin1String("fmt=18")),
                 qPrintable(job.streamUrl));
}

QTEST_GUILESS_MAIN(TestResolver)
#include "tst_resolver.moc"
