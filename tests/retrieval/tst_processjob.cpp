#include "retrieval/job/processjob.h"
#include "sampleservice.h"
#include "testjobcontext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(VideoQuality)
Q_DECLARE_METATYPE(OverwritePolicy)

namespace {

using States = QList<JobState>;

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestProcessJob : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void downloadsIntoTheOutputFolder_data();
    void downloadsIntoTheOutputFolder();
    void answersTheOverwriteQuestion_data();
    void answersTheOverwriteQuestion();
    void jobsWithOneTitleShareTheRunsAnswer_data();
    void jobsWithOneTitleShareTheRunsAnswer();
    void createsTheOutputFolder();
    void folderNameWithALoneSurrogateIsNoCrash();
    void downloadsBesideTheFinalFile();
    void outputFolderThatCannotBeMadeLeavesNothing();
    void namesFilesAfterSanitisedTitles_data();
    void namesFilesAfterSanitisedTitles();
    void failuresLeaveNothingBehind_data();
    void failuresLeaveNothingBehind();
    void recoversFromPassingFaults_data();
    void recoversFromPassingFaults();
    void failedDeliveryKeepsWhatWasThere();
    void conversionWithoutPresetFailsBeforeDownloading();

private:
    QString AddTitledVideo(const QString& id, const QString& title);
    void StartContext(TestJobContext& context) const;

    SampleService service_;
    QTemporaryDir outputRoot_;
    QTemporaryDir tempHome_;
    QScopedPointer<QTemporaryDir> output_;
};

void TestProcessJob::initTestCase() {
    // Temporary files go to a folder of this case's own, so that leftovers can be seen.
    qputenv("TMPDIR", QFile::encodeName(tempHome_.path()));
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
    QVERIFY(service_.AddSampleVideos());
}

void TestProcessJob::init() {
    output_.reset(new QTemporaryDir(outputRoot_.filePath(QStringLiteral("out-XXXXXX"))));
}

void TestProcessJob::cleanup() {
    QCOMPARE(Entries(tempHome_.path()), QStringList());
}

void TestProcessJob::StartContext(TestJobContext& context) const {
    context.outputFolder = output_->path();
    context.videoHost = service_.Host();
}

QString TestProcessJob::AddTitledVideo(const QString& id, const QString& title) {
    service_.AddMedia(id + QStringLiteral(".flv"), service_.MediaBytes(QStringLiteral("sample.flv")));
    service_.AddMedia(id + QStringLiteral(".title"), title.toUtf8());
    return service_.WatchUrl(id);
}

void TestProcessJob::downloadsIntoTheOutputFolder_data() {
    QTest::addColumn<VideoQuality>("quality");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("standard") << VideoQuality::Standard << "sample.flv";
    QTest::newRow("high FLV") << VideoQuality::HighFlv << "sample.flv";
    QTest::newRow("high MP4") << VideoQuality::HighMp4 << "sample.mp4";
}

void TestProcessJob::downloadsIntoTheOutputFolder() {
    QFETCH(VideoQuality, quality);
    QFETCH(QString, fileName);

    TestJobContext context;
    StartContext(context);
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    QCOMPARE(ProcessJob(context, 0, quality, false), JobSucceeded);

    QCOMPARE(context.states[0], States({JobState::Preparing, JobState::Downloading, JobState::Succeeded}));
    QCOMPARE(context.phases, QList<RunPhase>({RunPhase::PhasePrepare, RunPhase::PhaseDownload}));
    QCOMPARE(context.progressResets, 1);
    const QString path = output_->filePath(fileName);
    QCOMPARE(context.jobs[0].outputPath, path);
    QCOMPARE(context.jobs[0].title, QStringLiteral("sample"));
    QCOMPARE(ReadFile(path), service_.MediaBytes(fileName));
    QCOMPARE(Entries(output_->path()), QStringList({fileName}));
    QVERIFY(context.questions.isEmpty());
}

