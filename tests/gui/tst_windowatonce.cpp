// The window with several downloads at once, against the sample service: each row shows its own
// progress, the status line and title show the run as a whole, every file arrives whole, and
// the overwrite question comes one job at a time.

#include "app/commandline.h"
#include "queue/joblistview.h"
#include "retrieval/job/jobcontext.h"
#include "retrieval/job/processjob.h"
#include "windowfixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

namespace {

// The window lets four jobs run at once, all of one site, without converting.
void CreateWithFourAtOnce(WindowFixture& f) {
    f.settings.downloadsAtOnce = 4;
    f.settings.downloadsPerSite = 4;
    f.settings.convert = false;
    f.Create();
}

} // namespace

class TestWindowAtOnce : public QObject {
    Q_OBJECT

private slots:
    void rowsShowTheirOwnProgress();
    void overwriteQuestionsComeOneAtATime_data();
    void overwriteQuestionsComeOneAtATime();
    void handedOverRowsJoinOrStartARun_data();
    void handedOverRowsJoinOrStartARun();
    void anAddressHandedOverAgainIsItsWaitingRow();
    void aRowWaitingForItsCookiesTakesThemWhenHandedOverAgain();
};

void TestWindowAtOnce::rowsShowTheirOwnProgress() {
    WindowFixture f;
    QVERIFY2(f.StartService({}), qPrintable(f.service.Error()));
    CreateWithFourAtOnce(f);
    f.window->resize(760, 420);
    f.window->show();
    constexpr qint64 length = 3'000'000;
    for (int i = 0; i < 4; ++i)
        f.window->AddUrl(
            f.service.Url(QStringLiteral("/bytes/clip%1.mp4?n=%2&rate=1000000").arg(i).arg(length + i)));

    QSignalSpy finished(f.window.get(), &MainWindow::runFinished);
    f.window->StartRun();
    JobTableModel* model = f.window->Model();
    const auto rowsShowingProgress = [model] {
        int showing = 0;
        for (int row = 0; row < model->rowCount(); ++row)
            showing +=
                model->data(model->index(row, 0)).toString().contains(QStringLiteral(" % of ")) ? 1 : 0;
        return showing;
    };
    QTRY_COMPARE_WITH_TIMEOUT(rowsShowingProgress(), 4, 20000);
    // The speeds of the rows add up, once each has measured its own: four connections of 1 MB/s.
    const QRegularExpression whole(QStringLiteral("^\\[1-4 / 4\\] 4 downloading, (\\d+\\.\\d) MB/s$"));
    const auto sumOfSpeeds = [&] {
        const QRegularExpressionMatch match = whole.match(f.window->StatusText());
        return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(sumOfSpeeds() > 3.0 && sumOfSpeeds() < 5.0, qPrintable(f.window->StatusText()),
                              5000);
    // The compact icon's tooltip follows the status line.
    QVERIFY(whole.match(f.window->CompactTip()).hasMatch());
    QVERIFY2(
        QRegularExpression(QStringLiteral("^\\d+% - Tarnwick$")).match(f.window->windowTitle()).hasMatch(),
        qPrintable(f.window->windowTitle()));
    const QString pictures = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
    if (!pictures.isEmpty())
        QVERIFY(f.window->grab().save(pictures + QStringLiteral("/window-atonce.png")));

    QVERIFY(finished.wait(60000));
    QCOMPARE(f.window->StatusText(), QStringLiteral("Completed: 4 success, 0 failure"));
    for (int i = 0; i < 4; ++i) {
        QFile file(f.OutputFile(QStringLiteral("clip%1.mp4").arg(i)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == PatternBytes(length + i));
        // The row shows its file again, not its last progress.
        QCOMPARE(model->data(model->index(i, 0)).toString(), QStringLiteral("clip%1.mp4").arg(i));
    }
}

void TestWindowAtOnce::overwriteQuestionsComeOneAtATime_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::newRow("no: each job is asked") << int(JobContext::AnswerNo) << 2;
    QTest::newRow("no to all: the waiting job is not asked") << int(JobContext::AnswerNoToAll) << 1;
}

// Three jobs of one name run side by side and none of their files exists yet: the first to
// claim the name delivers it, the others meet it as an existing file and are asked in turn.
void TestWindowAtOnce::overwriteQuestionsComeOneAtATime() {
    QFETCH(int, answer);
    QFETCH(int, questions);
    WindowFixture f;
    QVERIFY2(f.StartService({}), qPrintable(f.service.Error()));
    CreateWithFourAtOnce(f);
    for (int length : {400000, 500000, 600000})
        f.window->AddUrl(f.service.Url(QStringLiteral("/bytes/same.mp4?n=%1&rate=2000000").arg(length)));
    f.window->AddUrl(f.service.Url(QStringLiteral("/bytes/other.mp4?n=6000")));
    f.answers = {answer};
    QVERIFY(f.RunToEnd());
    QCOMPARE(f.questions.size(), questions);
    QVERIFY(f.questions.size() == f.questions.count(QStringLiteral("same.mp4")));
    QVERIFY(f.questionsOnWindowThread);
    const qint64 delivered = QFileInfo(f.OutputFile(QStringLiteral("same.mp4"))).size();
    QVERIFY2(delivered == 400000 || delivered == 500000 || delivered == 600000,
             qPrintable(QString::number(delivered)));
    QCOMPARE(QFileInfo(f.OutputFile(QStringLiteral("other.mp4"))).size(), 6000);
    QCOMPARE(f.window->StatusText(), QStringLiteral("Completed: 2 success, 2 failure"));
}

// What a later start hands over: the rows are added and the first of them selected; an idle
// window starts them when it starts by itself, and a run in progress takes them (into its own
// folder, whatever folder came with them).
void TestWindowAtOnce::handedOverRowsJoinOrStartARun_data() {
    QTest::addColumn<bool>("autoStart");
    QTest::addColumn<bool>("duringRun");
    QTest::newRow("idle, starting by itself") << true << false;
    QTest::newRow("idle, not starting by itself") << false << false;
    QTest::newRow("during a run") << false << true;
}

void TestWindowAtOnce::handedOverRowsJoinOrStartARun() {
    QFETCH(bool, autoStart);
    QFETCH(bool, duringRun);
    WindowFixture f;
    QVERIFY2(f.StartService({}), qPrintable(f.service.Error()));
    f.settings.autoStart = autoStart;
    f.settings.convert = false;
    f.Create();
    QSignalSpy finished(f.window.get(), &MainWindow::runFinished);
    if (duringRun) {
        f.window->AddUrl(f.service.Url(QStringLiteral("/bytes/first.mp4?n=400000&rate=400000")));
        f.window->StartRun();
        QVERIFY(f.window->IsRunning());
    }
    QTemporaryDir handedFolder;
    CommandLineArgs handed;
    handed.urls = QStringList{f.service.Url(QStringLiteral("/bytes/a.mp4?n=1000")),
                              f.service.Url(QStringLiteral("/bytes/b.mp4?n=2000"))};
    handed.outputFolder = duringRun ? handedFolder.path() : f.output.path();
    const int firstHanded = f.window->Model()->rowCount();
    f.window->TakeHandOff(handed);

    QCOMPARE(f.window->Model()->rowCount(), firstHanded + 2);
    QCOMPARE(f.window->List()->SelectedRows(), QList<int>{firstHanded});
    if (!autoStart && !duringRun) {
        QVERIFY(!f.window->IsRunning());
        return;
    }
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.count(), 1);
    QVERIFY(QFile(f.OutputFile(QStringLiteral("a.mp4"))).size() == 1000);
    QVERIFY(QFile(f.OutputFile(QStringLiteral("b.mp4"))).size() == 2000);
    QVERIFY(QDir(handedFolder.path()).isEmpty());
}

