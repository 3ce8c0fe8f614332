// The quillet host as the browser runs it: framed requests on its standard input, framed
// answers on its standard output, the stand-in program started for each hand-off.

#include "handofffixture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <cstring>

using TestSupport::HandOffFixture;

namespace {

QByteArray Header(std::uint32_t length) {
    QByteArray header(sizeof length, '\0');
    std::memcpy(header.data(), &length, sizeof length);
    return header;
}

QByteArray Frame(const QByteArray& body) {
    return Header(static_cast<std::uint32_t>(body.size())) + body;
}

QByteArray DownloadFrame(const QString& url) {
    return Frame(QJsonDocument(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("download")},
                                           {QStringLiteral("url"), url}})
                     .toJson(QJsonDocument::Compact));
}

QByteArray DownloadFrame(const QString& url, const QJsonArray& cookies) {
    return Frame(QJsonDocument(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("download")},
                                           {QStringLiteral("url"), url},
                                           {QStringLiteral("cookies"), cookies}})
                     .toJson(QJsonDocument::Compact));
}

// A cookie as the browser's cookies interface lists it.
QJsonObject BrowserCookie(const QString& name, const QString& value, const QString& domain, bool hostOnly,
                          bool httpOnly = false, double expires = 0) {
    return {{QStringLiteral("name"), name},
            {QStringLiteral("value"), value},
            {QStringLiteral("domain"), domain},
            {QStringLiteral("hostOnly"), hostOnly},
            {QStringLiteral("path"), QStringLiteral("/")},
            {QStringLiteral("secure"), false},
            {QStringLiteral("httpOnly"), httpOnly},
            {QStringLiteral("session"), expires == 0},
            {QStringLiteral("expirationDate"), expires}};
}

const QByteArray StateFrame = Frame("{\"cmd\":\"state\"}");

struct HostRun {
    int exitCode = -1;
    QList<QJsonObject> answers;
    bool wellFramed = true;
};

// Runs the host on the whole input and splits its output into answers.
HostRun RunHost(const QByteArray& input) {
    QProcess host;
    host.start(QDir(TestSupport::BinDir()).filePath(QStringLiteral("quillet")), {});
    HostRun run;
    if (!host.waitForStarted())
        return run;
    host.write(input);
    host.closeWriteChannel();
    if (!host.waitForFinished(30000)) {
        host.kill();
        host.waitForFinished();
        return run;
    }
    run.exitCode = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    QByteArray output = host.readAllStandardOutput();
    while (!output.isEmpty()) {
        std::uint32_t length = 0;
        if (output.size() < 4) {
            run.wellFramed = false;
            break;
        }
        std::memcpy(&length, output.constData(), sizeof length);
        const QByteArray body = output.mid(4, length);
        run.wellFramed = run.wellFramed && body.size() == qsizetype(length);
        run.answers.append(QJsonDocument::fromJson(body).object());
        output = output.mid(4 + qsizetype(length));
    }
    return run;
}

} // namespace

class QuilletHostTest : public QObject {
    Q_OBJECT

private slots:
    void stateAnswersQuilletsFlags() {
        HandOffFixture fixture;
        HostRun run = RunHost(StateFrame);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.answers.size(), 1);
        QCOMPARE(run.answers[0], (QJsonObject{{QStringLiteral("ok"), true},
                                              {QStringLiteral("contextMenu"), false},
                                              {QStringLiteral("toolbarButton"), false},
                                              {QStringLiteral("toolsMenu"), false},
                                              {QStringLiteral("sendCookies"), false}}));

