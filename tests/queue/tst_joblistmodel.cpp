// The job list model on its own: rows, header count, renaming through the "File Name" column.

#include "queue/joblistmodel.h"
#include "queue/outputfile.h"
#include "queue/runprogress.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

class TestJobListModel : public QObject {
    Q_OBJECT

private slots:
    void appendKeepsDuplicatesAndCountsInHeader();
    void removeTakesSelectedRowsInAnyOrder();
    void recordsSurviveAppendsDuringARun();
    void playlistEntriesGoRightAfterTheirRow();
    void rowsWithoutAFileSayWhatTheyAre_data();
    void rowsWithoutAFileSayWhatTheyAre();
    void stateImageFollowsState_data();
    void stateImageFollowsState();
    void onlyDeliveredFilesCanBeRenamed();
    void renameMovesTheFileAndTheRecord();
    void renameRefusals_data();
    void renameRefusals();
    void progressMapping_data();
    void progressMapping();
    void sinkCoalescesAndTitles();

private:
    static void WriteFile(const QString& path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("video");
    }
};

void TestJobListModel::appendKeepsDuplicatesAndCountsInHeader() {
    JobListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy header(&model, &QAbstractItemModel::headerDataChanged);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("URL (0)"));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("File Name"));

    const QString url = QStringLiteral("http://host/watch?v=a");
    QCOMPARE(model.Append(url), 0);
    QCOMPARE(model.Append(url), 1);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("URL (2)"));
    QCOMPARE(header.count(), 2);
    QCOMPARE(model.data(model.index(1, 1)).toString(), url);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QString());
    QCOMPARE(model.Job(1).state, JobState::Idle);
}

void TestJobListModel::removeTakesSelectedRowsInAnyOrder() {
    JobListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 5; ++i)
        model.Append(QStringLiteral("http://host/watch?v=%1").arg(i));
    QSignalSpy removals(&model, &QAbstractItemModel::rowsRemoved);
    model.RemoveJobs({3, 0, 3, 1, 17});
    QCOMPARE(removals.size(), 2); // rows 3, then 0-1: one removal per run of adjacent rows
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.Job(0).url, QStringLiteral("http://host/watch?v=2"));
    QCOMPARE(model.Job(1).url, QStringLiteral("http://host/watch?v=4"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("URL (2)"));
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("URL (0)"));

    // A batch goes in as one insertion, in order, after the rows already there.
    QSignalSpy insertions(&model, &QAbstractItemModel::rowsInserted);
    model.Append(QStringLiteral("http://host/first"));
    QCOMPARE(model.AppendAll({QStringLiteral("http://host/a"), QStringLiteral("http://host/b")}), 1);
    QCOMPARE(insertions.size(), 2);
    QCOMPARE(model.Job(2).url, QStringLiteral("http://host/b"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("URL (3)"));
}

void TestJobListModel::recordsSurviveAppendsDuringARun() {
    // The worker keeps a reference to the job in progress while the window appends rows.
    JobListModel model;
    model.Append(QStringLiteral("http://host/watch?v=first"));
    DownloadJob* inProgress = &model.Job(0);
    for (int i = 0; i < 100; ++i)
        model.Append(QStringLiteral("http://host/watch?v=%1").arg(i));
    QCOMPARE(&model.Job(0), inProgress);
    QCOMPARE(inProgress->url, QStringLiteral("http://host/watch?v=first"));
}