void TestWindowAtOnce::anAddressHandedOverAgainIsItsWaitingRow() {
    WindowFixture f;
    f.settings.autoStart = false;
    f.Create();
    const QString waiting = QStringLiteral("http://127.0.0.1:1/waits.mp4");
    const QString other = QStringLiteral("http://127.0.0.1:1/other.mp4");
    f.window->AddUrl(QStringLiteral("http://127.0.0.1:1/first.mp4"));
    const int waitingRow = f.window->AddUrl(waiting);
    CommandLineArgs handed;
    handed.urls = QStringList{waiting, other, other};
    f.window->TakeHandOff(handed);
    // Only the new address is added, once; the waiting row is the one selected.
    QCOMPARE(f.window->Model()->rowCount(), 3);
    QCOMPARE(f.window->Model()->Job(2).url, other);
    QCOMPARE(f.window->List()->SelectedRows(), QList<int>{waitingRow});
    // A row that has ended is no longer waiting: the same address makes a row of its own.
    f.window->Model()->Job(waitingRow).state = JobState::Failed;
    handed.urls = QStringList{waiting};
    f.window->TakeHandOff(handed);
    QCOMPARE(f.window->Model()->rowCount(), 4);
    QCOMPARE(f.window->List()->SelectedRows(), QList<int>{3});
}

void TestWindowAtOnce::aRowWaitingForItsCookiesTakesThemWhenHandedOverAgain() {
    WindowFixture f;
    f.settings.autoStart = false;
    f.Create();
    const QString page = QStringLiteral("http://127.0.0.1:1/members");
    // As the journal brings it back after a restart: it came with cookies, which are gone, and
    // its first try asked for them.
    DownloadJob restored;
    restored.url = page;
    restored.cookiesHanded = true;
    f.window->RestoreJobs({restored});
    f.window->Model()->Job(0).state = JobState::Failed;
    f.window->Model()->Job(0).failureText = QString::fromLatin1(HandOverAgainText);
    CommandLineArgs handed;
    handed.urls = QStringList{page};
    handed.handedCookies = "127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\t1\n";
    f.window->TakeHandOff(handed);
    QCOMPARE(f.window->Model()->rowCount(), 1);
    const DownloadJob& job = f.window->Model()->Job(0);
    QCOMPARE(job.state, JobState::Idle);
    QCOMPARE(job.handedCookies, handed.handedCookies);
    QVERIFY(job.failureText.isEmpty());
    // A row that failed for any other reason has ended: the page makes a row of its own, which
    // has the cookies.
    f.window->Model()->Job(0).state = JobState::Failed;
    f.window->TakeHandOff(handed);
    QCOMPARE(f.window->Model()->rowCount(), 2);
    QCOMPARE(f.window->Model()->Job(1).handedCookies, handed.handedCookies);
    QVERIFY(f.window->Model()->Job(1).cookiesHanded);
}

QTEST_MAIN(TestWindowAtOnce)
#include "tst_windowatonce.moc"