void TestProcessJob::answersTheOverwriteQuestion_data() {
    QTest::addColumn<OverwritePolicy>("policy");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("result");
    QTest::addColumn<OverwritePolicy>("policyAfter");

    const int none = 0;
    QTest::newRow("yes") << OverwritePolicy::Ask << int(JobContext::AnswerYes) << true << JobSucceeded
                         << OverwritePolicy::Ask;
    QTest::newRow("yes to all") << OverwritePolicy::Ask << int(JobContext::AnswerYesToAll) << true
                                << JobSucceeded << OverwritePolicy::OverwriteAll;
    QTest::newRow("no") << OverwritePolicy::Ask << int(JobContext::AnswerNo) << true << JobSkipped
                        << OverwritePolicy::Ask;
    QTest::newRow("no to all") << OverwritePolicy::Ask << int(JobContext::AnswerNoToAll) << true << JobSkipped
                               << OverwritePolicy::SkipAll;
    QTest::newRow("cancel") << OverwritePolicy::Ask << int(JobContext::AnswerCancel) << true << JobSkipped
                            << OverwritePolicy::SkipAll;
    QTest::newRow("dialog ended otherwise")
        << OverwritePolicy::Ask << none << true << JobSucceeded << OverwritePolicy::Ask;
    QTest::newRow("overwrite all") << OverwritePolicy::OverwriteAll << none << false << JobSucceeded
                                   << OverwritePolicy::OverwriteAll;
    QTest::newRow("skip all") << OverwritePolicy::SkipAll << none << false << JobSkipped
                              << OverwritePolicy::SkipAll;
}

void TestProcessJob::answersTheOverwriteQuestion() {
    QFETCH(OverwritePolicy, policy);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(int, result);
    QFETCH(OverwritePolicy, policyAfter);

    const QString existing = output_->filePath(QStringLiteral("sample.flv"));
    QVERIFY(WriteFile(existing, "old"));
    TestJobContext context;
    StartContext(context);
    context.policy = policy;
    context.answers = {answer};
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));

    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), result);
    QCOMPARE(context.questions, asked ? QStringList({QStringLiteral("sample.flv")}) : QStringList());
    QCOMPARE(context.policy, policyAfter);
    if (result == JobSucceeded) {
        QCOMPARE(context.states[0].last(), JobState::Succeeded);
        QCOMPARE(ReadFile(existing), service_.MediaBytes(QStringLiteral("sample.flv")));
    } else {
        QCOMPARE(context.states[0], States({JobState::Preparing, JobState::Skipped}));
        QCOMPARE(ReadFile(existing), QByteArray("old"));
        QVERIFY(context.jobs[0].outputPath.isEmpty());
    }
}

void TestProcessJob::jobsWithOneTitleShareTheRunsAnswer_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("results");
    QTest::addColumn<QString>("finalMedia");

    QTest::newRow("yes to all") << int(JobContext::AnswerYesToAll)
                                << QList<int>({JobSucceeded, JobSucceeded, JobSucceeded}) << "sample.mp4";
    QTest::newRow("no to all") << int(JobContext::AnswerNoToAll)
                               << QList<int>({JobSucceeded, JobSkipped, JobSkipped}) << "sample.flv";
}

void TestProcessJob::jobsWithOneTitleShareTheRunsAnswer() {
    QFETCH(int, answer);
    QFETCH(QList<int>, results);
    QFETCH(QString, finalMedia);

    // Two different videos under one title, and the second once more.
    const QString first = AddTitledVideo(QStringLiteral("twin-a"), QStringLiteral("Twins"));
    QVERIFY(
        service_.AddMedia(QStringLiteral("twin-b.flv"), service_.MediaBytes(QStringLiteral("sample.mp4"))));
    QVERIFY(service_.AddMedia(QStringLiteral("twin-b.title"), "Twins"));
    TestJobContext context;
    StartContext(context);
    context.answers = {answer};
    context.AddJob(first);
    context.AddJob(service_.WatchUrl(QStringLiteral("twin-b")));
    context.AddJob(service_.WatchUrl(QStringLiteral("twin-b")));

    QList<int> actual;
    for (int i = 0; i < 3; ++i)
        actual << ProcessJob(context, i, VideoQuality::Standard, false);
    QCOMPARE(actual, results);
    // One question for the whole run.
    QCOMPARE(context.questions, QStringList({QStringLiteral("Twins.flv")}));
    QCOMPARE(ReadFile(output_->filePath(QStringLiteral("Twins.flv"))), service_.MediaBytes(finalMedia));
    QCOMPARE(Entries(output_->path()), QStringList({QStringLiteral("Twins.flv")}));
}

void TestProcessJob::createsTheOutputFolder() {
    TestJobContext context;
    StartContext(context);
    context.outputFolder = output_->filePath(QStringLiteral("a/b/c"));
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);
    QCOMPARE(ReadFile(output_->filePath(QStringLiteral("a/b/c/sample.flv"))),
             service_.MediaBytes(QStringLiteral("sample.flv")));
}

