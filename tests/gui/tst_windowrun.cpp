// Download runs through the window against the sample video service: states, icons, the
// summary, the title, delivered files, stop, the overwrite question and closing during a run.

#include "conversion/formatcatalog.h"
#include "conversion/preset.h"
#include "queue/commandids.h"
#include "queue/joblistview.h"
#include "ui/twocolumncombobox.h"
#include "windowfixture.h"

#include "catalogtesting.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace Tarnwick;

class TestWindowRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void runWithoutConversion();
    void runWithConversion();
    void webPagesAndPlaylists();
    void emptyListEndsAtOnce();
    void missingFolderEndsBeforeAnyJob();
    void overwriteAnswers_data();
    void overwriteAnswers();
    void answersForAllDoNotCarryIntoTheNextRun();
    void stopDuringATransfer();
    void runningEnablingAndAppendedItems();
    void destroyingTheWindowDuringARunEndsTheWorker();
    void closingDuringARun_data();
    void closingDuringARun();

private:
    static bool WaitForState(WindowFixture& f, int row, JobState state, int timeoutMs = 30000) {
        return QTest::qWaitFor([&] { return f.window->Model()->Job(row).state == state; }, timeoutMs);
    }
    static QString Probe(const QString& path);
};

void TestWindowRun::initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
}

// The container and streams ffprobe finds in a file.
QString TestWindowRun::Probe(const QString& path) {
    QProcess probe;
    probe.start(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_type:format=format_name"), QStringLiteral("-of"),
                 QStringLiteral("compact"), path});
    probe.waitForFinished(30000);
    return QString::fromUtf8(probe.readAllStandardOutput());
}

