// Jobs whose pages yt-dlp reads: Debian's yt-dlp against pages of the local sample service, and
// stand-ins that answer as a broken or hostile yt-dlp might.

#include "conversion/conversionengine.h"
#include "mediafixtures.h"
#include "retrieval/job/processjob.h"
#include "retrieval/sources/subtitlechoice.h"
#include "retrieval/sources/ytdlp/groupprocess.h"
#include "retrieval/sources/ytdlp/ytdlpextraction.h"
#include "sampleservice.h"
#include "standinprogram.h"
#include "testenvironment.h"
#include "testjobcontext.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <signal.h>

using namespace Tarnwick;

Q_DECLARE_METATYPE(VideoQuality)

namespace {

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// "video:<height>" and "audio" for each stream of the file, as ffprobe sees them.
QStringList Streams(const QString& path) {
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_type,height"), QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                 path});
    probe.waitForFinished(60000);
    QStringList streams;
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields[0] == "video")
            streams << QStringLiteral("video:") + QString::fromLatin1(fields.value(1));
        else if (fields[0] == "audio")
            streams << QStringLiteral("audio");
    }
    return streams;
}

bool ProcessGone(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") Z ");
}

bool RunFfmpeg(const QStringList& arguments) {
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(TestSupport::FfmpegPath(),
                 QStringList{QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y")} +
                     arguments);
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0;
}

} // namespace

class TestYtDlpJob : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void dashQualityGivesHeightAndOneSound_data();
    void dashQualityGivesHeightAndOneSound();
    void readsPagesTheBuiltInReadersCannot();
    void severalVideosBecomeRows();
    void longPlaylistsStopAtTheLimit();
    void stopEndsAStalledExtractionAndItsChildren();
    void addressesNeverBecomeOptions_data();
    void addressesNeverBecomeOptions();
    void badAnswersFailClearlyOrNameSafely_data();
    void badAnswersFailClearlyOrNameSafely();
    void chaptersAndCaptionsOfTheInfoGoIntoTheFile_data();
    void chaptersAndCaptionsOfTheInfoGoIntoTheFile();
    void carriesWhatYtDlpsOwnEmbeddingCarries();

private:
    // Runs the job and every row it added, as a run does.
    int RunAll(TestJobContext& context, VideoQuality quality);
    void PrepareContext(TestJobContext& context, const QString& program = QStringLiteral("/usr/bin/yt-dlp"));

    SampleService service_;
    ConversionEngine engine_; // merges the pictures and sounds that come apart
    std::unique_ptr<QTemporaryDir> output_;
    QTemporaryDir scratch_;
    QByteArray clip_;
};

