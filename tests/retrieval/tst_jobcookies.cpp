// A job's cookies against a sample service for signed-in visitors only: which cookies.txt is
// taken, which cookie goes where, what a job without them is told, and how yt-dlp gets them
// without their reaching its command line, its environment or a file left behind.

#include "retrieval/job/processjob.h"
#include "retrieval/transfer/jobcookies.h"
#include "sampleservice.h"
#include "standinprogram.h"
#include "testjobcontext.h"

#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

namespace {

constexpr char MemberCookie[] = "member=s3cr3t-member";
constexpr char Future[] = "4102444800"; // 2100

QByteArray CookieLine(const QByteArray& domain, const QByteArray& path, const QByteArray& secure,
                      const QByteArray& expiry, const QByteArray& name, const QByteArray& value) {
    return domain + "\tFALSE\t" + path + '\t' + secure + '\t' + expiry + '\t' + name + '\t' + value + '\n';
}

QString AllResults(const TestJobContext& context) {
    return context.sink.calls.filter(QStringLiteral("Status 3")).join(QLatin1Char('\n'));
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestJobCookies : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cookiesTextIsTakenOrRefused_data();
    void cookiesTextIsTakenOrRefused();
    void eachCookieGoesOnlyWhereItBelongs();
    void aJobWithoutCookiesIsToldToSignIn();
    void handedCookiesServeTheirJob_data();
    void handedCookiesServeTheirJob();
    void ytDlpGetsThemPrivatelyAndGivesBackItsOwn();
    void aFirefoxProfileServesTheJob_data();
    void aFirefoxProfileServesTheJob();
    void tarnwickFetchTakesTheCookieSettings_data();
    void tarnwickFetchTakesTheCookieSettings();

private:
    QString WriteCookies(const QByteArray& text);

    SampleService service_;
    QTemporaryDir scratch_;
    QTemporaryDir output_;
};

void TestJobCookies::initTestCase() {
    QVERIFY2(service_.Start({QStringLiteral("--members-cookie"), QString::fromLatin1(MemberCookie)}),
             qPrintable(service_.Error()));
    QVERIFY(service_.AddSampleVideos());
}

QString TestJobCookies::WriteCookies(const QByteArray& text) {
    static int count = 0;
    const QString path = scratch_.filePath(QStringLiteral("cookies%1.txt").arg(++count));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return path;
}

void TestJobCookies::cookiesTextIsTakenOrRefused_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("held"); // -1: refused
    QTest::addColumn<QString>("reason");
    const QByteArray good = CookieLine("127.0.0.1", "/", "FALSE", Future, "a", "secretvalue");
    QTest::newRow("plain, HttpOnly, a session cookie, no value, CRLF, comments")
        << QByteArray("# Netscape HTTP Cookie File\n\n" + good + "#HttpOnly_" +
                      CookieLine("127.0.0.1", "/", "FALSE", Future, "b", "2") +
                      CookieLine(".example.org", "/", "TRUE", "0", "c", "3") +
                      "127.0.0.1\tFALSE\t/\tFALSE\t0\tempty\r\n")
        << 4 << "";
    QTest::newRow("an expired cookie is dropped")
        << QByteArray(good + CookieLine("127.0.0.1", "/", "FALSE", "1000", "old", "1")) << 1 << "";
    QTest::newRow("five fields") << QByteArray(good + "127.0.0.1\tFALSE\t/\tFALSE\tsecretvalue\n") << -1
                                 << "line 2";
    QTest::newRow("a flag that is not TRUE or FALSE")
        << QByteArray("127.0.0.1\tYES\t/\tFALSE\t0\tname\tsecretvalue\n") << -1 << "line 1";
    QTest::newRow("a path that is not one")
        << QByteArray("127.0.0.1\tFALSE\tx\tFALSE\t0\tname\tsecretvalue\n") << -1 << "line 1";
    QTest::newRow("an expiry that is not a number")
        << QByteArray("127.0.0.1\tFALSE\t/\tFALSE\tsoon\tname\tsecretvalue\n") << -1 << "line 1";
    QTest::newRow("a carriage return inside a value")
        << QByteArray("127.0.0.1\tFALSE\t/\tFALSE\t0\tname\tsecret\rvalue\n") << -1 << "line 1";
    QTest::newRow("a text that is no cookies file")
        << QByteArray("<html>secretvalue</html>\n") << -1 << "line 1";
    QByteArray huge;
    for (int i = 0; i <= JobCookies::MaxCookies; ++i)
        huge += CookieLine("127.0.0.1", "/", "FALSE", Future, "n" + QByteArray::number(i), "secretvalue");
    QTest::newRow("more cookies than are taken") << huge << -1 << "more than";
}