void TestWindowRun::runWithoutConversion() {
    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A"), QStringLiteral("B")}), qPrintable(f.service.Error()));
    f.settings.quality = 2; // MP4
    f.Create();
    f.window->show();
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipB")));
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("fault-stream-404")));

    QVERIFY(f.RunToEnd());

    JobTableModel* model = f.window->Model();
    QCOMPARE(model->Job(0).state, JobState::Succeeded);
    QCOMPARE(model->Job(1).state, JobState::Succeeded);
    QCOMPARE(model->Job(2).state, JobState::Failed);
    QCOMPARE(model->data(model->index(0, 0)).toString(), QStringLiteral("Clip A.mp4"));
    QCOMPARE(model->data(model->index(0, 0), JobListModel::StateImageRole).toInt(), 2);
    QCOMPARE(model->data(model->index(2, 0), JobListModel::StateImageRole).toInt(), 3);
    QVERIFY(!model->data(model->index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(f.window->CompactTip(), QStringLiteral("Completed: 2 success, 1 failure"));
    QCOMPARE(f.window->StatusText(), QStringLiteral("Completed: 2 success, 1 failure"));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Tarnwick"));
    // A failed row tells why; a good one has no failure to tell.
    const QString why = model->data(model->index(2, 0), Qt::ToolTipRole).toString();
    QVERIFY2(why.contains(QStringLiteral("404")), qPrintable(why));
    QVERIFY(model->data(model->index(2, 1), Qt::ToolTipRole).toString().endsWith(why));
    QVERIFY(model->Job(0).failureText.isEmpty());
    // The summary stays in the status line until the list changes.
    auto* statusLine = f.window->findChild<QLabel*>(IdName(Control::StatusLine));
    auto* qualityLabel = f.window->findChild<QLabel*>(IdName(Control::QualityLabel));
    QVERIFY(statusLine->isVisible());
    QVERIFY(!qualityLabel->isVisible());
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    QVERIFY(!statusLine->isVisible());
    QVERIFY(qualityLabel->isVisible());
    QCOMPARE(QFileInfo(f.OutputFile(QStringLiteral("Clip B.mp4"))).size(),
             qint64(f.service.MediaBytes(QStringLiteral("clipB.mp4")).size()));
    QVERIFY(Probe(f.OutputFile(QStringLiteral("Clip A.mp4"))).contains(QStringLiteral("mp4")));
    QVERIFY(f.messages.isEmpty());
    QVERIFY(!f.window->IsRunning());
    // Back in the idle layout.
    QVERIFY(f.window->findChild<QPushButton*>(IdName(Control::DownloadButton))->isVisible());
    QVERIFY(!f.window->findChild<QPushButton*>(IdName(Control::StopButton))->isVisible());
}

void TestWindowRun::runWithConversion() {
    ConversionEngine engine;
    QVERIFY(engine.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    Catalog catalog = BuildCatalog();
    int mp3Index = -1;
    int index = 0;
    for (auto& group : catalog)
        for (auto& format : group->formats) {
            format->ResetToFactory();
            if (format->extension == QLatin1String(".mp3"))
                mp3Index = index;
            ++index;
        }
    QVERIFY(mp3Index >= 0);

    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A")}), qPrintable(f.service.Error()));
    f.settings.convert = true;
    f.settings.recentFormat = mp3Index;
    f.Create(&catalog, &engine);
    f.window->show();
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    QVERIFY(f.RunToEnd());

    QCOMPARE(f.window->Model()->Job(0).state, JobState::Succeeded);
    QCOMPARE(f.window->CompactTip(), QStringLiteral("Completed: 1 success, 0 failure"));
    const QString delivered = f.OutputFile(QStringLiteral("Clip A.mp3"));
    QVERIFY(QFile::exists(delivered));
    const QString streams = Probe(delivered);
    QVERIFY2(streams.contains(QStringLiteral("codec_type=audio")), qPrintable(streams));
    QVERIFY2(!streams.contains(QStringLiteral("codec_type=video")), qPrintable(streams));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Tarnwick"));
}

void TestWindowRun::webPagesAndPlaylists() {
    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A")}), qPrintable(f.service.Error()));
    QVERIFY2(f.service.AddWebMedia(QStringLiteral("clipA")), qPrintable(f.service.Error()));
    f.settings.quality = 1; // the middle rendition
    f.Create();
    f.window->show();
    f.window->AddUrl(f.service.Url(QStringLiteral("/html5?v=clipA")));
    f.window->AddUrl(f.service.Url(QStringLiteral("/hls/clipA/master.m3u8")));
    f.window->AddUrl(f.service.Url(QStringLiteral("/hls/clipA/live.m3u8")));
    QVERIFY(f.RunToEnd());

    JobTableModel* model = f.window->Model();
    QCOMPARE(model->Job(0).state, JobState::Succeeded);
    QCOMPARE(model->Job(1).state, JobState::Succeeded);
    QCOMPARE(model->Job(2).state, JobState::Failed);
    QVERIFY2(model->Job(2).failureText.contains(QStringLiteral("live stream")),
             qPrintable(model->Job(2).failureText));
    QCOMPARE(f.window->CompactTip(), QStringLiteral("Completed: 2 success, 1 failure"));
    QCOMPARE(model->data(model->index(1, 0)).toString(), QStringLiteral("master.ts"));
    QFile page(f.OutputFile(QStringLiteral("Clip A.mp4")));
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll() == f.service.MediaBytes(QStringLiteral("clipA-180.mp4")));
    const QString streams = Probe(f.OutputFile(QStringLiteral("master.ts")));
    QVERIFY2(streams.contains(QStringLiteral("codec_type=video")), qPrintable(streams));
    QVERIFY2(streams.contains(QStringLiteral("codec_type=audio")), qPrintable(streams));
    QVERIFY2(streams.contains(QStringLiteral("mpegts")), qPrintable(streams));
    QCOMPARE(QDir(f.output.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestWindowRun::emptyListEndsAtOnce() {
    WindowFixture f;
    f.Create();
    QVERIFY(f.RunToEnd());
    QCOMPARE(f.window->CompactTip(), QStringLiteral("Completed: 0 success, 0 failure"));
}

void TestWindowRun::missingFolderEndsBeforeAnyJob() {
    WindowFixture f;
    f.Create();
    QFile blocker(f.OutputFile(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString folder = f.OutputFile(QStringLiteral("file/sub"));
    f.window->SetFolderText(folder);
    f.window->AddUrl(QStringLiteral("http://127.0.0.1:1/watch?v=x"));
    QVERIFY(f.RunToEnd());
    QCOMPARE(f.messages, QStringList{QStringLiteral("Cannot find or create the folder:\n%1").arg(folder)});
    QCOMPARE(f.window->Model()->Job(0).state, JobState::Idle);
    QCOMPARE(f.window->CompactTip(), QStringLiteral("URL (1)"));
}

void TestWindowRun::overwriteAnswers_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("successes");
    QTest::newRow("Yes") << 1167 << 2 << 3;
    QTest::newRow("Yes to All") << 1168 << 1 << 3;
    QTest::newRow("No") << 1169 << 2 << 1;
    QTest::newRow("No to All") << 1170 << 1 << 1;
    QTest::newRow("Cancel") << 2 << 1 << 1;
}

void TestWindowRun::overwriteAnswers() {
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(int, successes);
    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A")}), qPrintable(f.service.Error()));
    f.Create();
    f.answers = {answer};
    // Three jobs with one title: the second and third find the first one's file.
    for (int i = 0; i < 3; ++i)
        f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    QVERIFY(f.RunToEnd());
    QCOMPARE(f.questions.size(), questions);
    QCOMPARE(f.questions.first(), QStringLiteral("Clip A.flv"));
    QVERIFY(f.questionsOnWindowThread);
    QCOMPARE(f.window->CompactTip(),
             QStringLiteral("Completed: %1 success, %2 failure").arg(successes).arg(3 - successes));
    if (successes == 1) {
        QCOMPARE(f.window->Model()->Job(1).state, JobState::Skipped);
        QCOMPARE(f.window->Model()->Job(2).state, JobState::Skipped);
    }
}

void TestWindowRun::answersForAllDoNotCarryIntoTheNextRun() {
    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A")}), qPrintable(f.service.Error()));
    f.Create();
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    struct Round {
        int answer;
        int questions;
        const char* summary;
    };
    // Yes to All in the first run must not spare the second run its question, nor No to All
    // in the second run the third run's questions.
    const Round rounds[] = {{1168, 1, "Completed: 2 success, 0 failure"},
                            {1170, 1, "Completed: 0 success, 2 failure"},
                            {1167, 2, "Completed: 2 success, 0 failure"}};
    for (const Round& round : rounds) {
        f.questions.clear();
        f.answers = {round.answer};
        QVERIFY(f.RunToEnd());
        QCOMPARE(f.questions.size(), round.questions);
        QCOMPARE(f.window->CompactTip(), QString::fromLatin1(round.summary));
    }

    // With AlwaysOverwrite the question never comes.
    f.settings.alwaysOverwrite = true;
    f.questions.clear();
    QVERIFY(f.RunToEnd());
    QVERIFY(f.questions.isEmpty());
    QCOMPARE(f.window->CompactTip(), QStringLiteral("Completed: 2 success, 0 failure"));
}

void TestWindowRun::stopDuringATransfer() {
    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A")}, true), qPrintable(f.service.Error()));
    f.Create();
    f.window->show();
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("fault-stall")));
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    QSignalSpy finished(f.window.get(), &MainWindow::runFinished);
    f.window->StartRun();
    QVERIFY(WaitForState(f, 0, JobState::Downloading));
    QVERIFY(f.window->CommandAction(Command::Stop)->isEnabled());
    f.window->findChild<QPushButton*>(IdName(Control::StopButton))->click();
    QVERIFY(finished.wait(30000));
    QCOMPARE(f.window->Model()->Job(0).state, JobState::Failed);
    // Like a failure, a stopped job says why it ended.
    QCOMPARE(f.window->Model()->Job(0).failureText, StopReasonText(StopRequest::Stop));
    QCOMPARE(f.window->Model()->Job(1).state, JobState::Idle);
    QCOMPARE(f.window->CompactTip(), QStringLiteral("Completed: 0 success, 1 failure"));
    QVERIFY(f.window->isVisible());
}

void TestWindowRun::runningEnablingAndAppendedItems() {
    ConversionEngine engine;
    QVERIFY(engine.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    Catalog catalog = TestSupport::FactoryCatalog();
    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A")}, true), qPrintable(f.service.Error()));
    f.settings.convert = true;
    f.Create(&catalog, &engine);
    f.window->show();
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("fault-slow")));
    QSignalSpy finished(f.window.get(), &MainWindow::runFinished);
    QStringList titles;
    QObject::connect(f.window.get(), &QWidget::windowTitleChanged, f.window.get(),
                     [&titles](const QString& title) { titles.append(title); });
    f.window->StartRun();
    QVERIFY(WaitForState(f, 0, JobState::Downloading));

    auto enabled = [&f](int id) {
        return f.window->CommandAction(id)->isEnabled();
    };
    QVERIFY(!enabled(Command::Remove));
    QVERIFY(!enabled(Command::Clear));
    QVERIFY(!enabled(Command::StartDownloading));
    QVERIFY(enabled(Command::Stop));
    for (int id : {Control::FormatCombo, Control::PresetCombo, Control::AdvancedButton, Control::ConvertCheck,
                   Control::FolderField, Control::BrowseButton})
        QVERIFY2(!f.window->findChild<QWidget*>(IdName(id))->isEnabled(), qPrintable(IdName(id)));
    QVERIFY(!f.window->findChild<QWidget*>(IdName(Control::DownloadButton))->isVisible());
    QVERIFY(f.window->findChild<QWidget*>(IdName(Control::StopButton))->isVisible());
    QVERIFY(f.window->findChild<QWidget*>(IdName(Control::ProgressBar))->isVisible());
    QVERIFY(!f.window->findChild<QWidget*>(IdName(Control::QualityCombo))->isVisible());

    // Remove stays disabled for an item already processed, and Delete does nothing.
    f.window->List()->SelectAlone(0);
    QVERIFY(!enabled(Command::Remove));
    f.window->List()->setFocus();
    QTest::keyClick(f.window->List(), Qt::Key_Delete);
    QCOMPARE(f.window->Model()->rowCount(), 1);

    // An address added now is downloaded in the same run.
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    QVERIFY(finished.wait(120000));
    QCOMPARE(f.window->Model()->Job(0).state, JobState::Succeeded);
    QCOMPARE(f.window->Model()->Job(1).state, JobState::Succeeded);
    QCOMPARE(f.window->CompactTip(), QStringLiteral("Completed: 2 success, 0 failure"));
    // A slow download shows its progress in the title: the first half of the bar is the
    // download, the second the conversion.
    const QRegularExpression percent(QStringLiteral("^(\\d+)% \\[1/[12]\\] - Tarnwick$"));
    int downloadTitles = 0;
    for (const QString& title : titles) {
        const QRegularExpressionMatch match = percent.match(title);
        if (match.hasMatch() && match.captured(1).toInt() > 0 && match.captured(1).toInt() < 50)
            ++downloadTitles;
    }
    QVERIFY2(downloadTitles > 1, qPrintable(titles.join(QLatin1Char('|'))));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Tarnwick"));
    QVERIFY(f.window->findChild<QWidget*>(IdName(Control::FormatCombo))->isEnabled());
}

void TestWindowRun::destroyingTheWindowDuringARunEndsTheWorker() {
    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A")}, true), qPrintable(f.service.Error()));
    f.Create();
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("fault-stall")));
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    f.window->StartRun();
    QVERIFY(WaitForState(f, 0, JobState::Downloading));
    // The worker still calls into the window while it ends; the destructor waits for it.
    f.window.reset();
    QVERIFY(!QFile::exists(f.OutputFile(QStringLiteral("Clip A.flv"))));
    QCOMPARE(f.settings.autoClose, false);
}