void TestJobListModel::playlistEntriesGoRightAfterTheirRow() {
    JobListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.AppendAll({QStringLiteral("http://a/list"), QStringLiteral("http://a/next")});
    DownloadJob& list = model.Job(0); // the worker's reference stays valid across the insertion
    DownloadJob entry;
    entry.url = QStringLiteral("http://a/list");
    entry.extractedInfo = "{}";
    DownloadJob other;
    other.url = QStringLiteral("http://a/v/2");
    model.InsertAfter(0, {entry, other});
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(&model.Job(0), &list);
    QCOMPARE(model.Job(1).extractedInfo, QByteArray("{}"));
    QCOMPARE(model.Job(2).url, QStringLiteral("http://a/v/2"));
    QCOMPARE(model.Job(3).url, QStringLiteral("http://a/next"));
    // A playlist's row has no file: it shows what it did.
    list.title = QStringLiteral("Playlist: 2 entries added to the list");
    list.state = JobState::Succeeded;
    QCOMPARE(model.data(model.index(0, JobListModel::FileNameColumn)).toString(), list.title);
    // Another address makes what yt-dlp said of the old one worthless, and a format chosen
    // among the old one's offers too.
    model.SetPictureChoice(1, QStringLiteral("137+140"), -1);
    model.SetUrl(1, QStringLiteral("http://b/other"));
    QVERIFY(model.Job(1).extractedInfo.isEmpty());
    QVERIFY(model.Job(1).chosenFormat.isEmpty());
}

void TestJobListModel::rowsWithoutAFileSayWhatTheyAre_data() {
    QTest::addColumn<JobState>("state");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("name");    // column 0
    QTest::addColumn<QString>("nameTip"); // column 0's tooltip
    QTest::addColumn<QString>("addressTip");
    const QString url = QStringLiteral("http://a/v?x=1&y=2");
    const QString escaped = QStringLiteral("http://a/v?x=1&amp;y=2");
    QTest::newRow("waiting: nothing to name yet") << JobState::Idle << ""
                                                  << ""
                                                  << ""
                                                  << "" << url;
    QTest::newRow("waiting with its title known") << JobState::Idle << "Entry 2"
                                                  << ""
                                                  << "Entry 2"
                                                  << "Entry 2" << url;
    QTest::newRow("failed before its title was known")
        << JobState::Failed << ""
        << "The server answered 404 <Not Found>" << url << "<p>The server answered 404 &lt;Not Found&gt;</p>"
        << "<p>" + escaped + "</p><p>The server answered 404 &lt;Not Found&gt;</p>";
    QTest::newRow("failed with a title") << JobState::Failed << "Clip"
                                         << "No video found on this page"
                                         << "Clip"
                                         << "<p>No video found on this page</p>"
                                         << "<p>" + escaped + "</p><p>No video found on this page</p>";
    QTest::newRow("stopped: why, on both columns") << JobState::Stopped << "Clip"
                                                   << "Stopped by the user"
                                                   << "Stopped"
                                                   << "<p>Stopped by the user</p>"
                                                   << "<p>" + escaped + "</p><p>Stopped by the user</p>";
}

void TestJobListModel::rowsWithoutAFileSayWhatTheyAre() {
    QFETCH(JobState, state);
    QFETCH(QString, title);
    QFETCH(QString, reason);
    QFETCH(QString, name);
    QFETCH(QString, nameTip);
    QFETCH(QString, addressTip);
    JobListModel model;
    model.AppendAll({QStringLiteral("http://a/v?x=1&y=2")});
    model.Job(0).state = state;
    model.Job(0).title = title;
    model.Job(0).failureText = reason;
    QCOMPARE(model.data(model.index(0, JobListModel::FileNameColumn)).toString(), name);
    QCOMPARE(model.data(model.index(0, JobListModel::FileNameColumn), Qt::ToolTipRole).toString(), nameTip);
    QCOMPARE(model.data(model.index(0, 1), Qt::ToolTipRole).toString(), addressTip);
}

void TestJobListModel::stateImageFollowsState_data() {
    QTest::addColumn<JobState>("state");
    QTest::addColumn<int>("image");
    QTest::newRow("idle") << JobState::Idle << 0;
    QTest::newRow("skipped") << JobState::Skipped << 0;
    QTest::newRow("preparing") << JobState::Preparing << 1;
    QTest::newRow("downloading") << JobState::Downloading << 1;
    QTest::newRow("converting") << JobState::Converting << 1;
    QTest::newRow("succeeded") << JobState::Succeeded << 2;
    QTest::newRow("failed") << JobState::Failed << 3;
}