void TestJobCookies::cookiesTextIsTakenOrRefused() {
    QFETCH(QByteArray, text);
    QFETCH(int, held);
    QFETCH(QString, reason);
    QString why;
    const auto cookies = JobCookiesFrom({WriteCookies(text), QString(), {}}, &why);
    if (held < 0) {
        QVERIFY(cookies == nullptr);
        QVERIFY2(why.contains(reason), qPrintable(why));
        QVERIFY2(!why.contains(QStringLiteral("secret")), qPrintable(why));
        return;
    }
    QVERIFY2(cookies != nullptr, qPrintable(why));
    QCOMPARE(cookies->Count(), held);
}

void TestJobCookies::eachCookieGoesOnlyWhereItBelongs() {
    const QString cookiesFile =
        WriteCookies(CookieLine("127.0.0.1", "/", "FALSE", Future, "member", "s3cr3t-member") +
                     CookieLine(".example.org", "/", "FALSE", Future, "stranger", "1") +
                     CookieLine("localhost", "/", "FALSE", Future, "otherhost", "1") +
                     CookieLine("127.0.0.1", "/elsewhere", "FALSE", Future, "otherpath", "1") +
                     CookieLine("127.0.0.1", "/", "FALSE", "1000", "expired", "1"));
    TestJobContext context;
    context.outputFolder = output_.path();
    context.videoHost = service_.Host();
    context.cookies.file = cookiesFile;
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);
    // The page, its stream and any redirect carried the member's cookie and nothing else. (A
    // secure-only cookie is not among the others: libcurl counts loopback as a secure origin.)
    QCOMPARE(service_.Get(QStringLiteral("/cookies-seen")), QByteArray(MemberCookie) + '\n');
}

void TestJobCookies::aJobWithoutCookiesIsToldToSignIn() {
    QTemporaryDir output;
    TestJobContext context;
    context.outputFolder = output.path();
    context.videoHost = service_.Host();
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobFailed);
    const QString results = AllResults(context);
    QVERIFY2(results.contains(QStringLiteral("403")) && results.contains(QStringLiteral("signed in")) &&
                 results.contains(QStringLiteral("CookiesFile")),
             qPrintable(results));
    QCOMPARE(QDir(output.path()).entryList(QDir::Files), QStringList());
}

// The cookies the browser handed over with an address serve that job; a job that came with
// them and holds none any more (the program was restarted) fails asking for them, and keeps
// its download for when they come.
void TestJobCookies::handedCookiesServeTheirJob_data() {
    QTest::addColumn<QByteArray>("handed");
    QTest::addColumn<bool>("cameWithCookies");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("reason");
    const QByteArray member = CookieLine("127.0.0.1", "/", "FALSE", "0", "member", "s3cr3t-member");
    QTest::newRow("handed over: delivered") << member << true << JobSucceeded << QString();
    QTest::newRow("not a cookies text") << QByteArray("member=s3cr3t-member\n") << true << JobFailed
                                        << QStringLiteral("the browser handed over: line 1");
    QTest::newRow("gone after a restart")
        << QByteArray() << true << JobFailed << QString::fromLatin1(HandOverAgainText);
}

void TestJobCookies::handedCookiesServeTheirJob() {
    QFETCH(QByteArray, handed);
    QFETCH(bool, cameWithCookies);
    QFETCH(int, result);
    QFETCH(QString, reason);
    QTemporaryDir output;
    TestJobContext context;
    context.outputFolder = output.path();
    context.videoHost = service_.Host();
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    DownloadJob& job = context.Job(0);
    job.handedCookies = handed;
    job.cookiesHanded = cameWithCookies;
    // After a restart, a download kept from before it.
    const QString kept = output.filePath(QStringLiteral(".~VD00000001.part"));
    if (handed.isEmpty()) {
        QFile keptFile(kept);
        QVERIFY(keptFile.open(QIODevice::WriteOnly) && keptFile.write("kept") == 4);
        keptFile.close();
        job.partial.path = kept;
        job.choices = JobChoices{output.path(), VideoQuality::Standard, false, {}, {}, {}};
    }
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), result);
    const QString results = AllResults(context);
    QVERIFY2(results.contains(reason), qPrintable(results));
    QVERIFY(!results.contains(QStringLiteral("s3cr3t")));
    if (handed.isEmpty()) {
        QCOMPARE(context.Job(0).partial.path, kept);
        QVERIFY(QFileInfo::exists(kept));
    }
}