void TestWindowRun::closingDuringARun_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("close box") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("Close button") << 2;
    QTest::newRow("Close menu item") << 3;
}

void TestWindowRun::closingDuringARun() {
    QFETCH(int, way);
    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A")}, true), qPrintable(f.service.Error()));
    f.Create();
    f.window->show();
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("fault-stall")));
    f.window->AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    QSignalSpy finished(f.window.get(), &MainWindow::runFinished);
    QSignalSpy closed(f.window.get(), &QDialog::finished);
    f.window->StartRun();
    QVERIFY(WaitForState(f, 0, JobState::Downloading));
    switch (way) {
    case 0:
        f.window->close();
        break;
    case 1:
        QTest::keyClick(f.window.get(), Qt::Key_Escape);
        break;
    case 2:
        f.window->findChild<QPushButton*>(IdName(Control::CloseButton))->click();
        break;
    default:
        f.window->CommandAction(Command::Close)->trigger();
        break;
    }
    // The window stays while the worker ends the job in progress.
    QVERIFY(f.window->isVisible());
    QVERIFY(closed.isEmpty());
    QVERIFY(finished.wait(30000));
    QTRY_VERIFY(!f.window->isVisible());
    QCOMPARE(closed.size(), 1);
    QCOMPARE(f.window->Model()->Job(0).state, JobState::Failed);
    QCOMPARE(f.window->Model()->Job(0).failureText, StopReasonText(StopRequest::StopAndClose));
    QCOMPARE(f.window->Model()->Job(1).state, JobState::Idle);
}

QTEST_MAIN(TestWindowRun)
#include "tst_windowrun.moc"
