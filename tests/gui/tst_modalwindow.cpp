// The window run as the program runs it: modally, with exec(). Keep on top, compact mode and a
// stored compact start change the window's frame while it runs; none of them may end the
// program, lose the list or interrupt a run. Run both on a real X server and offscreen.

#include "modalscript.h"
#include "queue/commandids.h"
#include "queue/joblistview.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>

using namespace Tarnwick;

class TestModalWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void keepOnTopLeavesTheWindowRunningInPlace();
    void compactModeRoundTripDuringARun();
    void storedIconicStartsCompactAndStaysOpen();
    void programWithStoredIconicKeepsRunning();

private:
    template <typename T>
    static T* Control(const MainWindow& window, int id) {
        return window.findChild<T*>(IdName(id));
    }
    static void Verify(const ModalScript& script, int result, int expected) {
        QVERIFY2(script.Failures().isEmpty(), qPrintable(script.Failures().join(QLatin1Char('\n'))));
        QCOMPARE(script.StepsRun(), script.StepCount()); // the loop ended only at the last step
        QCOMPARE(result, expected);
    }
};

void TestModalWindow::initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    qInfo("platform: %s", qPrintable(QGuiApplication::platformName()));
}

void TestModalWindow::keepOnTopLeavesTheWindowRunningInPlace() {
    WindowFixture f;
    f.Create();
    MainWindow& window = *f.window;
    auto* check = Control<QCheckBox>(window, Control::KeepOnTopCheck);
    QRect before;
    ModalScript script;
    script.Then([&] { before = window.geometry(); }, 300)
        .Then([&] { QTest::mouseClick(check, Qt::LeftButton); })
        .Then(
            [&] {
                QVERIFY(window.isVisible());
                QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
                QCOMPARE(window.geometry(), before);
            },
            300)
        .Then([&] { QTest::mouseClick(check, Qt::LeftButton); })
        .Then(
            [&] {
                QVERIFY(window.isVisible());
                QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
                QCOMPARE(window.geometry(), before);
            },
            300)
        .Then([&] { QTest::mouseClick(Control<QPushButton>(window, Control::CloseButton), Qt::LeftButton); });
    Verify(script, script.Run(window), QDialog::Accepted);
    QVERIFY(!f.settings.keepOnTop);
}

void TestModalWindow::compactModeRoundTripDuringARun() {
    WindowFixture f;
    QVERIFY2(f.StartService({QStringLiteral("A")}), qPrintable(f.service.Error()));
    // The slow stream sends the sample at 64 KiB/s: 256 KiB keep the run going for 4 s.
    QVERIFY(f.service.AddMedia(QStringLiteral("sample.mp4"), QByteArray(256 * 1024, 'v')));
    f.settings.quality = 2;
    f.Create();
    MainWindow& window = *f.window;
    window.AddUrl(f.service.WatchUrl(QStringLiteral("fault-slow")));
    window.AddUrl(f.service.WatchUrl(QStringLiteral("clipA")));
    QRect full;
    const QString summary = QStringLiteral("Completed: 2 success, 0 failure");
    auto doubleClick = [](QWidget* widget) {
        QTest::mouseDClick(widget, Qt::LeftButton, {}, QPoint(4, 4));
    };

    ModalScript script;
    script.Then([&] { full = window.geometry(); }, 300)
        .Then(
            [&] { QTest::mouseClick(Control<QPushButton>(window, Control::DownloadButton), Qt::LeftButton); })
        .WaitFor(QStringLiteral("the slow download"),
                 [&] { return window.Model()->Job(0).state == JobState::Downloading; })
        // A label passes the double-click on to the window's background.
        .Then([&] { doubleClick(Control<QLabel>(window, Control::FolderLabel)); })
        .Then(
            [&] {
                QVERIFY(window.IsCompact());
                QVERIFY(window.isVisible());
                QCOMPARE(window.size(), QSize(32, 24));
                QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
                QVERIFY(window.IsRunning());
            },
            300)
        .Then([&] { doubleClick(Control<QLabel>(window, Control::ProgramIcon)); })
        .Then(
            [&] {
                QVERIFY(!window.IsCompact());
                QVERIFY(window.isVisible());
                QCOMPARE(window.geometry().size(), full.size());
                QCOMPARE(window.Model()->rowCount(), 2);
            },
            300)
        .WaitFor(
            QStringLiteral("the end of the run"), [&] { return !window.IsRunning(); }, 120000)
        .Then([&] {
            // The summary stays in the status line after the run.
            QCOMPARE(window.StatusText(), summary);
            QVERIFY(Control<QLabel>(window, Control::StatusLine)->isVisible());
            QCOMPARE(window.CompactTip(), summary);
            doubleClick(&window);
        })
        .Then(
            [&] {
                QVERIFY(window.IsCompact());
                QCOMPARE(window.CompactTip(), summary);
                window.CommandAction(Command::Close)->trigger();
            },
            300);
    Verify(script, script.Run(window), QDialog::Accepted);
    QCOMPARE(window.Model()->Job(0).state, JobState::Succeeded);
    QCOMPARE(window.Model()->Job(1).state, JobState::Succeeded);
}

void TestModalWindow::storedIconicStartsCompactAndStaysOpen() {
    WindowFixture f;
    f.settings.iconic = true;
    f.Create();
    MainWindow& window = *f.window;
    window.AddUrl(QStringLiteral("http://example.invalid/watch?v=kept"));
    ModalScript script;
    script
        .Then(
            [&] {
                QVERIFY(window.isVisible());
                QVERIFY(window.IsCompact());
                window.CommandAction(Command::Restore)->trigger();
            },
            1000)
        .Then(
            [&] {
                QVERIFY(window.isVisible());
                QVERIFY(!window.IsCompact());
                QCOMPARE(window.Model()->rowCount(), 1);
                QVERIFY(window.List()->isVisible());
                window.CommandAction(Command::Close)->trigger();
            },
            300);
    Verify(script, script.Run(window), QDialog::Accepted);
    QVERIFY(f.settings.iconic); // kept as it was read
}

void TestModalWindow::programWithStoredIconicKeepsRunning() {
    TestSupport::IsolatedProfile profile;
    {
        QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("Settings/Iconic"), 1);
    }
    QProcess program;
    program.start(TestSupport::BinDir() + QStringLiteral("/tarnwick"), {});
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));
    // It used to end about 0.6 s after start.
    QVERIFY2(!program.waitForFinished(3000), qPrintable(QString::fromUtf8(program.readAllStandardError())));
    program.kill();
    program.waitForFinished(10000);
}

QTEST_MAIN(TestModalWindow)
#include "tst_modalwindow.moc"
