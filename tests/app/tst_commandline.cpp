#include "app/commandline.h"
#include "app/urlcheck.h"
#include "app/windowhandoff.h"

#include <QTest>

using namespace Tarnwick;

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void newWindowFlag();
    void handOffLines_data();
    void handOffLines();
    void urlShape_data();
    void urlShape();
};

void TestCommandLine::parse_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("request");
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QString>("folder");

    const QString url1 = QStringLiteral("http://www.youtube.com/watch?v=abc");
    const QString url2 = QStringLiteral("https://example.org/watch?v=def");

    QTest::newRow("no arguments") << QStringList{} << 0 << QStringList{} << QString();
    QTest::newRow("-? alone") << QStringList{QStringLiteral("-?")} << 1 << QStringList{} << QString();
    QTest::newRow("-h alone") << QStringList{QStringLiteral("-h")} << 1 << QStringList{} << QString();
    QTest::newRow("--help alone") << QStringList{QStringLiteral("--help")} << 1 << QStringList{} << QString();
    QTest::newRow("-H is not a usage flag")
        << QStringList{QStringLiteral("-H")} << 0 << QStringList{} << QString();
    QTest::newRow("other flags ignored")
        << QStringList{QStringLiteral("-x"), QStringLiteral("-"), QStringLiteral("-help")} << 0
        << QStringList{} << QString();
    QTest::newRow("usage flag then address queues it")
        << QStringList{QStringLiteral("-?"), url1} << 2 << QStringList{url1} << QString();
    QTest::newRow("address then usage flag stays queued")
        << QStringList{url1, QStringLiteral("-h")} << 2 << QStringList{url1} << QString();
    QTest::newRow("folder before addresses") << QStringList{QStringLiteral("videos"), url1, url2} << 2
                                             << QStringList{url1, url2} << QStringLiteral("videos");
    QTest::newRow("folder after addresses")
        << QStringList{url1, QStringLiteral("videos")} << 2 << QStringList{url1} << QStringLiteral("videos");
    QTest::newRow("the last folder wins")
        << QStringList{QStringLiteral("first"), url1, QStringLiteral("second")} << 2 << QStringList{url1}
        << QStringLiteral("second");
    QTest::newRow("a leading slash is a path, not a flag")
        << QStringList{QStringLiteral("/h")} << 0 << QStringList{} << QStringLiteral("/h");
    QTest::newRow("absolute folder with address")
        << QStringList{url1, QStringLiteral("/home/user/Videos")} << 2 << QStringList{url1}
        << QStringLiteral("/home/user/Videos");
    QTest::newRow("folder alone does not ask for a run")
        << QStringList{QStringLiteral("/tmp")} << 0 << QStringList{} << QStringLiteral("/tmp");
}

void TestCommandLine::parse() {
    QFETCH(QStringList, arguments);
    QFETCH(int, request);
    QFETCH(QStringList, urls);
    QFETCH(QString, folder);

    const CommandLineArgs args = ParseCommandLine(arguments);
    QCOMPARE(args.request, request);
    QCOMPARE(args.urls, urls);
    QCOMPARE(args.outputFolder, folder);
}

void TestCommandLine::newWindowFlag() {
    const QString url = QStringLiteral("http://host/watch?v=1");
    QVERIFY(ParseCommandLine({QStringLiteral("--new-window"), url}).newWindow);
    QVERIFY(!ParseCommandLine({url, QStringLiteral("-new-window")}).newWindow);
    QCOMPARE(ParseCommandLine({QStringLiteral("--new-window"), url}).urls, QStringList{url});
}

// A hand-off line comes back as it went, blanks and all; any other line is not one.
void TestCommandLine::handOffLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isHandOff");
    CommandLineArgs args;
    args.urls = QStringList{QStringLiteral("http://a/watch?v=1 x"), QStringLiteral("https://b/\u00e9")};
    args.outputFolder = QStringLiteral("/home/user/My Videos");
    const QByteArray whole = EncodeHandOff(args);
    QTest::newRow("whole") << whole << true;
    QTest::newRow("no address: the window comes forward") << EncodeHandOff(CommandLineArgs{}) << true;
    QTest::newRow("cut short") << whole.left(whole.size() - 5) << false;
    QTest::newRow("without its line end") << whole.chopped(1) << false;
    QTest::newRow("another version") << QByteArray(R"({"version":2,"urls":[],"folder":""})"
                                                   "\n")
                                     << false;
    QTest::newRow("an address that is not text") << QByteArray(R"({"version":1,"urls":[7],"folder":""})"
                                                               "\n")
                                                 << false;
    QTest::newRow("no folder") << QByteArray(R"({"version":1,"urls":[]})"
                                             "\n")
                               << false;
    QTest::newRow("not JSON") << QByteArray("GET / HTTP/1.1\r\n") << false;
    args.handedCookies = "127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\tvalue with blanks\n";
    QTest::newRow("with the site's cookies") << EncodeHandOff(args) << true;
    QTest::newRow("cookies that are not base64")
        << QByteArray(R"({"version":1,"urls":[],"folder":"","cookies":"*"})"
                      "\n")
        << false;
    QTest::newRow("cookies that are not text")
        << QByteArray(R"({"version":1,"urls":[],"folder":"","cookies":1})"
                      "\n")
        << false;
}

void TestCommandLine::handOffLines() {
    QFETCH(QByteArray, line);
    QFETCH(bool, isHandOff);
    const std::optional<CommandLineArgs> decoded = DecodeHandOff(line);
    QCOMPARE(decoded.has_value(), isHandOff);
    if (decoded)
        QCOMPARE(EncodeHandOff(*decoded), line);
}

void TestCommandLine::urlShape_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isUrl");

    QTest::newRow("http") << QStringLiteral("http://host/watch?v=1") << true;
    QTest::newRow("scheme with + - .") << QStringLiteral("svn+ssh.x-y:rest") << true;
    QTest::newRow("two-letter scheme") << QStringLiteral("ab:") << true;
    QTest::newRow("mailto") << QStringLiteral("mailto:someone") << true;
    QTest::newRow("drive letter path") << QStringLiteral("C:\\Videos") << false;
    QTest::newRow("no colon") << QStringLiteral("www.youtube.com/watch") << false;
    QTest::newRow("scheme starts with a digit") << QStringLiteral("1http://x") << false;
    QTest::newRow("blank in scheme") << QStringLiteral("ht tp://x") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("colon first") << QStringLiteral(":abc") << false;
    QTest::newRow("unix path") << QStringLiteral("/home/user") << false;
    QTest::newRow("relative path with colon later") << QStringLiteral("dir/a:b") << false;
}

void TestCommandLine::urlShape() {
    QFETCH(QString, text);
    QFETCH(bool, isUrl);
    QCOMPARE(IsUrl(text), isUrl);
}

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