void TestYtDlpJob::initTestCase() {
    QVERIFY2(QFile::exists(QStringLiteral("/usr/bin/yt-dlp")), "yt-dlp is not installed (./run installs it)");
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    // DASH: three pictures of their own sizes and one sound, in segments only yt-dlp fetches.
    const QString dash = scratch_.filePath(QStringLiteral("dash"));
    QVERIFY(QDir().mkpath(dash));
    QVERIFY(RunFfmpeg(
        {QStringLiteral("-f"),
         QStringLiteral("lavfi"),
         QStringLiteral("-i"),
         QStringLiteral("testsrc=size=320x240:rate=25"),
         QStringLiteral("-f"),
         QStringLiteral("lavfi"),
         QStringLiteral("-i"),
         QStringLiteral("sine=frequency=440"),
         QStringLiteral("-t"),
         QStringLiteral("2"),
         QStringLiteral("-filter_complex"),
         QStringLiteral(
             "[0:v]split=3[a][b][c];[a]scale=160:120[v0];[b]scale=240:180[v1];[c]scale=320:240[v2]"),
         QStringLiteral("-map"),
         QStringLiteral("[v0]"),
         QStringLiteral("-map"),
         QStringLiteral("[v1]"),
         QStringLiteral("-map"),
         QStringLiteral("[v2]"),
         QStringLiteral("-map"),
         QStringLiteral("1:a"),
         QStringLiteral("-c:v"),
         QStringLiteral("libx264"),
         QStringLiteral("-preset"),
         QStringLiteral("ultrafast"),
         QStringLiteral("-g"),
         QStringLiteral("25"),
         QStringLiteral("-c:a"),
         QStringLiteral("aac"),
         QStringLiteral("-f"),
         QStringLiteral("dash"),
         QStringLiteral("-seg_duration"),
         QStringLiteral("1"),
         QStringLiteral("-adaptation_sets"),
         QStringLiteral("id=0,streams=v id=1,streams=a"),
         dash + QStringLiteral("/manifest.mpd")}));
    for (const QString& name : QDir(dash).entryList(QDir::Files)) {
        QFile file(dash + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(service_.AddMedia(name, file.readAll()));
    }
    TestSupport::FixtureContents contents;
    contents.seconds = 1.0;
    contents.width = 160;
    contents.height = 120;
    const QString clipPath = scratch_.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(TestSupport::MakeMediaFixture(clipPath, contents));
    QFile clip(clipPath);
    QVERIFY(clip.open(QIODevice::ReadOnly));
    clip_ = clip.readAll();
    QVERIFY(service_.AddMedia(QStringLiteral("clip.mp4"), clip_));
    QVERIFY(service_.AddMedia(QStringLiteral("clip2.mp4"), clip_ + QByteArray(16, '\0')));
    // A player set up in a script: yt-dlp's reading of any page finds it, the built-in readers
    // look at markup only.
    const QString clipUrl = service_.Url(QStringLiteral("/media/clip.mp4"));
    QVERIFY(service_.AddMedia(QStringLiteral("player.html"),
                              "<html><head><title>Scripted player</title></head><body><div id=p></div>"
                              "<script>var setup = {video_url: \"" +
                                  clipUrl.toUtf8() + "\"};</script></body></html>"));
    QVERIFY(service_.AddMedia(QStringLiteral("two.html"),
                              "<html><head><title>Two players</title></head><body><script>\n"
                              "var first = {video_url: \"" +
                                  clipUrl.toUtf8() +
                                  "\"};\n"
                                  "var second = {video_url: \"" +
                                  service_.Url(QStringLiteral("/media/clip2.mp4")).toUtf8() +
                                  "\"};\n</script></body></html>"));
}

void TestYtDlpJob::init() {
    output_ = std::make_unique<QTemporaryDir>();
}

void TestYtDlpJob::PrepareContext(TestJobContext& context, const QString& program) {
    context.outputFolder = output_->path();
    context.videoHost = service_.Host();
    context.ytDlp = {program, QStringLiteral("test")};
    context.engine = &engine_;
}

int TestYtDlpJob::RunAll(TestJobContext& context, VideoQuality quality) {
    int last = JobSucceeded;
    for (int index = 0; index < context.jobs.size(); ++index)
        last = qMin(last, ProcessJob(context, index, quality, false));
    return last;
}

void TestYtDlpJob::dashQualityGivesHeightAndOneSound_data() {
    QTest::addColumn<VideoQuality>("quality");
    QTest::addColumn<QString>("height");
    QTest::newRow("smallest") << VideoQuality::Standard << "120";
    QTest::newRow("largest") << VideoQuality::HighMp4 << "240";
}

void TestYtDlpJob::dashQualityGivesHeightAndOneSound() {
    QFETCH(VideoQuality, quality);
    QFETCH(QString, height);
    TestJobContext context;
    PrepareContext(context);
    context.AddJob(service_.Url(QStringLiteral("/media/manifest.mpd")));
    QCOMPARE(RunAll(context, quality), JobSucceeded);
    // Named after yt-dlp's title, in the container the two codecs fit, alone in the folder.
    QCOMPARE(Entries(output_->path()), QStringList{QStringLiteral("manifest.mp4")});
    QCOMPARE(Streams(output_->filePath(QStringLiteral("manifest.mp4"))),
             (QStringList{QStringLiteral("video:") + height, QStringLiteral("audio")}));
    // yt-dlp's own download reported its progress as a transfer does.
    QVERIFY2(!context.sink.calls.filter(QRegularExpression(QStringLiteral("^Status 4 .*KB / "))).isEmpty(),
             qPrintable(context.sink.calls.join(u'\n')));
    QVERIFY2(!context.sink.calls.filter(QStringLiteral("of 3: ")).isEmpty(),
             qPrintable(context.sink.calls.join(u'\n')));
}

void TestYtDlpJob::readsPagesTheBuiltInReadersCannot() {
    const QString page = service_.Url(QStringLiteral("/media/player.html"));
    TestJobContext withYtDlp;
    PrepareContext(withYtDlp);
    withYtDlp.AddJob(page);
    QCOMPARE(RunAll(withYtDlp, VideoQuality::HighMp4), JobSucceeded);
    QCOMPARE(withYtDlp.jobs[0].outputPath, output_->filePath(QStringLiteral("Scripted player.mp4")));
    QFile delivered(withYtDlp.jobs[0].outputPath);
    QVERIFY(delivered.open(QIODevice::ReadOnly));
    QVERIFY(delivered.readAll() == clip_);

    // Without yt-dlp the page is read as before, and the failure says what would help.
    TestJobContext without;
    without.outputFolder = output_->path();
    without.AddJob(page);
    QCOMPARE(RunAll(without, VideoQuality::HighMp4), JobFailed);
    QVERIFY2(
        !without.sink.calls.filter(QStringLiteral("installing yt-dlp lets Tarnwick read many more sites"))
             .isEmpty(),
        qPrintable(without.sink.calls.join(u'\n')));
}

void TestYtDlpJob::severalVideosBecomeRows() {
    TestJobContext context;
    PrepareContext(context);
    context.AddJob(service_.Url(QStringLiteral("/media/two.html")));
    context.AddJob(service_.Url(QStringLiteral("/media/clip.mp4"))); // the rows go before this one
    QCOMPARE(RunAll(context, VideoQuality::Standard), JobSucceeded);
    QCOMPARE(context.jobs.size(), 4);
    QVERIFY2(context.jobs[0].title.contains(QStringLiteral("2 entries")), qPrintable(context.jobs[0].title));
    QVERIFY(context.jobs[0].outputPath.isEmpty());
    QCOMPARE(context.jobs[3].url, service_.Url(QStringLiteral("/media/clip.mp4")));
    for (const DownloadJob& job : context.jobs)
        QCOMPARE(job.state, JobState::Succeeded);
    QFile second(context.jobs[2].outputPath);
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(second.size(), clip_.size() + 16);
    QCOMPARE(Entries(output_->path()).size(), 3); // two entries' files and the plain link's
}

void TestYtDlpJob::longPlaylistsStopAtTheLimit() {
    // As yt-dlp answers when asked for one entry beyond the limit of a list of 5000.
    QByteArray entries;
    for (int i = 1; i <= YtDlpPlaylistLimit + 1; ++i)
        entries +=
            (i > 1 ? "," : "") +
            QStringLiteral("{\"_type\": \"url\", \"url\": \"https://site.example/v/%1\"}").arg(i).toUtf8();
    const QString answer = scratch_.filePath(QStringLiteral("longlist.json"));
    QFile file(answer);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"json({"_type": "playlist", "playlist_count": 5000, "entries": [)json" + entries + "]}");
    file.close();
    const QString program = scratch_.filePath(QStringLiteral("longlist"));
    QVERIFY(WriteStandInProgram(program, "cat '" + answer.toUtf8() + "'"));
    TestJobContext context;
    PrepareContext(context, program);
    context.AddJob(service_.Url(QStringLiteral("/novideo")));
    // A limit chosen for the list holds for its entries.
    context.jobs[0].largestPicture = 720;
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);
    QCOMPARE(context.jobs.size(), 1 + YtDlpPlaylistLimit);
    QCOMPARE(context.jobs.last().largestPicture, 720);
    QCOMPARE(context.jobs.last().url, QStringLiteral("https://site.example/v/1000"));
    QCOMPARE(context.jobs[0].title,
             QStringLiteral("Playlist: the first 1000 of 5000 entries added to the list"));
}