void TestProcessJob::folderNameWithALoneSurrogateIsNoCrash() {
    // A name that has no exact form on the disk: the file calls take the form Qt gives it.
    TestJobContext context;
    StartContext(context);
    context.outputFolder = output_->path() + QLatin1Char('/') + QChar(0xD800);
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);
    QCOMPARE(ReadFile(context.jobs[0].outputPath), service_.MediaBytes(QStringLiteral("sample.flv")));
}

void TestProcessJob::downloadsBesideTheFinalFile() {
    // What the output folder holds while the stream arrives: the working file, under a hidden
    // name of its own, so that delivering it is a rename.
    TestJobContext context;
    StartContext(context);
    QSet<QString> seen;
    context.sink.onProgress = [&] {
        for (const QString& name : Entries(output_->path()))
            seen.insert(name);
    };
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);

    QCOMPARE(seen.size(), 1);
    const QString working = *seen.begin();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\.~VD[0-9a-f]{8}\\.part$")).match(working).hasMatch(),
             qPrintable(working));
    QCOMPARE(Entries(output_->path()), QStringList({QStringLiteral("sample.flv")}));
    QCOMPARE(ReadFile(output_->filePath(QStringLiteral("sample.flv"))),
             service_.MediaBytes(QStringLiteral("sample.flv")));
    // Delivered with the permissions of an ordinary new file, not the working file's private ones.
    QVERIFY(QFile::permissions(output_->filePath(QStringLiteral("sample.flv"))) & QFile::ReadOther);
}

void TestProcessJob::outputFolderThatCannotBeMadeLeavesNothing() {
    // The working file falls back to the temporary folder; delivery then fails, and the job
    // removes it from there too (the temporary folder is checked after every case).
    QVERIFY(WriteFile(output_->filePath(QStringLiteral("blocker")), "kept"));
    TestJobContext context;
    StartContext(context);
    context.outputFolder = output_->filePath(QStringLiteral("blocker/sub"));
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobFailed);
    QCOMPARE(context.states[0], States({JobState::Preparing, JobState::Downloading, JobState::Failed}));
    QCOMPARE(Entries(output_->path()), QStringList({QStringLiteral("blocker")}));
    QCOMPARE(ReadFile(output_->filePath(QStringLiteral("blocker"))), QByteArray("kept"));
}

void TestProcessJob::namesFilesAfterSanitisedTitles_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("slash, colon, question mark") << "AC/DC: Live?"
                                                 << "AC DC Live.flv";
    QTest::newRow("other forbidden characters")
        << QStringLiteral(u"Café <b> \"x\" | y") << QStringLiteral(u"Café b x y.flv");
    QTest::newRow("too long for the file system")
        << QString(300, QChar(0xE9)) << QString(125, QChar(0xE9)) + ".flv";
    QTest::newRow("a title of two million characters")
        << QString(2 << 20, QLatin1Char('t')) << QString(251, QLatin1Char('t')) + ".flv";
}

void TestProcessJob::namesFilesAfterSanitisedTitles() {
    QFETCH(QString, title);
    QFETCH(QString, fileName);

    const QString id = QStringLiteral("titled%1")
                           .arg(QTest::currentDataTag())
                           .remove(QRegularExpression(QStringLiteral("\\W")));
    TestJobContext context;
    StartContext(context);
    context.AddJob(AddTitledVideo(id, title));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);
    QCOMPARE(Entries(output_->path()), QStringList({fileName}));
    QCOMPARE(context.jobs[0].outputPath, output_->filePath(fileName));
    QVERIFY(context.jobs[0].title.size() <= 4096);
}

void TestProcessJob::failuresLeaveNothingBehind_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("stopAfterMs");
    QTest::addColumn<States>("states");
    QTest::addColumn<QString>("reason");

    const States resolving = {JobState::Preparing, JobState::Failed};
    const States downloading = {JobState::Preparing, JobState::Downloading, JobState::Failed};
    QTest::newRow("page 404") << "fault-page-404" << -1 << resolving << "404 Not Found";
    QTest::newRow("page 500") << "fault-page-500" << -1 << resolving << "500 Internal Server Error";
    QTest::newRow("empty page") << "fault-empty" << -1 << resolving << "answered with an empty page";
    QTest::newRow("no argument block") << "fault-noargs" << -1 << resolving << "No video found on this page";
    QTest::newRow("no title") << "fault-notitle" << -1 << resolving << "The watch page has no title";
    QTest::newRow("page too large") << "fault-huge" << -1 << resolving << "larger than 16 MiB";
    QTest::newRow("stream 404") << "fault-stream-404" << -1 << downloading << "404 Not Found";
    QTest::newRow("stream 500") << "fault-stream-500" << -1 << downloading << "500 Internal Server Error";
    QTest::newRow("stream cut short") << "fault-short" << -1 << downloading << "ended before the whole file";
    QTest::newRow("redirect to ftp") << "fault-redirect-ftp" << -1 << downloading << "Only http and https";
    QTest::newRow("redirect loop") << "fault-redirect-loop" << -1 << downloading << "redirects";
    // A stop is no error: the result line is empty.
    QTest::newRow("stopped on a stalled stream") << "fault-stall" << 300 << downloading << QString();
    QTest::newRow("stopped on a slow stream") << "fault-slow" << 300 << downloading << QString();
}