void TestJobCookies::ytDlpGetsThemPrivatelyAndGivesBackItsOwn() {
    // yt-dlp (a stand-in) records what it was given; asked for the browser's cookies, it adds
    // one to the file, and asked about the page, it names a stream that the job then fetches
    // itself.
    const QString record = scratch_.filePath(QStringLiteral("record"));
    QVERIFY(QDir().mkpath(record));
    const QByteArray answer =
        R"({"id": "m", "title": "Members clip", "formats": [{"format_id": "0", "protocol": "https", "ext": "mp4", "url": ")" +
        service_.Url(QStringLiteral("/bytes/members.mp4?n=5000")).toUtf8() + "\"}]}";
    QVERIFY(WriteStandInProgram(
        scratch_.filePath(QStringLiteral("yt-dlp")),
        "r='" + record.toUtf8() +
            "'; c=''; p=''; for a in \"$@\"; do [ \"$p\" = --cookies ] && c=\"$a\"; p=\"$a\"; done\n"
            "printf '%s\\n' \"$@\" >> \"$r/args\"; tr '\\0' '\\n' < /proc/$$/environ > \"$r/env\"\n"
            "echo \"$c\" > \"$r/path\"; stat -c %a \"$c\" > \"$r/mode\"; stat -c %a \"$(dirname \"$c\")\" > "
            "\"$r/foldermode\"\n"
            "grep -c s3cr3t-member \"$c\" > \"$r/held\"\n"
            "case \"$*\" in *--simulate*) printf '127.0.0.1\\tFALSE\\t/\\tFALSE\\t0\\tfromBrowser\\t1\\n' >> "
            "\"$c\"; "
            "echo '[Cookies] Extracted 1 cookies from firefox'; exit 1;; esac\n"
            "echo '" +
            answer + "'"));
    TestJobContext context;
    context.outputFolder = output_.path();
    context.videoHost = service_.Host();
    context.ytDlp = {scratch_.filePath(QStringLiteral("yt-dlp")), QStringLiteral("test")};
    context.cookies = {WriteCookies(CookieLine("127.0.0.1", "/", "FALSE", Future, "member", "s3cr3t-member")),
                       QStringLiteral("firefox"),
                       {}};
    context.AddJob(service_.Url(QStringLiteral("/novideo")));
    QCOMPARE(ProcessJob(context, 0, VideoQuality::Standard, false), JobSucceeded);

    const QString args = QString::fromUtf8(ReadAll(record + QStringLiteral("/args")));
    QVERIFY2(args.contains(QStringLiteral("--cookies-from-browser\nfirefox\n")), qPrintable(args));
    QVERIFY(!args.contains(QStringLiteral("s3cr3t")));
    QVERIFY(!ReadAll(record + QStringLiteral("/env")).contains("s3cr3t"));
    QCOMPARE(ReadAll(record + QStringLiteral("/held")).trimmed(), QByteArray("1"));
    QCOMPARE(ReadAll(record + QStringLiteral("/mode")).trimmed(), QByteArray("600"));
    QCOMPARE(ReadAll(record + QStringLiteral("/foldermode")).trimmed(), QByteArray("700"));
    const QString cookiesPath = QString::fromUtf8(ReadAll(record + QStringLiteral("/path")).trimmed());
    QVERIFY(!QFileInfo::exists(cookiesPath));
    QVERIFY(!QFileInfo::exists(QFileInfo(cookiesPath).path()));
    // The job's own request of the stream carried the cookie yt-dlp gave back.
    const QByteArray seen = service_.Get(QStringLiteral("/cookies-seen"));
    QVERIFY2(seen.contains("fromBrowser=1") && seen.contains(MemberCookie), seen.constData());
}

