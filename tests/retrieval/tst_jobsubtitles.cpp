// A page's <track> subtitles and an HLS playlist's segmented ones through the per-job procedure
// against the sample service: fetched in the languages asked for, embedded where the delivered
// container holds them (judged by ffprobe) or written beside it under the overwrite rules, what
// could not be had noted on the row, and nothing else left behind.

#include "catalogtesting.h"
#include "conversion/conversionengine.h"
#include "conversion/subtitletext.h"
#include "retrieval/job/processjob.h"
#include "sampleservice.h"
#include "testenvironment.h"
#include "testjobcontext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

namespace {

const QByteArray EnglishVtt =
    "WEBVTT\n\nNOTE made for the test\n\n1\n00:00:00.500 --> 00:00:01.500 align:start\n"
    "<v Narrator>Hello &amp; welcome</v>\n\n00:01.600 --> 00:02.400\nBye\n";
const QByteArray GermanSrt = "1\r\n00:00:00,200 --> 00:00:01,200\r\nGr\xc3\xbc\xc3\x9f dich\r\n\r\n";

// The page: one picture, the subtitles in two languages, and tracks that cannot be had (not
// subtitles at all, missing) or are no subtitles (chapters).
const QByteArray Page = R"(<html><head><title>Subtitled clip</title>
<meta property="og:image" content="subs/cover.png"></head><body>
<video controls>
  <source src="sample-240.mp4" type="video/mp4">
  <track kind="subtitles" srclang="en" label="English" src="subs/en.vtt">
  <track kind="captions" srclang="de" src="subs/de.srt">
  <track kind="subtitles" srclang="fr" src="subs/fr.vtt">
  <track srclang="es" src="subs/gone.vtt">
  <track kind="chapters" srclang="it" src="subs/en.vtt">
</video></body></html>)";

// A master playlist whose English subtitles come as WebVTT segments, a cue repeated in the two
// segments it spans, one listed only in the later segment though it begins before the other,
// the timestamp map of the picture's MPEG-TS clock in each header; the German ones lose a
// segment.
const QByteArray SubtitledMaster =
    "#EXTM3U\n"
    "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"s\",NAME=\"English\",LANGUAGE=\"en\",URI=\"en.m3u8\"\n"
    "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"s\",NAME=\"Deutsch\",LANGUAGE=\"de\",URI=\"de.m3u8\"\n"
    "#EXT-X-STREAM-INF:BANDWIDTH=400000,RESOLUTION=320x240,SUBTITLES=\"s\"\n"
    "../hls/sample/v0/index.m3u8\n";
const QByteArray EnglishSegments = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\nen0.vtt\n"
                                   "#EXTINF:1.0,\nquiet.vtt\n#EXTINF:1.0,\nen1.vtt\n#EXT-X-ENDLIST\n";
const QByteArray GermanSegments =
    "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\nmissing.vtt\n#EXT-X-ENDLIST\n";
const QByteArray SegmentHeader = "WEBVTT\nX-TIMESTAMP-MAP=MPEGTS:900000,LOCAL:00:00:00.000\n\n";

QStringList Entries(const QString& folder) {
    QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    entries.sort();
    return entries;
}

// "codec language" of each subtitle stream, in order.
QStringList SubtitleStreams(const QString& path) {
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                 QStringLiteral("s"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_name:stream_tags=language"), QStringLiteral("-of"),
                 QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(30000);
    QStringList streams = QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    for (QString& stream : streams)
        stream.replace(u',', u' ');
    return streams;
}

// Whether the file has an attached picture, as ffprobe sees it.
bool HasCover(const QString& path) {
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream_disposition=attached_pic"), QStringLiteral("-of"),
                 QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(30000);
    return probe.readAllStandardOutput().split('\n').contains("1");
}

QList<SubtitleCue> CuesIn(const QString& path) {
    QFile file(path);
    QList<SubtitleCue> cues;
    if (file.open(QIODevice::ReadOnly))
        ReadSubtitleText(file.readAll(), cues, nullptr);
    return cues;
}

} // namespace

class TestJobSubtitles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void subtitlesGoWhereTheFileTakesThem_data();
    void subtitlesGoWhereTheFileTakesThem();
    void segmentedSubtitlesOfAPlaylistAreJoined();

