// The per-job procedure with conversion switched on: a real download from the sample video
// service on loopback, converted by the real engine, or failed on purpose by the recording one.

#include "catalogtesting.h"
#include "conversion/conversionengine.h"
#include "conversion/formatcatalog.h"
#include "mediafixtures.h"
#include "queue/progresssink.h"
#include "recordingcontrol.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/job/processjob.h"
#include "testenvironment.h"
#include "testjobcontext.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using TestSupport::CatalogPreset;
using TestSupport::FactoryCatalog;

namespace {

QStringList StreamCodecs(const QString& path) {
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_name"), QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                 path});
    if (!probe.waitForFinished(30000))
        return {QStringLiteral("ffprobe hung")};
    return QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestJobConversion : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void convertsIntoThePresetFormat_data();
    void convertsIntoThePresetFormat();
    void convertsInAFolderWithQuotesAndBackslashes();
    void convertedFilesCarryTheVideosTags_data();
    void convertedFilesCarryTheVideosTags();
    void failedConversionLeavesNoFileBehind();
    void conversionWithoutEngineFails();
    void engineWithoutItsMediaPartNamesTheCause();

private:
    void AddJob(TestJobContext& context) const;
    QStringList TemporaryFiles() const;
    // Hidden ones too: the job's working files live in the output folder.
    QStringList OutputFiles() const;

    QProcess service_;
    QTemporaryDir media_;
    QTemporaryDir temp_;
    QTemporaryDir output_;
    QByteArray oldTemp_;
    QString host_;
    Catalog catalog_;
    RecordingControl recording_;
};

void TestJobConversion::initTestCase() {
    QVERIFY2(recording_.Load(RECORDING_ENGINE_PATH), dlerror());
    TestSupport::FixtureContents contents;
    contents.seconds = 1.0;
    QString error;
    for (const char* name : {"clip.flv", "clip.mp4"}) {
        QVERIFY2(TestSupport::MakeMediaFixture(media_.filePath(QLatin1String(name)), contents, &error),
                 qPrintable(error));
    }
    QFile title(media_.filePath(QStringLiteral("clip.title")));
    QVERIFY(title.open(QIODevice::WriteOnly));
    title.write("Trip: day 1?");
    title.close();

    service_.start(QDir(TestSupport::BinDir()).filePath(QStringLiteral("videosvc")),
                   {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--media"), media_.path()});
    QVERIFY2(service_.waitForReadyRead(10000), qPrintable(service_.errorString()));
    const int port = service_.readLine().trimmed().toInt();
    QVERIFY(port > 0);
    host_ = QStringLiteral("127.0.0.1:%1").arg(port);

    // The job's temporary files go to a folder of the test's own, where none may be left.
    oldTemp_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp_.path().toUtf8());

    catalog_ = FactoryCatalog();
}

void TestJobConversion::cleanupTestCase() {
    qputenv("TMPDIR", oldTemp_);
    service_.kill();
    service_.waitForFinished();
}

void TestJobConversion::init() {
    for (const QString& name : OutputFiles())
        QFile::remove(output_.filePath(name));
}

void TestJobConversion::AddJob(TestJobContext& context) const {
    context.AddJob(QStringLiteral("http://%1/watch?v=clip").arg(host_));
    context.outputFolder = output_.path();
    context.videoHost = host_;
}

QStringList TestJobConversion::TemporaryFiles() const {
    return QDir(temp_.path()).entryList(QDir::Files | QDir::Hidden);
}

QStringList TestJobConversion::OutputFiles() const {
    return QDir(output_.path()).entryList(QDir::Files | QDir::Hidden);
}

void TestJobConversion::convertsIntoThePresetFormat_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("preset");
    QTest::addColumn<VideoQuality>("quality");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("codecs");

    QTest::newRow("MP3 Good Quality")
        << "MP3" << 0 << VideoQuality::Standard << "Trip day 1.mp3" << QStringList{"mp3"};
    QTest::newRow("3GP Optimal Quality") << "Mobile Phone - 3GP" << 0 << VideoQuality::HighMp4
                                         << "Trip day 1.3gp" << QStringList{"h263", "amr_nb"};
}

void TestJobConversion::convertsIntoThePresetFormat() {
    QFETCH(QString, format);
    QFETCH(int, preset);
    QFETCH(VideoQuality, quality);
    QFETCH(QString, fileName);
    QFETCH(QStringList, codecs);
    ConversionEngine engine;
    QVERIFY(engine.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    TestJobContext context;
    AddJob(context);
    context.engine = &engine;
    context.preset = &CatalogPreset(catalog_, format, preset);

    // The preset's extension replaces the download's, whatever the quality.
    QCOMPARE(ProcessJob(context, 0, quality, true), JobSucceeded);
    QCOMPARE(context.states[0], (QList<JobState>{JobState::Preparing, JobState::Downloading,
                                                 JobState::Converting, JobState::Succeeded}));
    QCOMPARE(context.phases.last(), RunPhase::PhaseConvert);
    const QString outputPath = output_.filePath(fileName);
    QCOMPARE(context.jobs[0].outputPath, outputPath);
    QCOMPARE(OutputFiles(), QStringList{fileName});
    QStringList found = StreamCodecs(outputPath);
    found.sort();
    codecs.sort();
    QCOMPARE(found, codecs);
    QCOMPARE(TemporaryFiles(), QStringList());
}

// With EmbedMetadata the converted file is told the page's title and the address it came from;
// without, it carries neither.
void TestJobConversion::convertedFilesCarryTheVideosTags_data() {
    QTest::addColumn<bool>("embed");
    QTest::newRow("EmbedMetadata=1") << true;
    QTest::newRow("EmbedMetadata=0") << false;
}

void TestJobConversion::convertedFilesCarryTheVideosTags() {
    QFETCH(bool, embed);
    ConversionEngine engine;
    QVERIFY(engine.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    TestJobContext context;
    AddJob(context);
    context.engine = &engine;
    context.preset = &CatalogPreset(catalog_, QStringLiteral("MP3"), 0);
    context.embedMetadata = embed;
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, true), JobSucceeded);
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format_tags=title,comment"), QStringLiteral("-of"),
                 QStringLiteral("default=noprint_wrappers=1"), context.jobs[0].outputPath});
    QVERIFY(probe.waitForFinished(30000));
    const QString tags = QString::fromUtf8(probe.readAllStandardOutput());
    const QString expected =
        QStringLiteral("TAG:title=Trip: day 1?\nTAG:comment=%1\n").arg(context.jobs[0].url);
    QCOMPARE(tags, embed ? expected : QString());

    // A page's JSON-LD says who made the video and when.
    TestJobContext fromPage;
    fromPage.AddJob(QStringLiteral("http://%1/pages/jsonld?v=clip").arg(host_));
    fromPage.outputFolder = output_.path();
    fromPage.videoHost = host_;
    fromPage.engine = &engine;
    fromPage.preset = context.preset;
    fromPage.embedMetadata = embed;
    fromPage.policy = OverwritePolicy::OverwriteAll;
    QCOMPARE(ProcessJob(fromPage, 0, VideoQuality::Standard, true), JobSucceeded);
    QCOMPARE(TestSupport::ProbedTag(fromPage.jobs[0].outputPath, QStringLiteral("artist")),
             embed ? QStringLiteral("Sample Maker") : QString());
    QCOMPARE(TestSupport::ProbedTag(fromPage.jobs[0].outputPath, QStringLiteral("date")),
             embed ? QStringLiteral("2026") : QString());
}

