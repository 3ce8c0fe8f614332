// The quillet host as the browser runs it: framed requests on its standard input, framed
// answers on its standard output, the stand-in program started for each hand-off.

#include "handofffixture.h"

#include <QDir>
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
                                              {QStringLiteral("toolsMenu"), false}}));

        fixture.SwitchOn({QStringLiteral("ContextMenu"), QStringLiteral("ToolsMenu")});
        run = RunHost(StateFrame + StateFrame);
        QCOMPARE(run.answers.size(), 2);
        for (const QJsonObject& answer : run.answers) {
            QCOMPARE(answer.value(QStringLiteral("contextMenu")).toBool(), true);
            QCOMPARE(answer.value(QStringLiteral("toolbarButton")).toBool(), false);
            QCOMPARE(answer.value(QStringLiteral("toolsMenu")).toBool(), true);
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
