// The conversion branch of the per-job procedure end to end: a download from the sample video
// service on loopback, converted by the real engine into a file a player can use, or stopped
// by the user in the middle with nothing left behind.

#include "catalogtesting.h"
#include "conversion/conversionengine.h"
#include "conversion/formatcatalog.h"
#include "enginetesting.h"
#include "mediafixtures.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/job/processjob.h"
#include "sampleservice.h"
#include "testenvironment.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using namespace EngineTesting;

namespace {

class EngineJobContext : public JobContext {
public:
    DownloadJob job;
    QList<JobState> states;
    QString outputFolder;
    QString videoHost;
    const Preset* preset = nullptr;
    ConversionEngine* engine = nullptr;
    RecordingSink downloadSink;
    RecordingSink conversionSink;

    DownloadJob& Job(int) override { return job; }
    void SetJobState(int, JobState state) override { job.state = state, states << state; }
    QString OutputFolder() const override { return outputFolder; }
    QString VideoHost() const override { return videoHost; }
    const Preset* SelectedPreset() const override { return preset; }
    ConversionEngine* Engine() override { return engine; }
    OverwritePolicy Policy() const override { return OverwritePolicy::OverwriteAll; }
    void SetPolicy(OverwritePolicy) override {}
    int AskOverwrite(const QString&) override { return AnswerYes; }
    ProgressSink* DownloadSink() override { return &downloadSink; }
    ProgressSink* ConversionSink() override { return &conversionSink; }
    void SetPhase(RunPhase) override {}
    void ResetProgress() override {}
};

// Decodes the whole file, then seeks into its middle and decodes a picture there; the
// tool's complaints, or empty when a player would have none.
QString PlaybackProblems(const QString& path) {
    QString problems;
    for (const QStringList& seek :
         {QStringList{}, QStringList{QStringLiteral("-ss"), QStringLiteral("1.5")}}) {
        QProcess ffmpeg;
        ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
        ffmpeg.start(TestSupport::FfmpegPath(),
                     QStringList{QStringLiteral("-v"), QStringLiteral("error")} + seek +
                         QStringList{QStringLiteral("-i"), path, QStringLiteral("-f"), QStringLiteral("null"),
                                     QStringLiteral("-")});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
            problems += QStringLiteral("ffmpeg failed; ");
        problems += QString::fromUtf8(ffmpeg.readAll());
    }
    return problems;
}

} // namespace

class TestEngineJob : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void deliversPlayable3gpWithAmr();
    void stopDuringConversionLeavesNothing();

private:
    void Prepare(EngineJobContext& context);

    SampleService service_;
    QTemporaryDir temp_;
    QTemporaryDir output_;
    QByteArray oldTemp_;
    ConversionEngine engine_;
    Catalog catalog_;
    const Preset* optimal3gp_ = nullptr;
};

void TestEngineJob::initTestCase() {
    TestSupport::FixtureContents contents;
    contents.seconds = 3;
    contents.width = 480;
    contents.height = 360;
    QString error;
    const QString clip = QDir(service_.MediaFolder()).filePath(QStringLiteral("clip.flv"));
    QVERIFY2(TestSupport::MakeMediaFixture(clip, contents, &error), qPrintable(error));
    QVERIFY(service_.AddMedia(QStringLiteral("clip.title"), "Harbour at dusk"));
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));

    // The job's temporary files go to a folder of the test's own, where none may be left.
    oldTemp_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp_.path().toUtf8());

    catalog_ = TestSupport::FactoryCatalog();
    optimal3gp_ = &TestSupport::CatalogPreset(catalog_, QStringLiteral("Mobile Phone - 3GP"), 0);
    QCOMPARE(QString::fromUtf8(optimal3gp_->settings.name), QStringLiteral("Optimal Quality"));
}

void TestEngineJob::cleanupTestCase() {
    qputenv("TMPDIR", oldTemp_);
}

void TestEngineJob::Prepare(EngineJobContext& context) {
    for (const QString& name : QDir(output_.path()).entryList(QDir::Files))
        QFile::remove(output_.filePath(name));
    context.job.url = service_.WatchUrl(QStringLiteral("clip"));
    context.outputFolder = output_.path();
    context.videoHost = service_.Host();
    context.engine = &engine_;
    context.preset = optimal3gp_;
}

void TestEngineJob::deliversPlayable3gpWithAmr() {
    EngineJobContext context;
    Prepare(context);
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, true), JobSucceeded);
    QCOMPARE(context.states.last(), JobState::Succeeded);
    const QString delivered = output_.filePath(QStringLiteral("Harbour at dusk.3gp"));
    QCOMPARE(context.job.outputPath, delivered);

    const ProbedFile probed = ProbeWithFfprobe(delivered);
    QCOMPARE(probed.brand.left(3), QStringLiteral("3gp"));
    QCOMPARE(probed.video.size(), 1);
    QCOMPARE(probed.video.first().codec, QStringLiteral("h263"));
    QCOMPARE(probed.video.first().width, 176);
    QCOMPARE(probed.audio.size(), 1);
    QCOMPARE(probed.audio.first().codec, QStringLiteral("amr_nb"));
    QCOMPARE(probed.audio.first().sampleRate, 8000);
    QCOMPARE(probed.audio.first().channels, 1);
    QVERIFY2(qAbs(probed.duration - 3.0) < 0.2, qPrintable(QString::number(probed.duration)));
    QCOMPARE(PlaybackProblems(delivered), QString());

    // The engine reported through the window's conversion sink from start to end.
    QCOMPARE(context.conversionSink.begins, 1);
    QCOMPARE(context.conversionSink.ends, 1);
    QVERIFY(context.conversionSink.total > 0);
    QCOMPARE(QDir(temp_.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestEngineJob::stopDuringConversionLeavesNothing() {
    EngineJobContext context;
    Prepare(context);
    context.conversionSink.stopWhen = [](const RecordingSink&) {
        return true;
    };
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, true), JobFailed);
    QCOMPARE(context.states, (QList<JobState>{JobState::Preparing, JobState::Downloading,
                                              JobState::Converting, JobState::Failed}));
    QVERIFY2(context.conversionSink.Failure().contains(QStringLiteral("stopped")),
             qPrintable(context.conversionSink.Failure()));
    QCOMPARE(QDir(output_.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(QDir(temp_.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(TestEngineJob)
#include "tst_enginejob.moc"