void TestProcessJob::failuresLeaveNothingBehind() {
    QFETCH(QString, id);
    QFETCH(int, stopAfterMs);
    QFETCH(States, states);
    QFETCH(QString, reason);

    TestJobContext context;
    StartContext(context);
    if (stopAfterMs >= 0) {
        context.sink.cancelWhen = RecordingSink::CancelWhen::AfterBeginDelay;
        context.sink.cancelDelayMs = stopAfterMs;
    }
    context.AddJob(service_.WatchUrl(id));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobFailed);
    QCOMPARE(context.states[0], states);
    QVERIFY(context.jobs[0].outputPath.isEmpty());
    QCOMPARE(Entries(output_->path()), QStringList());
    // The temporary folder is checked after every case.
    const QStringList results = context.sink.calls.filter(QRegularExpression(QStringLiteral("^Status 3 ")));
    QVERIFY(!results.isEmpty());
    if (reason.isEmpty())
        QCOMPARE(results.last(), QStringLiteral("Status 3 "));
    else
        QVERIFY2(results.last().contains(reason), qPrintable(results.last()));
}

void TestProcessJob::recoversFromPassingFaults_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("wait");

    QTest::newRow("cut, continued") << "fault-cut"
                                    << "Retrying in 1 s (1/3)...";
    QTest::newRow("cut, Range ignored") << "fault-cut-norange"
                                        << "Retrying in 1 s (1/3)...";
    QTest::newRow("cut, ETag changed") << "fault-cut-etag"
                                       << "Retrying in 1 s (1/3)...";
    QTest::newRow("503 with Retry-After") << "fault-stream-503"
                                          << "Retrying in 1 s (1/3)...";
    QTest::newRow("429 with a date") << "fault-stream-429"
                                     << "(1/3)...";
}

void TestProcessJob::recoversFromPassingFaults() {
    QFETCH(QString, id);
    QFETCH(QString, wait);

    TestJobContext context;
    StartContext(context);
    context.AddJob(service_.WatchUrl(id));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);
    const QString path = output_->filePath(QStringLiteral("Sample %1.flv").arg(id));
    QCOMPARE(ReadFile(path), service_.MediaBytes(QStringLiteral("sample.flv")));
    QCOMPARE(Entries(output_->path()), QStringList({QFileInfo(path).fileName()}));
    const QStringList waits = context.sink.calls.filter(QStringLiteral("Status 5 Retrying in "));
    QVERIFY2(!waits.isEmpty() && waits.first().endsWith(wait), qPrintable(waits.join(QLatin1Char('|'))));
}

void TestProcessJob::failedDeliveryKeepsWhatWasThere() {
    // A folder stands under the output file's name; overwriting it must fail, not destroy it.
    const QString folder = output_->filePath(QStringLiteral("sample.flv"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(WriteFile(folder + QStringLiteral("/keep"), "kept"));
    TestJobContext context;
    StartContext(context);
    context.policy = OverwritePolicy::OverwriteAll;
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));

    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobFailed);
    QCOMPARE(context.states[0], States({JobState::Preparing, JobState::Downloading, JobState::Failed}));
    QCOMPARE(ReadFile(folder + QStringLiteral("/keep")), QByteArray("kept"));
    QVERIFY2(context.sink.calls.last().startsWith(QLatin1String("Status 3 Cannot put the file in place: ")),
             qPrintable(context.sink.calls.last()));
    QCOMPARE(Entries(output_->path()), QStringList({QStringLiteral("sample.flv")}));
}

void TestProcessJob::conversionWithoutPresetFailsBeforeDownloading() {
    TestJobContext context;
    StartContext(context);
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, true), JobFailed);
    QCOMPARE(context.states[0], States({JobState::Preparing, JobState::Failed}));
    QCOMPARE(Entries(output_->path()), QStringList());
}

QTEST_GUILESS_MAIN(TestProcessJob)
#include "tst_processjob.moc"