void TestJobListModel::stateImageFollowsState() {
    QFETCH(JobState, state);
    QFETCH(int, image);
    JobListModel model;
    model.Append(QStringLiteral("http://host/watch?v=a"));
    model.Job(0).state = state;
    model.JobChanged(0);
    QCOMPARE(model.data(model.index(0, 0), JobListModel::StateImageRole).toInt(), image);
}

void TestJobListModel::onlyDeliveredFilesCanBeRenamed() {
    QTemporaryDir folder;
    JobListModel model;
    model.Append(QStringLiteral("http://host/watch?v=a"));
    const QString path = folder.filePath(QStringLiteral("clip.flv"));
    WriteFile(path);
    model.Job(0).outputPath = path;
    model.Job(0).state = JobState::Failed;
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("other.flv")));
    QVERIFY(QFile::exists(path));
    model.Job(0).state = JobState::Succeeded;
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));
}

void TestJobListModel::renameMovesTheFileAndTheRecord() {
    QTemporaryDir folder;
    JobListModel model;
    model.Append(QStringLiteral("http://host/watch?v=a"));
    const QString path = folder.filePath(QStringLiteral("clip.flv"));
    WriteFile(path);
    model.Job(0).outputPath = path;
    model.Job(0).state = JobState::Succeeded;
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("clip.flv"));

    // The name is used as typed: no extension is added.
    QVERIFY(model.setData(model.index(0, 0), QStringLiteral("Holiday")));
    QVERIFY(!QFile::exists(path));
    QVERIFY(QFile::exists(folder.filePath(QStringLiteral("Holiday"))));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("Holiday"));
}

void TestJobListModel::renameRefusals_data() {
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("reported");
    QTest::newRow("same name in other case") << QStringLiteral("CLIP.flv") << false;
    QTest::newRow("same name") << QStringLiteral("clip.flv") << false;
    QTest::newRow("a neighbour's name") << QStringLiteral("other.flv") << true;
    QTest::newRow("into another folder") << QStringLiteral("../clip.flv") << true;
    QTest::newRow("empty") << QString() << true;
}

void TestJobListModel::renameRefusals() {
    QFETCH(QString, newName);
    QFETCH(bool, reported);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("clip.flv"));
    WriteFile(path);
    WriteFile(folder.filePath(QStringLiteral("other.flv")));
    JobListModel model;
    model.Append(QStringLiteral("http://host/watch?v=a"));
    model.Job(0).outputPath = path;
    model.Job(0).state = JobState::Succeeded;
    QSignalSpy refused(&model, &JobListModel::renameRefused);

    QVERIFY(!model.setData(model.index(0, 0), newName));
    QCOMPARE(model.Job(0).outputPath, path);
    QVERIFY(QFile::exists(path));
    QCOMPARE(refused.count(), reported ? 1 : 0);
    QFile other(folder.filePath(QStringLiteral("other.flv")));
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("video"));
}

void TestJobListModel::progressMapping_data() {
    QTest::addColumn<int>("steps");
    QTest::addColumn<RunPhase>("phase");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("position");
    QTest::newRow("prepare keeps 0") << 2 << RunPhase::PhasePrepare << 50 << 100 << 0;
    QTest::newRow("download, two steps") << 2 << RunPhase::PhaseDownload << 37 << 100 << 37;
    QTest::newRow("download truncates") << 2 << RunPhase::PhaseDownload << 2 << 3 << 66;
    QTest::newRow("download, three steps") << 3 << RunPhase::PhaseDownload << 100 << 100 << 50;
    QTest::newRow("convert, three steps") << 3 << RunPhase::PhaseConvert << 1 << 4 << 62;
    QTest::newRow("convert, two steps takes v") << 2 << RunPhase::PhaseConvert << 42 << 1000 << 42;
    QTest::newRow("total 0 taken as 100") << 2 << RunPhase::PhaseDownload << 25 << 0 << 25;
    QTest::newRow("large KB counts") << 2 << RunPhase::PhaseDownload << 1048575 << 1048576 << 99;
}