private:
    SampleService service_;
    ConversionEngine engine_;
    Catalog catalog_;
    QTemporaryDir outputRoot_;
    QScopedPointer<QTemporaryDir> output_;
};

void TestJobSubtitles::initTestCase() {
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
    QVERIFY2(service_.AddWebMedia(QStringLiteral("sample")), qPrintable(service_.Error()));
    QVERIFY(service_.AddMedia(QStringLiteral("subtitled.html"), Page));
    QVERIFY(QDir(service_.MediaFolder()).mkpath(QStringLiteral("subs")));
    QVERIFY(service_.AddMedia(QStringLiteral("subs/en.vtt"), EnglishVtt));
    QVERIFY(service_.AddMedia(QStringLiteral("subs/de.srt"), GermanSrt));
    QVERIFY(service_.AddMedia(QStringLiteral("subs/fr.vtt"), QByteArray("\x89PNG\r\n\x1a\n not text", 16)));
    QProcess picture;
    picture.start(TestSupport::FfmpegPath(),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                   QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("color=green:size=32x24"),
                   QStringLiteral("-frames:v"), QStringLiteral("1"),
                   QDir(service_.MediaFolder()).filePath(QStringLiteral("subs/cover.png"))});
    QVERIFY(picture.waitForFinished(30000) && picture.exitCode() == 0);
    QVERIFY(QDir(service_.MediaFolder()).mkpath(QStringLiteral("hlssubs")));
    QVERIFY(service_.AddMedia(QStringLiteral("hlssubs/master.m3u8"), SubtitledMaster));
    QVERIFY(service_.AddMedia(QStringLiteral("hlssubs/en.m3u8"), EnglishSegments));
    QVERIFY(service_.AddMedia(QStringLiteral("hlssubs/de.m3u8"), GermanSegments));
    QVERIFY(service_.AddMedia(QStringLiteral("hlssubs/en0.vtt"), SegmentHeader +
                                                                     "00:00.200 --> 00:00.800\nOne\n\n"
                                                                     "00:00.900 --> 00:02.100\nAcross\n"));
    QVERIFY(service_.AddMedia(QStringLiteral("hlssubs/quiet.vtt"), SegmentHeader));
    QVERIFY(service_.AddMedia(QStringLiteral("hlssubs/en1.vtt"), SegmentHeader +
                                                                     "00:00.850 --> 00:01.900\nLate\n\n"
                                                                     "00:00.900 --> 00:02.100\nAcross\n\n"
                                                                     "00:02.200 --> 00:02.900\nThree\n"));
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    catalog_ = TestSupport::FactoryCatalog();
}

void TestJobSubtitles::init() {
    output_.reset(new QTemporaryDir(outputRoot_.filePath(QStringLiteral("out-XXXXXX"))));
}

void TestJobSubtitles::subtitlesGoWhereTheFileTakesThem_data() {
    QTest::addColumn<QString>("languages");
    QTest::addColumn<bool>("embed");
    QTest::addColumn<QString>("format"); // empty: delivered as downloaded
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("streams");
    QTest::addColumn<QStringList>("noted");

    const QString mp4 = QStringLiteral("Subtitled clip.mp4");
    QTest::newRow("all, embedded in the MP4")
        << "all" << true << QString() << QStringList{mp4} << QStringList{"mov_text eng", "mov_text ger"}
        << QStringList{"en (embedded), de (embedded)", "fr: the file is neither WebVTT nor SubRip",
                       "es: could not be fetched"};
    QTest::newRow("two languages beside the file")
        << "en,de" << false << QString() << QStringList{"Subtitled clip.de.srt", "Subtitled clip.en.srt", mp4}
        << QStringList{} << QStringList{"en (beside the file), de (beside the file)"};
    QTest::newRow("a language not offered")
        << "it,en" << true << QString() << QStringList{mp4} << QStringList{"mov_text eng"}
        << QStringList{"en (embedded)", "it: not offered"};
    QTest::newRow("converted to MP3, which holds none")
        << "de" << true << "MP3" << QStringList{"Subtitled clip.de.srt", "Subtitled clip.mp3"}
        << QStringList{} << QStringList{"de (beside the file)"};
    QTest::newRow("converted to 3GP, which takes them")
        << "en" << true << "Mobile Phone - 3GP" << QStringList{"Subtitled clip.3gp"}
        << QStringList{"mov_text eng"} << QStringList{"en (embedded)"};
}