void TestYtDlpJob::stopEndsAStalledExtractionAndItsChildren() {
    const QString program = scratch_.filePath(QStringLiteral("stalls"));
    const QString pidFile = scratch_.filePath(QStringLiteral("stalls.pid"));
    QVERIFY(WriteStandInProgram(program, "sleep 300 & echo $! > '" + pidFile.toUtf8() + "'; wait"));
    TestJobContext context;
    PrepareContext(context, program);
    context.sink.cancelWhenStatusStartsWith = QStringLiteral("Asking yt-dlp");
    context.sink.cancelAfterPolls = 5;
    context.AddJob(service_.Url(QStringLiteral("/novideo")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobFailed);
    QVERIFY(context.sink.cancelled);
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const qint64 child = file.readAll().trimmed().toLongLong();
    QVERIFY(child > 0);
    QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(child), 1000);
    QCOMPARE(Entries(output_->path()), QStringList());
}

void TestYtDlpJob::addressesNeverBecomeOptions_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("option") << "--exec=touch pwned";
    QTest::newRow("short option") << "-o/tmp/pwned";
    QTest::newRow("shell") << "http://127.0.0.1:1/a;touch pwned`touch pwned`$(touch pwned)|x&y";
}

void TestYtDlpJob::addressesNeverBecomeOptions() {
    QFETCH(QString, address);
    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("records"));
    // Writes each argument on a line of its own and answers no video.
    QVERIFY(WriteStandInProgram(program, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > args; "
                                         "echo 'ERROR: Unsupported URL' >&2; exit 1"));
    const QString old = QDir::currentPath();
    QDir::setCurrent(folder.path());
    const YtDlpExtraction result = ExtractWithYtDlp({program, QStringLiteral("test")}, address, nullptr, 30);
    QDir::setCurrent(old);
    QCOMPARE(result.outcome, YtDlpExtraction::Outcome::NoVideo);
    QFile args(folder.filePath(QStringLiteral("args")));
    QVERIFY(args.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(args.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 3);
    QCOMPARE(lines[lines.size() - 2], QStringLiteral("--"));
    QCOMPARE(lines.last(), address);
    QVERIFY(lines.contains(QStringLiteral("--ignore-config")));
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("pwned"))));
}

