// tarnwick-fetch as a script or a person runs it, against the sample service.

#include "sampleservice.h"
#include "testenvironment.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestFetch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void pageTextReachesTheTerminalEscaped();
    void folderNameThatIsNotUtf8IsRefused();

private:
    static QString FetchPath() {
        return QDir(TestSupport::BinDir()).filePath(QStringLiteral("tarnwick-fetch"));
    }

    SampleService service_;
};

void TestFetch::initTestCase() {
    QVERIFY2(service_.Start() && service_.AddSampleVideos(), qPrintable(service_.Error()));
}

void TestFetch::pageTextReachesTheTerminalEscaped() {
    TestSupport::IsolatedProfile profile;
    QSettings(profile.SettingsFile(), QSettings::IniFormat)
        .setValue(QStringLiteral("Settings/VideoHost"), service_.Host());
    // Sets the terminal's title, then turns the text red and rings the bell.
    const QByteArray title = "\x1b]0;owned\x07"
                             "Clip \x1b[31mred\xc2\x9b";
    QVERIFY(service_.AddMedia(QStringLiteral("esc.flv"), service_.MediaBytes(QStringLiteral("sample.flv"))));
    QVERIFY(service_.AddMedia(QStringLiteral("esc.title"), title));
    QTemporaryDir output;

    QProcess fetch;
    fetch.start(FetchPath(), {output.path(), service_.WatchUrl(QStringLiteral("esc"))});
    QVERIFY(fetch.waitForFinished(60000));
    const QByteArray out = fetch.readAllStandardOutput();
    QCOMPARE(fetch.exitCode(), 0);
    for (const char control : {'\x1b', '\x07'})
        QVERIFY2(!out.contains(control), out.constData());
    QVERIFY2(!out.contains("\xc2\x9b"), out.constData());
    QVERIFY2(out.contains("\\x1b]0;owned\\x07Clip \\x1b[31mred\\u009b"), out.constData());
    // The file keeps the title's characters; only their display is escaped.
    QCOMPARE(QDir(output.path()).entryList(QDir::Files).size(), 1);
}

void TestFetch::folderNameThatIsNotUtf8IsRefused() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir parent;
    // An argument list holds text; the shell puts the raw byte 0xFF into the name.
    QProcess fetch;
    fetch.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$1/bad$(printf '\\377')\" \"$2\""),
                 FetchPath(), parent.path(), service_.WatchUrl(QStringLiteral("sample"))});
    QVERIFY(fetch.waitForFinished(60000));
    QCOMPARE(fetch.exitCode(), 2);
    QVERIFY(QString::fromUtf8(fetch.readAllStandardError())
                .contains(QStringLiteral("not valid UTF-8: ") + parent.path() + QStringLiteral("/bad\\xff")));
    QCOMPARE(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestFetch)
#include "tst_fetch.moc"
