// The window with several downloads at once, against the sample service: each row shows its own
// progress, the status line and title show the run as a whole, every file arrives whole, and
// the overwrite question comes one job at a time.

#include "queue/joblistview.h"
#include "retrieval/job/jobcontext.h"
#include "windowfixture.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace Tarnwick;

class TestWindowAtOnce : public QObject {
    Q_OBJECT

private slots:
    void rowsShowTheirOwnProgress();
    void overwriteQuestionsComeOneAtATime();
};

void TestWindowAtOnce::rowsShowTheirOwnProgress() {
    WindowFixture f;
    QVERIFY2(f.StartService({}), qPrintable(f.service.Error()));
    f.settings.downloadsAtOnce = 4;
    f.settings.downloadsPerSite = 4;
    f.settings.convert = false;
    f.Create();
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
    // The speeds of the rows add up: four connections of 1 MB/s each.
    const QRegularExpression whole(QStringLiteral("^\\[1-4 / 4\\] 4 downloading, (\\d+\\.\\d) MB/s$"));
    QTRY_VERIFY_WITH_TIMEOUT(whole.match(f.window->StatusText()).hasMatch(), 5000);
    const double speed = whole.match(f.window->StatusText()).captured(1).toDouble();
    QVERIFY2(speed > 3.0 && speed < 5.0, qPrintable(f.window->StatusText()));
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

void TestWindowAtOnce::overwriteQuestionsComeOneAtATime() {
    WindowFixture f;
    QVERIFY2(f.StartService({}), qPrintable(f.service.Error()));
    f.settings.downloadsAtOnce = 3;
    f.settings.downloadsPerSite = 3;
    f.settings.convert = false;
    f.Create();
    QFile existing(f.OutputFile(QStringLiteral("same.mp4")));
    QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("old") == 3);
    existing.close();
    // Two jobs of one name meet the existing file; a third of another name needs no answer.
    f.window->AddUrl(f.service.Url(QStringLiteral("/bytes/same.mp4?n=4000")));
    f.window->AddUrl(f.service.Url(QStringLiteral("/bytes/same.mp4?n=5000")));
    f.window->AddUrl(f.service.Url(QStringLiteral("/bytes/other.mp4?n=6000")));
    f.answers = {JobContext::AnswerNo};
    QVERIFY(f.RunToEnd());
    QCOMPARE(f.questions, QStringList({QStringLiteral("same.mp4"), QStringLiteral("same.mp4")}));
    QVERIFY(f.questionsOnWindowThread);
    QFile kept(f.OutputFile(QStringLiteral("same.mp4")));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old"));
    QCOMPARE(QFileInfo(f.OutputFile(QStringLiteral("other.mp4"))).size(), 6000);
}

QTEST_MAIN(TestWindowAtOnce)
#include "tst_windowatonce.moc"
