// "Update yt-dlp" in the window: shown in the run's place, ended by Stop, its outcome shown.

#include "queue/commandids.h"
#include "releaseserver.h"
#include "retrieval/sources/ytdlp/update/privateytdlp.h"
#include "windowfixture.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Tarnwick;

class TestYtDlpUpdateWindow : public QObject {
    Q_OBJECT

private slots:
    void stopEndsTheUpdate();
    void failureIsShownWithItsReason();
};

void TestYtDlpUpdateWindow::stopEndsTheUpdate() {
    ReleaseServer server;
    QVERIFY(server.Start());
    server.Put(QStringLiteral("SHA2-256SUMS"), QByteArray(500000, 'x'), ReleaseServer::Delivery::Trickle);
    WindowFixture f;
    f.settings.ytDlpUpdateUrl = server.BaseUrl();
    f.Create();
    f.window->show();
    QSignalSpy finished(f.window.get(), &MainWindow::runFinished);
    QAction* update = f.window->CommandAction(Command::UpdateYtDlp);

    update->trigger();
    QVERIFY(f.window->IsRunning());
    QVERIFY(!update->isEnabled());
    auto* stop = f.window->findChild<QPushButton*>(IdName(Control::StopButton));
    QVERIFY(stop && stop->isVisible());
    QTRY_VERIFY(f.window->StatusText().contains(QStringLiteral(" KB / ")));
    QVERIFY(f.window->StatusText().startsWith(QStringLiteral("Updating yt-dlp: ")));

    stop->click();
    QVERIFY(finished.wait(10000));
    QVERIFY2(f.window->StatusText().contains(QStringLiteral("stopped")), qPrintable(f.window->StatusText()));
    QVERIFY(f.messages.isEmpty()); // the user asked for it: no message box
    QVERIFY(!f.window->IsRunning());
    QVERIFY(update->isEnabled());
    QVERIFY(!stop->isVisible());
    QVERIFY(!QFile::exists(PrivateYtDlpPath()));
}

void TestYtDlpUpdateWindow::failureIsShownWithItsReason() {
    ReleaseServer server; // serves nothing: every file answers 404
    QVERIFY(server.Start());
    WindowFixture f;
    f.settings.ytDlpUpdateUrl = server.BaseUrl();
    f.Create();
    f.window->show();
    QSignalSpy finished(f.window.get(), &MainWindow::runFinished);

    f.window->CommandAction(Command::UpdateYtDlp)->trigger();
    QVERIFY(finished.wait(20000));

    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages.first().contains(QStringLiteral("cannot download SHA2-256SUMS")),
             qPrintable(f.messages.first()));
    QCOMPARE(f.window->StatusText(), f.messages.first());
}

QTEST_MAIN(TestYtDlpUpdateWindow)
#include "tst_ytdlpupdatewindow.moc"