void TestYtDlpJob::badAnswersFailClearlyOrNameSafely_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("reason"); // empty: succeeds
    QTest::addColumn<QString>("fileName");
    const QByteArray clipUrl = service_.Url(QStringLiteral("/media/clip.mp4")).toUtf8();
    const QByteArray format =
        R"json("formats": [{"format_id": "0", "protocol": "https", "ext": "mp4", "url": ")json" + clipUrl +
        "\"}]";
    QTest::newRow("garbage") << QByteArray(
                                    "echo '[generic] Extracting URL'; echo 'Traceback (most recent call'")
                             << "not readable JSON"
                             << "";
    QTest::newRow("truncated") << QByteArray("printf '{\"title\": \"x\", \"formats\": [{'")
                               << "not readable JSON"
                               << "";
    QTest::newRow("huge") << QByteArray("yes '{\"title\": \"x\"}' | head -c 40000000") << "larger than 32 MiB"
                          << "";
    QTest::newRow("error line")
        << QByteArray("echo 'WARNING: x' >&2; echo 'ERROR: [site] 42: Video unavailable' >&2; exit 1")
        << "yt-dlp could not read the page: [site] 42: Video unavailable"
        << "";
    QTest::newRow("local file")
        << QByteArray(
               R"json(echo '{"title": "t", "formats": [{"format_id": "0", "url": "file:///etc/passwd"}]}')json")
        << "No video found on this page"
        << "";
    QTest::newRow("path in title") << "echo '{\"title\": \"../../x/y\", " + format + "}'"
                                   << ""
                                   << "x y.mp4"; // never a hidden name
    QTest::newRow("controls in title") << "printf '{\"title\": \"a\\\\u0007b\\\\u202ec\", " + format + "}'"
                                       << ""
                                       << "a b c.mp4";
}

void TestYtDlpJob::badAnswersFailClearlyOrNameSafely() {
    QFETCH(QByteArray, script);
    QFETCH(QString, reason);
    QFETCH(QString, fileName);
    const QString program = scratch_.filePath(QStringLiteral("answers"));
    QVERIFY(WriteStandInProgram(program, script));
    TestJobContext context;
    PrepareContext(context, program);
    context.AddJob(service_.Url(QStringLiteral("/novideo")));
    const int result = ProcessJob(context, 0, VideoQuality::Standard, false);
    if (reason.isEmpty()) {
        QCOMPARE(result, JobSucceeded);
        QCOMPARE(QFileInfo(context.jobs[0].outputPath).dir().path(), output_->path());
        QCOMPARE(Entries(output_->path()), QStringList{fileName});
    } else {
        QCOMPARE(result, JobFailed);
        QVERIFY2(!context.sink.calls.filter(reason).isEmpty(), qPrintable(context.sink.calls.join(u'\n')));
        QCOMPARE(Entries(output_->path()), QStringList());
    }
}