void TestJobListModel::progressMapping() {
    QFETCH(int, steps);
    QFETCH(RunPhase, phase);
    QFETCH(int, value);
    QFETCH(int, total);
    QFETCH(int, position);
    QCOMPARE(ProgressBarPosition(steps, phase, value, total), position);
}

void TestJobListModel::sinkCoalescesAndTitles() {
    RunState run;
    RunDisplayBoard board;
    RunProgressSink sink(run, board, QStringLiteral("Tarnwick"));
    run.currentIndex = 1;
    run.itemCount = 5;
    run.phase = static_cast<int>(RunPhase::PhaseDownload);

    sink.Progress(ProgressSink::ProgressTotal, 0); // no size given: 100
    QCOMPARE(run.total.load(), 100);
    for (int kb = 0; kb <= 37; ++kb)
        sink.Progress(ProgressSink::ProgressPosition, kb);
    sink.Status(ProgressSink::StatusActivity, QStringLiteral("37 KB / 100 KB"));
    RunDisplayBoard::Snapshot shown = board.Take();
    QCOMPARE(shown.bar.value_or(-1), 37);
    QCOMPARE(shown.percent.value_or(QString()), QStringLiteral("37 %"));
    QCOMPARE(shown.title.value_or(QString()), QStringLiteral("37% [2/5] - Tarnwick"));
    QCOMPARE(shown.status.value_or(QString()), QStringLiteral("[2 / 5] Downloading: 37 KB / 100 KB"));
    QVERIFY(board.Take().IsEmpty());

    sink.End();
    QCOMPARE(board.Take().title.value_or(QString()), QStringLiteral("Tarnwick"));

    // The next transfer at the same position must put the progress title back after End.
    sink.Begin();
    sink.Progress(ProgressSink::ProgressPosition, 37);
    QCOMPARE(board.Take().title.value_or(QString()), QStringLiteral("37% [2/5] - Tarnwick"));
    // The next job at the same percentage shows its own counter.
    run.currentIndex = 2;
    sink.Progress(ProgressSink::ProgressPosition, 37);
    sink.Status(ProgressSink::StatusActivity, QStringLiteral("x"));
    shown = board.Take();
    QCOMPARE(shown.title.value_or(QString()), QStringLiteral("37% [3/5] - Tarnwick"));
    QCOMPARE(shown.status.value_or(QString()), QStringLiteral("[3 / 5] Downloading: x"));

    // While the page is fetched, neither the title nor the status line moves.
    run.phase = static_cast<int>(RunPhase::PhasePrepare);
    sink.Progress(ProgressSink::ProgressPosition, 80);
    sink.Status(ProgressSink::StatusActivity, QStringLiteral("Resolving name"));
    shown = board.Take();
    QCOMPARE(shown.bar.value_or(-1), 0);
    QVERIFY(!shown.title && !shown.status && !shown.percent);
    // ... except while it waits to try again, and once more when the wait is over.
    sink.Status(ProgressSink::StatusWaiting, QStringLiteral("Retrying in 2 s (1/3)..."));
    QCOMPARE(board.Take().status.value_or(QString()), QStringLiteral("[3 / 5] Retrying in 2 s (1/3)..."));
    sink.Status(ProgressSink::StatusWaiting, QString());
    QCOMPARE(board.Take().status.value_or(QString()), QStringLiteral("[3 / 5] Preparing for download..."));
    // While data flows, the end of a wait leaves the line to the progress that follows.
    run.phase = static_cast<int>(RunPhase::PhaseDownload);
    sink.Status(ProgressSink::StatusWaiting, QString());
    QVERIFY(!board.Take().status);

    QCOMPARE(sink.IsCancelled(), 0);
    run.stopRequest = static_cast<int>(StopRequest::Stop);
    QVERIFY(sink.IsCancelled() != 0);
}

QTEST_GUILESS_MAIN(TestJobListModel)
#include "tst_joblistmodel.moc"