void TestJobSubtitles::subtitlesGoWhereTheFileTakesThem() {
    QFETCH(QString, languages);
    QFETCH(bool, embed);
    QFETCH(QString, format);
    QFETCH(QStringList, files);
    QFETCH(QStringList, streams);
    QFETCH(QStringList, noted);

    TestJobContext context;
    context.engine = &engine_;
    context.subtitles = ParseSubtitleLanguages(languages);
    context.subtitles.embed = embed;
    // The page's og:image goes along where the container keeps a cover.
    context.embedMetadata = true;
    if (!format.isEmpty())
        context.preset = &TestSupport::CatalogPreset(catalog_, format, 0);
    context.outputFolder = output_->path();
    context.videoHost = service_.Host();
    context.AddJob(service_.Url(QStringLiteral("/media/subtitled.html")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, !format.isEmpty()), JobSucceeded);

    QCOMPARE(Entries(output_->path()), files);
    const QString delivered = context.jobs[0].outputPath;
    QCOMPARE(SubtitleStreams(delivered), streams);
    QCOMPARE(HasCover(delivered), !delivered.endsWith(QLatin1String(".3gp")));
    for (const QString& note : noted)
        QVERIFY2(context.jobs[0].extrasNote.contains(note), qPrintable(context.jobs[0].extrasNote));
    // What goes beside the file is the cues themselves, markup and settings gone.
    if (files.contains(QStringLiteral("Subtitled clip.en.srt"))) {
        const QList<SubtitleCue> english = CuesIn(output_->filePath(QStringLiteral("Subtitled clip.en.srt")));
        QCOMPARE(english.size(), 2);
        QCOMPARE(english[0].text, QStringLiteral("Hello & welcome"));
        QCOMPARE(english[1].startMs, 1600);
    }
    if (files.contains(QStringLiteral("Subtitled clip.de.srt")))
        QCOMPARE(CuesIn(output_->filePath(QStringLiteral("Subtitled clip.de.srt"))).value(0).text,
                 QStringLiteral("Grüß dich"));
}

void TestJobSubtitles::segmentedSubtitlesOfAPlaylistAreJoined() {
    TestJobContext context;
    context.engine = &engine_;
    context.subtitles = ParseSubtitleLanguages(QStringLiteral("en,de"));
    context.subtitles.embed = false;
    context.outputFolder = output_->path();
    context.videoHost = service_.Host();
    context.AddJob(service_.Url(QStringLiteral("/media/hlssubs/master.m3u8")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);

    const QFileInfo delivered(context.jobs[0].outputPath);
    const QString beside = delivered.path() + u'/' + delivered.completeBaseName() + QStringLiteral(".en.srt");
    const QList<SubtitleCue> cues = CuesIn(beside);
    QStringList texts;
    for (const SubtitleCue& cue : cues)
        texts.append(cue.text);
    QCOMPARE(texts, (QStringList{"One", "Late", "Across", "Three"}));
    QCOMPARE(cues[3].startMs, 2200);
    // Written in time order, for players that read a SubRip file as it stands.
    QFile written(beside);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    QVERIFY2(text.indexOf("Late") < text.indexOf("Across"), text.constData());
    QVERIFY2(context.jobs[0].extrasNote.contains(QStringLiteral("de: a segment could not be fetched")),
             qPrintable(context.jobs[0].extrasNote));
    QCOMPARE(Entries(output_->path()).size(), 2); // the video and the English subtitles

    // Again into the same folder: the video may be replaced, the subtitles beside it may not.
    QFile kept(beside);
    QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("kept") == 4);
    kept.close();
    context.answers = {JobContext::AnswerYes, JobContext::AnswerNo};
    context.AddJob(service_.Url(QStringLiteral("/media/hlssubs/master.m3u8")));
    QCOMPARE(ProcessJob(context, 1, VideoQuality::Standard, false), JobSucceeded);
    QVERIFY(context.answers.isEmpty());
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("kept"));
    QVERIFY2(context.jobs[1].extrasNote.contains(QStringLiteral("en: a file of its name is there already")),
             qPrintable(context.jobs[1].extrasNote));
    QCOMPARE(Entries(output_->path()).size(), 2);
}

QTEST_GUILESS_MAIN(TestJobSubtitles)
#include "tst_jobsubtitles.moc"