        fixture.SwitchOn(
            {QStringLiteral("ContextMenu"), QStringLiteral("ToolsMenu"), QStringLiteral("SendCookies")});
        run = RunHost(StateFrame + StateFrame);
        QCOMPARE(run.answers.size(), 2);
        for (const QJsonObject& answer : run.answers) {
            QCOMPARE(answer.value(QStringLiteral("contextMenu")).toBool(), true);
            QCOMPARE(answer.value(QStringLiteral("toolbarButton")).toBool(), false);
            QCOMPARE(answer.value(QStringLiteral("toolsMenu")).toBool(), true);
            QCOMPARE(answer.value(QStringLiteral("sendCookies")).toBool(), true);
        }
    }

    void endOfInputEndsQuietly() {
        HandOffFixture fixture;
        const HostRun run = RunHost({});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.answers.isEmpty());
    }

    // Each bad message gets one error answer; where the frame could be read whole the host
    // goes on with the next request, otherwise it ends.
    void badInputGetsAnErrorAnswer_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("goesOn");
        const QString notObject = QStringLiteral("not a JSON object");
        const QString needsUrl = QStringLiteral("\"url\"");
        const QString control = QStringLiteral("control characters");
        const QString scheme = QStringLiteral("Only http and https");
        const QString ended = QStringLiteral("ended before its stated length");
        QTest::newRow("not JSON") << Frame("hello") << notObject << true;
        QTest::newRow("JSON array") << Frame("[1,2]") << notObject << true;
        QTest::newRow("empty frame") << Frame("") << notObject << true;
        QTest::newRow("not UTF-8") << Frame("{\"cmd\":\"state\xff\"}") << QStringLiteral("not valid UTF-8")
                                   << true;
        QTest::newRow("overlong UTF-8")
            << Frame("{\"cmd\":\"\xc0\xaf\"}") << QStringLiteral("not valid UTF-8") << true;
        QTest::newRow("unknown command")
            << Frame("{\"cmd\":\"erase\"}") << QStringLiteral("Unknown command") << true;
        QTest::newRow("no command") << Frame("{\"url\":\"http://h/\"}") << QStringLiteral("Unknown command")
                                    << true;
        QTest::newRow("missing url") << Frame("{\"cmd\":\"download\"}") << needsUrl << true;
        QTest::newRow("url not text")
            << Frame("{\"cmd\":\"download\",\"url\":[\"http://h/\"]}") << needsUrl << true;
        QTest::newRow("address over 8 KiB")
            << DownloadFrame(QStringLiteral("http://h/") + QString(8192 - 8, QLatin1Char('a')))
            << QStringLiteral("8 KiB") << true;
        QTest::newRow("line feed") << DownloadFrame(QStringLiteral("http://h/a\nb")) << control << true;
        QTest::newRow("escaped NUL") << Frame("{\"cmd\":\"download\",\"url\":\"http://h/\\u0000x\"}")
                                     << control << true;
        QTest::newRow("C1 control") << DownloadFrame(QStringLiteral("http://h/\u0085")) << control << true;
        QTest::newRow("DEL") << DownloadFrame(QStringLiteral("http://h/\x7f")) << control << true;
        QTest::newRow("lone surrogate") << Frame("{\"cmd\":\"download\",\"url\":\"http://h/\\ud800\"}")
                                        << QStringLiteral("not valid text") << true;
        QTest::newRow("file scheme") << DownloadFrame(QStringLiteral("file:///etc/passwd")) << scheme << true;
        QTest::newRow("script scheme")
            << DownloadFrame(QStringLiteral("javascript:alert(1)")) << scheme << true;
        QTest::newRow("no scheme") << DownloadFrame(QStringLiteral("www.example.com/watch")) << scheme
                                   << true;
        QTest::newRow("length over 1 MiB") << Header(1024 * 1024 + 1) + QByteArray(1024 * 1024 + 1, '{')
                                           << QStringLiteral("longer than 1 MiB") << true;
        QTest::newRow("cookies not a list")
            << Frame("{\"cmd\":\"download\",\"url\":\"http://h/\",\"cookies\":\"sid=1\"}")
            << QStringLiteral("must come as a list") << true;
        QTest::newRow("too many cookies")
            << DownloadFrame(QStringLiteral("http://h/"), QJsonArray::fromVariantList(QVariantList(10001, 0)))
            << QStringLiteral("More than 10000 cookies") << true;
        QTest::newRow("truncated body") << Header(100) + QByteArray("{\"cmd\":") << ended << false;
        QTest::newRow("truncated length") << QByteArray("\x05\x00", 2) << ended << false;
        // The host must not try to hold 4 GiB because a frame says so.
        QTest::newRow("huge stated length") << Header(0xffffffffu) + QByteArray(100, 'x') << ended << false;
    }

    void badInputGetsAnErrorAnswer() {
        QFETCH(QByteArray, input);
        QFETCH(QString, error);
        QFETCH(bool, goesOn);
        HandOffFixture fixture;
        QVERIFY(fixture.InstallStandIn());
        const HostRun run = RunHost(input + StateFrame);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.wellFramed);
        QCOMPARE(run.answers.size(), goesOn ? 2 : 1);
        QCOMPARE(run.answers[0].value(QStringLiteral("ok")), QJsonValue(false));
        const QString text = run.answers[0].value(QStringLiteral("error")).toString();
        QVERIFY2(text.contains(error), qPrintable(text));
        if (goesOn)
            QCOMPARE(run.answers[1].value(QStringLiteral("ok")), QJsonValue(true));
        QVERIFY(fixture.Launches().isEmpty());
    }

    // Every address reaches its own program as one argument, byte for byte, however a shell
    // would have split or expanded it.
    void downloadStartsTheProgramWithTheAddressAsItsOneArgument() {
        HandOffFixture fixture;
        QVERIFY(fixture.InstallStandIn());
        const QStringList urls = {
            QStringLiteral("http://127.0.0.1:8123/watch?v=a b&list=c"),
            QStringLiteral("https://h/\"quoted\" 'single' $(id) `id` ;|*?&x=1"),
            QStringLiteral("HTTP://h/vid\u00e9o/\u65e5\u672c?q=\u00fc\u00df"),
            QStringLiteral("http://h/") + QString(8192 - 9, QLatin1Char('b')), // exactly 8 KiB
        };
        QByteArray input;
        for (const QString& url : urls)
            input += DownloadFrame(url);
        const HostRun run = RunHost(input);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.answers.size(), urls.size());
        for (const QJsonObject& answer : run.answers)
            QCOMPARE(answer, (QJsonObject{{QStringLiteral("ok"), true}}));

        QTRY_COMPARE_WITH_TIMEOUT(fixture.Launches().size(), urls.size(), 10000);
        QByteArrayList expected;
        QByteArrayList received;
        for (const QString& url : urls)
            expected.append(url.toUtf8());
        for (const HandOffFixture::Launch& launch : fixture.Launches()) {
            QVERIFY(launch.detached);
            QCOMPARE(launch.arguments.size(), 1);
            received.append(launch.arguments[0]);
        }
        std::sort(expected.begin(), expected.end());
        std::sort(received.begin(), received.end());
        QCOMPARE(received, expected);
    }

    // The site's cookies go to the program through its standard input, as cookies.txt lines,
    // and only those its host may be sent; with the switch off, or none left, none go at all.
    void cookiesReachTheProgramThroughItsInputAlone_data() {
        QTest::addColumn<bool>("switchedOn");
        QTest::addColumn<QJsonArray>("cookies");
        QTest::addColumn<QByteArrayList>("lines"); // expected, in the browser's order
        const QString host = QStringLiteral("video.example.test");
        const QJsonObject own =
            BrowserCookie(QStringLiteral("sid"), QStringLiteral("s3cr3t-own"), host, true);
        const QJsonObject parent = BrowserCookie(QStringLiteral("auth"), QStringLiteral("s3cr3t-parent"),
                                                 QStringLiteral(".example.test"), false, true, 2000000000.5);
        const QByteArray ownLine = "video.example.test\tFALSE\t/\tFALSE\t0\tsid\ts3cr3t-own\n";
        const QByteArray parentLine =
            "#HttpOnly_.example.test\tTRUE\t/\tFALSE\t2000000001\tauth\ts3cr3t-parent\n";
        const QJsonArray strangers = {
            BrowserCookie(QStringLiteral("a"), QStringLiteral("s3cr3t-other"), QStringLiteral("other.test"),
                          false),
            BrowserCookie(QStringLiteral("b"), QStringLiteral("s3cr3t-sub"), QStringLiteral("deep.") + host,
                          true),
            BrowserCookie(QStringLiteral("c"), QStringLiteral("s3cr3t-sibling"),
                          QStringLiteral("tv.example.test"), true),
            BrowserCookie(QStringLiteral("d"), QStringLiteral("s3cr3t-suffix"),
                          QStringLiteral("o.example.test"), false),
            BrowserCookie(QStringLiteral("e"), QStringLiteral("s3cr3t\nx\ty"), host, true),
            BrowserCookie(QStringLiteral("f\tg"), QStringLiteral("s3cr3t-tab"), host, true),
            BrowserCookie(QString(), QStringLiteral("s3cr3t-nameless"), host, true),
        };
        QJsonArray mixed = strangers;
        mixed.prepend(parent);
        mixed.prepend(own);
        QTest::newRow("own and parent domain's, strangers left out")
            << true << mixed << QByteArrayList{ownLine, parentLine};
        QTest::newRow("switched off") << false << mixed << QByteArrayList{};
        QTest::newRow("none for this site") << true << strangers << QByteArrayList{};
        QTest::newRow("none at all") << true << QJsonArray{} << QByteArrayList{};
    }

    void cookiesReachTheProgramThroughItsInputAlone() {
        QFETCH(bool, switchedOn);
        QFETCH(QJsonArray, cookies);
        QFETCH(QByteArrayList, lines);
        HandOffFixture fixture;
        QVERIFY(fixture.InstallStandIn());
        if (switchedOn)
            fixture.SwitchOn({QStringLiteral("SendCookies")});
        const QString url = QStringLiteral("http://video.example.test/watch?v=1");
        const HostRun run = RunHost(DownloadFrame(url, cookies));
        QCOMPARE(run.answers.size(), 1);
        QCOMPARE(run.answers[0], (QJsonObject{{QStringLiteral("ok"), true}}));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.Launches().size(), 1, 10000);
        const HandOffFixture::Launch launch = fixture.Launches().first();
        QVERIFY(launch.detached);
        const QByteArrayList arguments = lines.isEmpty()
                                             ? QByteArrayList{url.toUtf8()}
                                             : QByteArrayList{"--cookies-from-stdin", url.toUtf8()};
        QCOMPARE(launch.arguments, arguments);
        QCOMPARE(launch.input, lines.join());
        QVERIFY(!launch.environment.isEmpty());
        for (const QByteArray& where : {launch.arguments.join(' '), launch.environment})
            QVERIFY2(!where.contains("s3cr3t"), where.constData());
    }

    void withoutProgramNothingStartsAndTheAnswerSaysWhy_data() {
        QTest::addColumn<QString>("installDir");
        QTest::addColumn<bool>("standIn");
        QTest::addColumn<QString>("error");
        QTest::newRow("no InstallDir") << QString() << true << QStringLiteral("\"InstallDir\"");
        QTest::newRow("empty InstallDir") << QStringLiteral("") << true << QStringLiteral("\"InstallDir\"");
        QTest::newRow("folder without tarnwick")
            << QStringLiteral("install") << false << QStringLiteral("not installed in");
    }

    void withoutProgramNothingStartsAndTheAnswerSaysWhy() {
        QFETCH(QString, installDir);
        QFETCH(bool, standIn);
        QFETCH(QString, error);
        HandOffFixture fixture;
        if (standIn)
            QVERIFY(fixture.InstallStandIn());
        if (installDir.isNull())
            fixture.ClearInstallDir();
        else if (installDir.isEmpty())
            fixture.SetInstallDir(QString());
        const HostRun run = RunHost(DownloadFrame(QStringLiteral("http://h/watch?v=x")));
        QCOMPARE(run.answers.size(), 1);
        QCOMPARE(run.answers[0].value(QStringLiteral("ok")), QJsonValue(false));
        QVERIFY2(run.answers[0].value(QStringLiteral("error")).toString().contains(error),
                 qPrintable(run.answers[0].value(QStringLiteral("error")).toString()));
        QVERIFY(fixture.Launches().isEmpty());
    }
};

QTEST_GUILESS_MAIN(QuilletHostTest)
#include "tst_quillethost.moc"