void TestJobConversion::convertsInAFolderWithQuotesAndBackslashes() {
    ConversionEngine engine;
    QVERIFY(engine.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    // On Linux a double quote and a backslash are characters like any other in a name.
    const QString folder = output_.filePath(QStringLiteral("say \"hi\" \\\" -f null \\"));
    QVERIFY(QDir().mkpath(folder));
    TestJobContext context;
    AddJob(context);
    context.outputFolder = folder;
    context.engine = &engine;
    context.preset = &CatalogPreset(catalog_, QStringLiteral("MP3"), 0);

    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, true), JobSucceeded);
    QCOMPARE(context.jobs[0].outputPath, folder + QStringLiteral("/Trip day 1.mp3"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"Trip day 1.mp3"});
    QCOMPARE(StreamCodecs(context.jobs[0].outputPath), QStringList{"mp3"});
    QVERIFY(QDir(folder).removeRecursively());
}

void TestJobConversion::failedConversionLeavesNoFileBehind() {
    recording_.Reset(-3);
    recording_.SetStreams(
        {RecordingControl::Video(25, 1, 0, 320, 240), RecordingControl::Audio(22050, 0, 1)});
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    TestJobContext context;
    AddJob(context);
    context.engine = &engine;
    context.preset = &CatalogPreset(catalog_, QStringLiteral("FLV"), 2);

    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, true), JobFailed);
    QCOMPARE(context.states[0], (QList<JobState>{JobState::Preparing, JobState::Downloading,
                                                 JobState::Converting, JobState::Failed}));
    QVERIFY(context.jobs[0].outputPath.isEmpty());
    QCOMPARE(OutputFiles(), QStringList());
    QCOMPARE(TemporaryFiles(), QStringList());

    // The engine was given the downloaded file and a second working file, both quoted, both
    // beside the final file.
    const QString line = recording_.LastText();
    const QString temp = QDir(output_.path()).filePath(QStringLiteral(".~VD"));
    QVERIFY2(line.startsWith(QStringLiteral(" encoder -i \"") + temp), qPrintable(line));
    QVERIFY2(
        line.contains(QStringLiteral(" -f flv -vcodec flv -s 320x240 -r 25/1 -b 400000 -acodec libmp3lame "
                                     "-ac 2 -ar 22050 -ab 96000 -y \"") +
                      temp),
        qPrintable(line));
}

void TestJobConversion::conversionWithoutEngineFails() {
    TestJobContext context;
    AddJob(context);
    context.preset = &CatalogPreset(catalog_, QStringLiteral("AVI"), 0);
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, true), JobFailed);
    QCOMPARE(context.states[0].last(), JobState::Failed);
    QCOMPARE(OutputFiles(), QStringList());
    QCOMPARE(TemporaryFiles(), QStringList());
}

// The engine's front opens at start-up without its media libraries; a job that needs them fails
// with the system's reason, where the user can read it.
void TestJobConversion::engineWithoutItsMediaPartNamesTheCause() {
    QTemporaryDir alone;
    const QString front = QDir(alone.path()).filePath(EngineLibraryFileName());
    QVERIFY(QFile::copy(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName()), front));
    ConversionEngine engine;
    QVERIFY(engine.Open(front));
    TestJobContext context;
    AddJob(context);
    context.engine = &engine;
    context.preset = &CatalogPreset(catalog_, QStringLiteral("AVI"), 0);

    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, true), JobFailed);
    const QStringList results = context.sink.calls.filter(QStringLiteral("Status 3 "));
    QVERIFY(!results.isEmpty());
    QVERIFY2(results.last().contains(QStringLiteral("could not load its media part")) &&
                 results.last().contains(QStringLiteral("No such file")),
             qPrintable(results.last()));
    QCOMPARE(OutputFiles(), QStringList());
    QCOMPARE(TemporaryFiles(), QStringList());
}

QTEST_GUILESS_MAIN(TestJobConversion)
#include "tst_jobconversion.moc"