void TestYtDlpJob::chaptersAndCaptionsOfTheInfoGoIntoTheFile_data() {
    QTest::addColumn<bool>("captions");
    QTest::addColumn<QByteArray>("pictures"); // the info's thumbnails, as JSON members
    QTest::addColumn<QString>("coverNote");   // empty: a cover is attached when pictures are named
    const QByteArray media = service_.Url(QStringLiteral("/media/")).toUtf8();
    QTest::newRow("chapters alone") << false << QByteArray() << QString();
    QTest::newRow("chapters, captions and the JPEG of the thumbnails")
        << true
        << "\"thumbnails\": [{\"url\": \"" + media + "thumb.webp\"}, {\"url\": \"" + media +
               "cover.jpg\"}, {\"url\": \"" + media + "thumb.webp?x=.jpg\"}], "
        << QString();
    QTest::newRow("a JPEG the engine cannot read") << false << "\"thumbnail\": \"" + media + "broken.jpg\", "
                                                   << "Cover left out: the engine could not read it";
    QTest::newRow("a thumbnail that is no picture")
        << false << "\"thumbnail\": \"" + media + "auto-en.vtt\", "
        << "Cover left out: neither a JPEG nor a PNG picture";
}

// A file yt-dlp's info gives chapters, automatic captions and a cover for is copied once more
// with them; a cover that cannot be had leaves the file without one.
void TestYtDlpJob::chaptersAndCaptionsOfTheInfoGoIntoTheFile() {
    QFETCH(bool, captions);
    QFETCH(QByteArray, pictures);
    QFETCH(QString, coverNote);
    QVERIFY(service_.AddMedia(QStringLiteral("auto-en.vtt"), "WEBVTT\n\n00:00.100 --> 00:00.900\nheard\n"));
    const QString cover = scratch_.filePath(QStringLiteral("cover.jpg"));
    QVERIFY(RunFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                       QStringLiteral("color=blue:size=32x32"), QStringLiteral("-frames:v"),
                       QStringLiteral("1"), cover}));
    QFile coverFile(cover);
    QVERIFY(coverFile.open(QIODevice::ReadOnly));
    QVERIFY(service_.AddMedia(QStringLiteral("cover.jpg"), coverFile.readAll()));
    QVERIFY(service_.AddMedia(QStringLiteral("broken.jpg"), "\xFF\xD8\xFF\xE0" + QByteArray(600, 'x')));
    const QByteArray script = "echo '{\"title\": \"Marked\", " + pictures +
                              "\"chapters\": [{\"start_time\": 0, \"title\": "
                              "\"Intro\"}, {\"start_time\": 0.5, \"title\": \"Rest\"}], "
                              "\"automatic_captions\": {\"en\": [{\"ext\": \"vtt\", \"url\": \"" +
                              service_.Url(QStringLiteral("/media/auto-en.vtt")).toUtf8() +
                              "\"}]}, \"formats\": [{\"format_id\": \"0\", \"protocol\": \"https\", \"ext\": "
                              "\"mp4\", \"url\": \"" +
                              service_.Url(QStringLiteral("/media/clip.mp4")).toUtf8() + "\"}]}'";
    const QString program = scratch_.filePath(QStringLiteral("marked"));
    QVERIFY(WriteStandInProgram(program, script));
    TestJobContext context;
    PrepareContext(context, program);
    context.embedMetadata = true;
    if (captions) {
        context.subtitles = ParseSubtitleLanguages(QStringLiteral("en"));
        context.subtitles.automatic = true;
    }
    context.AddJob(service_.Url(QStringLiteral("/novideo")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);
    QCOMPARE(Entries(output_->path()), QStringList{QStringLiteral("Marked.mp4")});

    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("chapter_tags=title:stream=codec_name"), QStringLiteral("-of"),
                 QStringLiteral("csv=p=0"), context.jobs[0].outputPath});
    QVERIFY(probe.waitForFinished(60000));
    const QStringList seen =
        QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(seen.contains(QStringLiteral("mov_text")), captions);
    QVERIFY2(seen.contains(QStringLiteral("Intro")) && seen.contains(QStringLiteral("Rest")),
             qPrintable(seen.join(u'|')));
    QCOMPARE(context.jobs[0].extrasNote.contains(QStringLiteral("en (embedded)")), captions);
    QCOMPARE(seen.contains(QStringLiteral("mjpeg")), !pictures.isEmpty() && coverNote.isEmpty());
    if (!coverNote.isEmpty())
        QVERIFY2(context.jobs[0].extrasNote.contains(coverNote), qPrintable(context.jobs[0].extrasNote));
}