void TestJobCookies::aFirefoxProfileServesTheJob_data() {
    QTest::addColumn<bool>("profileExists");
    QTest::newRow("a profile that holds the cookie") << true;
    QTest::newRow("a folder with no profile") << false;
}

void TestJobCookies::aFirefoxProfileServesTheJob() {
    // Debian's yt-dlp reads a Firefox store made as Firefox keeps it; the built-in reader of the
    // watch page then sends what it found.
    QFETCH(bool, profileExists);
    QVERIFY2(QFile::exists(QStringLiteral("/usr/bin/yt-dlp")), "yt-dlp is not installed (./run installs it)");
    QTemporaryDir profile;
    if (profileExists) {
        QProcess python;
        python.start(
            QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral(
                 "import sqlite3, sys\n"
                 "c = sqlite3.connect(sys.argv[1])\n"
                 "c.execute('CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT "
                 "NULL "
                 "DEFAULT \"\", name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed "
                 "INTEGER, "
                 "creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER)')\n"
                 "c.execute('INSERT INTO moz_cookies (name, value, host, path, expiry, lastAccessed, "
                 "creationTime, "
                 "isSecure, isHttpOnly) VALUES (\"member\", \"s3cr3t-member\", \"127.0.0.1\", \"/\", "
                 "4102444800, 0, 0, 0, 1)')\n"
                 "c.commit()\n"),
             profile.filePath(QStringLiteral("cookies.sqlite"))});
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(python.exitCode(), 0);
    }
    QTemporaryDir output;
    TestJobContext context;
    context.outputFolder = output.path();
    context.videoHost = service_.Host();
    context.ytDlp = {QStringLiteral("/usr/bin/yt-dlp"), QStringLiteral("test")};
    context.cookies.browser = QStringLiteral("firefox:") + profile.path();
    context.AddJob(service_.WatchUrl(QStringLiteral("sample")));
    const int result = ProcessJob(context, 0, VideoQuality::Standard, false);
    if (profileExists) {
        QCOMPARE(result, JobSucceeded);
        QCOMPARE(QDir(output.path()).entryList(QDir::Files).size(), 1);
        return;
    }
    QCOMPARE(result, JobFailed);
    const QString results = AllResults(context);
    QVERIFY2(results.contains(QStringLiteral("Cannot read the cookies of firefox:")) &&
                 results.contains(QStringLiteral("could not find firefox cookies database")),
             qPrintable(results));
}

void TestJobCookies::tarnwickFetchTakesTheCookieSettings_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("browser");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    const QString good =
        WriteCookies(CookieLine("127.0.0.1", "/", "FALSE", Future, "member", "s3cr3t-member"));
    QTest::newRow("a cookies file") << good << "" << 0 << "1 success";
    QTest::newRow("a file that is no cookies file")
        << WriteCookies("not a cookie\n") << "" << 1 << "is not a cookie in the Netscape cookies.txt format";
    QTest::newRow("a missing file") << scratch_.filePath(QStringLiteral("none.txt")) << "" << 1
                                    << "there is no such file";
    QTest::newRow("a browser yt-dlp cannot read") << good << "safari" << 2 << "CookiesFromBrowser";
}

void TestJobCookies::tarnwickFetchTakesTheCookieSettings() {
    QFETCH(QString, file);
    QFETCH(QString, browser);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    TestSupport::IsolatedProfile profile;
    {
        QSettings settings(profile.SettingsFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Settings/VideoHost"), service_.Host());
        settings.setValue(QStringLiteral("Settings/CookiesFile"), file);
        settings.setValue(QStringLiteral("Settings/CookiesFromBrowser"), browser);
    }
    QTemporaryDir output;
    QProcess fetch;
    fetch.setProcessChannelMode(QProcess::MergedChannels);
    fetch.start(TestSupport::BinDir() + QStringLiteral("/tarnwick-fetch"),
                {output.path(), service_.WatchUrl(QStringLiteral("sample"))});
    QVERIFY(fetch.waitForFinished(60000));
    const QString log = QString::fromUtf8(fetch.readAll());
    QCOMPARE(fetch.exitCode(), exitCode);
    QVERIFY2(log.contains(said), qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("s3cr3t")), qPrintable(log));
    QCOMPARE(QDir(output.path()).entryList(QDir::Files).size(), exitCode == 0 ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestJobCookies)
#include "tst_jobcookies.moc"
