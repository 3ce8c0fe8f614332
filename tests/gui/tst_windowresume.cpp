// Stop in the window keeps the job's download for the next run, which continues it, or starts
// again when the server's body changed meanwhile; removing the row lets the download go.

#include "queue/commandids.h"
#include "queue/joblistview.h"
#include "retrieval/job/journal/jobjournal.h"
#include "windowfixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using namespace Tarnwick;

namespace {

constexpr qint64 BodyBytes = 24'000'000;

} // namespace

class TestWindowResume : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void stoppedJobContinuesInTheNextRun_data();
    void stoppedJobContinuesInTheNextRun();
};

void TestWindowResume::initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
}

void TestWindowResume::stoppedJobContinuesInTheNextRun_data() {
    QTest::addColumn<QString>("afterStop");
    QTest::newRow("the same body") << QStringLiteral("run");
    QTest::newRow("the body changed") << QStringLiteral("change");
    QTest::newRow("the row removed") << QStringLiteral("remove");
}

void TestWindowResume::stoppedJobContinuesInTheNextRun() {
    QFETCH(QString, afterStop);
    WindowFixture f;
    QVERIFY2(f.service.Start(), qPrintable(f.service.Error()));
    f.settings.convert = false;
    f.Create();
    JobJournal journal(JobJournal::Kind::Window, f.profile.DataHome() + QStringLiteral("/journal"));
    QVERIFY(journal.IsOpen());
    f.window->SetJournal(&journal);
    // The window outlives the journal here, so it lets go of it first.
    const auto detach = qScopeGuard([&f] { f.window->SetJournal(nullptr); });
    f.window->show();
    f.window->AddUrl(f.service.Url(QStringLiteral("/versioned?n=%1&rate=6000000").arg(BodyBytes)));
    QSignalSpy finished(f.window.get(), &MainWindow::runFinished);

    f.window->StartRun();
    const DownloadJob& job = f.window->Model()->Job(0);
    QTRY_VERIFY_WITH_TIMEOUT(job.partial.IsKept() && QFileInfo(job.partial.path).size() >= BodyBytes / 2,
                             30000);
    f.window->findChild<QPushButton*>(IdName(Control::StopButton))->click();
    QVERIFY(finished.wait(30000));
    QCOMPARE(job.state, JobState::Stopped);
    QCOMPARE(f.window->Model()->index(0, 0).data().toString(), QStringLiteral("Stopped"));
    const QString partial = job.partial.path;
    const qint64 kept = QFileInfo(partial).size();
    QVERIFY(kept >= BodyBytes / 2);
    QCOMPARE(JobJournal::KeptFiles(f.profile.DataHome() + QStringLiteral("/journal")), QStringList{partial});

    if (afterStop == QStringLiteral("remove")) {
        f.window->List()->selectAll();
        f.window->CommandAction(Command::Remove)->trigger();
        QVERIFY(!QFile::exists(partial));
        QTRY_VERIFY(!QFile::exists(journal.Path()));
        return;
    }
    const int version = afterStop == QStringLiteral("change") ? 2 : 1;
    if (version == 2)
        QCOMPARE(f.service.Get(QStringLiteral("/version?set=2")), QByteArray("2\n"));
    QVERIFY(f.RunToEnd());
    QCOMPARE(job.state, JobState::Succeeded);
    QFile delivered(job.outputPath);
    QVERIFY(delivered.open(QIODevice::ReadOnly));
    QVERIFY2(delivered.readAll() == VersionedBytes(BodyBytes, version),
             "the delivered file differs from the body");
    QVERIFY(!QFile::exists(partial));

    const ServedLog served = Served(f.service);
    QCOMPARE(served.requests.last(), QStringLiteral("bytes=%1-|\"ver-1\"").arg(kept));
    // The same body costs only its rest; a changed one is sent whole once more.
    const qint64 expected = version == 1 ? BodyBytes : kept + BodyBytes;
    QVERIFY2(served.bytes <= expected * 115 / 100, qPrintable(QString::number(served.bytes)));
    QTRY_VERIFY(!QFile::exists(journal.Path()));
}

QTEST_MAIN(TestWindowResume)
#include "tst_windowresume.moc"