namespace {

// The subtitle languages (as ISO 639-2/B codes, whichever form the file uses) and the format
// tags of a file.
struct Carried {
    QSet<QString> languages;
    QHash<QString, QString> tags;
};

Carried CarriedBy(const QString& path) {
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_type:stream_tags=language:format_tags"), QStringLiteral("-of"),
                 QStringLiteral("json"), path});
    probe.waitForFinished(60000);
    const QJsonObject root = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    Carried carried;
    for (const QJsonValue& stream : root.value(QLatin1String("streams")).toArray()) {
        const QJsonObject object = stream.toObject();
        if (object.value(QLatin1String("codec_type")).toString() == QLatin1String("subtitle"))
            carried.languages.insert(ContainerLanguageCode(
                object.value(QLatin1String("tags")).toObject().value(QLatin1String("language")).toString()));
    }
    const QJsonObject tags =
        root.value(QLatin1String("format")).toObject().value(QLatin1String("tags")).toObject();
    for (auto it = tags.begin(); it != tags.end(); ++it)
        carried.tags.insert(it.key(), it.value().toString());
    return carried;
}

} // namespace

// The same page through yt-dlp's own embedding and through a job: the job's file carries every
// subtitle language and every tag of the video that yt-dlp's does ("synopsis" is MP4's copy of
// the description; the container's own bookkeeping tags are no tags of the video).
void TestYtDlpJob::carriesWhatYtDlpsOwnEmbeddingCarries() {
    QVERIFY(service_.AddMedia(QStringLiteral("side-en.vtt"), "WEBVTT\n\n00:00.100 --> 00:00.900\nhello\n"));
    QVERIFY(service_.AddMedia(QStringLiteral("side-de.vtt"), "WEBVTT\n\n00:00.100 --> 00:00.900\nhallo\n"));
    QVERIFY(service_.AddMedia(
        QStringLiteral("side.html"),
        R"(<html><head><title>Side clip</title><meta property="og:description" content="About the clip">
<script type="application/ld+json">{"@type":"VideoObject","name":"Side clip","contentUrl":"clip.mp4",
"uploadDate":"2026-03-14","author":"Ann","description":"About the clip"}</script></head><body>
<video controls><source src="clip.mp4" type="video/mp4"><track kind="subtitles" srclang="en" src="side-en.vtt">
<track kind="subtitles" srclang="de" src="side-de.vtt"></video></body></html>)"));
    const QString page = service_.Url(QStringLiteral("/media/side.html"));

    QTemporaryDir peerFolder;
    GroupProcessRequest request;
    request.program = QStringLiteral("/usr/bin/yt-dlp");
    request.arguments = {QStringLiteral("--ignore-config"),
                         QStringLiteral("--no-progress"),
                         QStringLiteral("--embed-subs"),
                         QStringLiteral("--sub-langs"),
                         QStringLiteral("all"),
                         QStringLiteral("--embed-metadata"),
                         QStringLiteral("--embed-chapters"),
                         QStringLiteral("--embed-thumbnail"),
                         QStringLiteral("-o"),
                         peerFolder.filePath(QStringLiteral("peer.%(ext)s")),
                         page};
    const GroupProcessResult peer = RunGroupProcess(request);
    QVERIFY2(peer.end == GroupProcessResult::End::Exited && peer.exitCode == 0, peer.error.constData());
    const Carried theirs = CarriedBy(peerFolder.filePath(QStringLiteral("peer.mp4")));
    QVERIFY2(theirs.languages.size() == 2, qPrintable(QStringList(theirs.languages.values()).join(u',')));

    TestJobContext context;
    PrepareContext(context);
    context.embedMetadata = true;
    context.subtitles = ParseSubtitleLanguages(QStringLiteral("all"));
    context.AddJob(page);
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);
    const Carried ours = CarriedBy(context.jobs[0].outputPath);

    QVERIFY2(ours.languages.contains(theirs.languages),
             qPrintable(QStringList(ours.languages.values()).join(u',')));
    const QSet<QString> bookkeeping{QStringLiteral("major_brand"), QStringLiteral("minor_version"),
                                    QStringLiteral("compatible_brands"), QStringLiteral("encoder"),
                                    QStringLiteral("synopsis")};
    for (auto it = theirs.tags.begin(); it != theirs.tags.end(); ++it) {
        if (!bookkeeping.contains(it.key()))
            QVERIFY2(!ours.tags.value(it.key()).isEmpty(), qPrintable(it.key()));
    }
    QCOMPARE(ours.tags.value(QStringLiteral("description")), QStringLiteral("About the clip"));
}

QTEST_GUILESS_MAIN(TestYtDlpJob)
#include "tst_ytdlpjob.moc"
