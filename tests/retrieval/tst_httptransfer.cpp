#include "recordingsink.h"
#include "retrieval/transfer/httptransfer.h"
#include "sampleservice.h"
#include "transfertesting.h"

#include <QBuffer>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QTest>
#include <clocale>
#include <cstdio>

using namespace Tarnwick;

class TestHttpTransfer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void reportsEveryChunkInOrder_data();
    void reportsEveryChunkInOrder();
    void cancelBeforeFirstReadWritesNothing();
    void copiesSilentlyWithoutSink();
    void failuresEndWithTheirReason_data();
    void failuresEndWithTheirReason();
    void followsRedirectChain();
    void reportsConnectionActivityAndReusesTheConnection();
    void reportsNameResolution();
    void showsSpeedOnlyAfterTheFirstSecond();
    void progressTextReadsAsPrintfWouldWriteIt();
    void contentLengthRoundsToNearestKB_data();
    void contentLengthRoundsToNearestKB();

private:
    SampleService service_;
};

void TestHttpTransfer::initTestCase() {
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
}

void TestHttpTransfer::reportsEveryChunkInOrder_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<int>("totalKB");

    QTest::newRow("1 MiB") << qint64(1048576) << false << 1024;
    QTest::newRow("1535 bytes round down") << qint64(1535) << false << 1;
    QTest::newRow("1536 bytes round up") << qint64(1536) << false << 2;
    QTest::newRow("no Content-Length") << qint64(10000) << true << 0;
    QTest::newRow("empty body") << qint64(0) << false << 0;
}

void TestHttpTransfer::reportsEveryChunkInOrder() {
    QFETCH(qint64, size);
    QFETCH(bool, chunked);
    QFETCH(int, totalKB);

    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetReadBufferSize(4096);
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    QVERIFY(transfer.CopyUrlToFile(
        service_.Url(QStringLiteral("/bytes?n=%1&chunked=%2").arg(size).arg(chunked ? 1 : 0)), target));
    QCOMPARE(target.data(), PatternBytes(size));

    // The stop is also polled while no data arrives, at moments a slow or busy machine chooses;
    // the order of the reports is what counts.
    QStringList skeleton;
    for (const QString& entry : sink.Skeleton())
        if (entry != QLatin1String("IsCancelled") || (!skeleton.isEmpty() && skeleton.last() != entry))
            skeleton << entry;
    QStringList expectedStart = {QStringLiteral("Begin"), QStringLiteral("Progress 1 %1").arg(totalKB),
                                 QStringLiteral("IsCancelled")};
    QCOMPARE(skeleton.mid(0, 3), expectedStart);
    QCOMPARE(skeleton.mid(skeleton.size() - 2),
             QStringList({QStringLiteral("End"), QStringLiteral("Status 3 ")}));

    // Between them: one (progress line, position, stop poll) triple per chunk of at most 4096 bytes.
    const QStringList loop = skeleton.mid(3, skeleton.size() - 5);
    QCOMPARE(loop.size() % 3, 0);
    QVERIFY(loop.size() / 3 >= (size + 4095) / 4096);
    for (qsizetype i = 0; i < loop.size(); i += 3) {
        QVERIFY2(loop[i].startsWith(QLatin1String("Status 4 ")), qPrintable(loop[i]));
        QVERIFY2(loop[i + 1].startsWith(QLatin1String("Progress 2 ")), qPrintable(loop[i + 1]));
        QCOMPARE(loop[i + 2], QStringLiteral("IsCancelled"));
    }
    if (size > 0) {
        QVERIFY2(loop[loop.size() - 3].startsWith(
                     QStringLiteral("Status 4 %1 KB / %2 KB").arg(size >> 10).arg(totalKB)),
                 qPrintable(loop[loop.size() - 3]));
        QCOMPARE(loop[loop.size() - 2], QStringLiteral("Progress 2 %1").arg(size >> 10));
    }
}

void TestHttpTransfer::cancelBeforeFirstReadWritesNothing() {
    RecordingSink sink;
    sink.cancelWhen = RecordingSink::CancelWhen::AtBegin;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetReadBufferSize(4096);
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    QVERIFY(!transfer.CopyUrlToFile(service_.Url(QStringLiteral("/bytes?n=100000")), target));
    QCOMPARE(target.size(), 0);
    QCOMPARE(sink.Skeleton(), QStringList({QStringLiteral("Begin"), QStringLiteral("Progress 1 98"),
                                           QStringLiteral("IsCancelled"), QStringLiteral("End"),
                                           QStringLiteral("Status 3 ")}));
}

void TestHttpTransfer::copiesSilentlyWithoutSink() {
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(nullptr));
    transfer.SetReadBufferSize(4096);
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    QVERIFY(transfer.CopyUrlToFile(service_.Url(QStringLiteral("/bytes?n=300000")), target));
    QCOMPARE(target.data(), PatternBytes(300000));
    // Failures are silent too, and still failures.
    QVERIFY(!transfer.CopyUrlToFile(service_.Url(QStringLiteral("/status?code=404")), target));
}

void TestHttpTransfer::failuresEndWithTheirReason_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("bodyBegan");

    // A refused connection: a port that was free a moment ago.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    // Plain words first, libcurl's after them.
    QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:%1/x").arg(port)
                             << "The server cannot be reached (" << false;
    QTest::newRow("404") << service_.Url(QStringLiteral("/status?code=404")) << "404 Not Found" << false;
    QTest::newRow("500") << service_.Url(QStringLiteral("/status?code=500")) << "500 Internal Server Error"
                         << false;
    QTest::newRow("cut short") << service_.Url(QStringLiteral("/bytes?n=200000&cut=100000"))
                               << "ended before the whole file arrived" << true;
    QTest::newRow("stalled") << service_.Url(QStringLiteral("/bytes?n=200000&stall=8192"))
                             << "sent nothing for 1 seconds" << true;
    QTest::newRow("redirect loop") << service_.Url(QStringLiteral("/redirect?hops=50&to=%2Fbytes%3Fn%3D10"))
                                   << "The address redirects too many times (" << false;
    QTest::newRow("redirect to ftp") << service_.Url(
                                            QStringLiteral("/redirect?hops=1&to=ftp%3A%2F%2F127.0.0.1%2Fx"))
                                     << "Only http and https" << false;
    QTest::newRow("ftp address") << QStringLiteral("ftp://127.0.0.1/x") << "Only http and https" << false;
    QTest::newRow("file address") << QStringLiteral("file:///etc/passwd") << "Only http and https" << false;
    // A segment address of several megabytes, longer than libcurl takes.
    QTest::newRow("address of 9 MB") << service_.Url(QStringLiteral("/bytes?n=10&pad=") +
                                                     QString(9 << 20, QLatin1Char('a')))
                                     << "address too long" << false;
}

void TestHttpTransfer::failuresEndWithTheirReason() {
    QFETCH(QString, url);
    QFETCH(QString, reason);
    QFETCH(bool, bodyBegan);

    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetReadBufferSize(4096);
    transfer.SetStallSeconds(1);
    transfer.SetRetries(QuickRetries());
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    QVERIFY(!transfer.CopyUrlToFile(url, target));

    const QStringList skeleton = sink.Skeleton();
    QVERIFY(!skeleton.isEmpty());
    // A reason given from its capital letter is how the text begins; other fragments may stand
    // anywhere in it.
    const QString text = skeleton.last().mid(9);
    QVERIFY2(skeleton.last().startsWith(QLatin1String("Status 3 ")) &&
                 (reason.front().isUpper() ? text.startsWith(reason) : text.contains(reason)),
             qPrintable(skeleton.last()));
    QVERIFY(skeleton.last().size() - 9 <= HttpTransfer::MaxErrorTextLength);
    QCOMPARE(skeleton.contains(QStringLiteral("Begin")), bodyBegan);
    QVERIFY(!skeleton.contains(QStringLiteral("End")));
    if (!bodyBegan)
        QCOMPARE(target.size(), 0);
}

void TestHttpTransfer::followsRedirectChain() {
    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetReadBufferSize(4096);
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    QVERIFY(transfer.CopyUrlToFile(service_.Url(QStringLiteral("/redirect?hops=3&to=%2Fbytes%3Fn%3D5000")),
                                   target));
    QCOMPARE(target.data(), PatternBytes(5000));
    // The redirect answers are not the body: one Begin, for the final answer.
    QCOMPARE(sink.calls.count(QStringLiteral("Begin")), 1);
    // Three hops of the chain and the redirect to its end, then the body.
    QCOMPARE(sink.calls.count(QStringLiteral("Status 4 Response received")), 5);
}

void TestHttpTransfer::reportsConnectionActivityAndReusesTheConnection() {
    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetReadBufferSize(4096);
    QBuffer page;
    page.open(QIODevice::WriteOnly);
    QVERIFY(transfer.CopyUrlToFile(service_.Url(QStringLiteral("/bytes?n=10")), page));

    const QStringList first = sink.calls.mid(0, sink.calls.indexOf(QStringLiteral("Begin")));
    const QStringList expected = {
        QStringLiteral("Status 4 Connecting to socket address "),
        QStringLiteral("Status 4 Connected to socket address"), QStringLiteral("Status 4 Sending request..."),
        QStringLiteral("Status 4 Request sent"), QStringLiteral("Status 4 Response received")};
    qsizetype at = 0;
    for (const QString& call : expected) {
        at = first.indexOf(call, at);
        QVERIFY2(at >= 0, qPrintable(call + QStringLiteral(" missing from ") + first.join(QLatin1Char('|'))));
    }
    QVERIFY(sink.calls.contains(
        QStringLiteral("Status 4 Request complete, dwResult = 00000001, dwError = 00000000")));

    // The stream request of the same job goes over the connection the page request opened.
    sink.calls.clear();
    QVERIFY(transfer.CopyUrlToFile(service_.Url(QStringLiteral("/bytes?n=10")), page));
    QVERIFY(!sink.calls.contains(QStringLiteral("Status 4 Connecting to socket address ")));
    QVERIFY(sink.calls.contains(QStringLiteral("Status 4 Sending request...")));

    // A connection the server cuts is closed, and the closing is told.
    sink.calls.clear();
    transfer.SetRetries(QuickRetries());
    QVERIFY(!transfer.CopyUrlToFile(service_.Url(QStringLiteral("/bytes?n=200000&cut=100000")), page));
    const qsizetype closing =
        sink.calls.indexOf(QStringLiteral("Status 4 Closing the connection to the server"));
    QVERIFY2(closing >= 0,
             qPrintable(sink.calls.filter(QStringLiteral("Status 4 C")).join(QLatin1Char('|'))));
    QCOMPARE(sink.calls.value(closing + 1), QStringLiteral("Status 4 Connection to the server closed"));
}

void TestHttpTransfer::reportsNameResolution() {
    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    QString url = service_.Url(QStringLiteral("/bytes?n=10"));
    url.replace(QLatin1String("127.0.0.1"), QLatin1String("localhost"));
    QVERIFY(transfer.CopyUrlToFile(url, target));
    const qsizetype resolving = sink.calls.indexOf(QStringLiteral("Status 4 Resolving name for localhost"));
    QVERIFY2(resolving >= 0, qPrintable(sink.calls.join(QLatin1Char('|'))));
    const qsizetype resolved = sink.calls.indexOf(
        QRegularExpression(QStringLiteral("^Status 4 Resolved name for (127\\.0\\.0\\.1|::1)$")));
    QVERIFY2(resolved > resolving, qPrintable(sink.calls.join(QLatin1Char('|'))));
}

void TestHttpTransfer::showsSpeedOnlyAfterTheFirstSecond() {
    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetReadBufferSize(4096);
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    // 2.5 seconds at 100 KB/s.
    QVERIFY(transfer.CopyUrlToFile(service_.Url(QStringLiteral("/bytes?n=256000&rate=102400")), target));
    const QStringList lines = sink.ProgressLines();
    QVERIFY(!lines.isEmpty());
    QVERIFY2(!lines.first().contains(QLatin1String("KB/s")), qPrintable(lines.first()));
    const QRegularExpression withSpeed(QStringLiteral("^Status 4 250 KB / 250 KB, (\\d+\\.\\d) KB/s$"));
    const QRegularExpressionMatch last = withSpeed.match(lines.last());
    QVERIFY2(last.hasMatch(), qPrintable(lines.last()));
    // Whole seconds: 250 KB over 2 or 3 seconds.
    const double speed = last.captured(1).toDouble();
    QVERIFY2(qFuzzyCompare(speed, 125.0) || qFuzzyCompare(speed, 83.3), qPrintable(lines.last()));
}

void TestHttpTransfer::progressTextReadsAsPrintfWouldWriteIt() {
    // The reference is the C library's printf with '.' as the decimal point, as the text was
    // first written. Halves, values just beside them, and sizes far beyond the first megabytes.
    std::setlocale(LC_NUMERIC, "C");
    const QList<double> doneKBs = {0.0,      0.25,   0.75,      1.0,       4.0,
                                   1023.999, 1024.0, 12345.678, 1048576.0, 2097151.5};
    for (const double doneKB : doneKBs) {
        for (const qint64 seconds : {qint64(0), qint64(1), qint64(3), qint64(7)}) {
            char expected[128];
            if (seconds > 0)
                std::snprintf(expected, sizeof expected, "%d KB / %d KB, %0.1f KB/s", int(doneKB), 1024,
                              doneKB / double(seconds));
            else
                std::snprintf(expected, sizeof expected, "%d KB / %d KB", int(doneKB), 1024);
            QCOMPARE(TransferProgressText(doneKB, 1024, seconds), QString::fromLatin1(expected));
        }
    }
}

void TestHttpTransfer::contentLengthRoundsToNearestKB_data() {
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("totalKB");

    QTest::newRow("absent") << QByteArray() << 0;
    QTest::newRow("not a number") << QByteArray("abc") << 0;
    QTest::newRow("leading blanks and sign") << QByteArray("  +2048") << 2;
    QTest::newRow("stops at other characters") << QByteArray("1536xyz") << 2;
    QTest::newRow("511 rounds to zero") << QByteArray("511") << 0;
    QTest::newRow("512 rounds up") << QByteArray("512") << 1;
    QTest::newRow("negative") << QByteArray("-5000") << 0;
    QTest::newRow("beyond 2 GiB") << QByteArray("4294967296") << 4194304;
}

void TestHttpTransfer::contentLengthRoundsToNearestKB() {
    QFETCH(QByteArray, header);
    QFETCH(int, totalKB);
    QCOMPARE(ContentLengthKB(header), totalKB);
}

QTEST_GUILESS_MAIN(TestHttpTransfer)
#include "tst_httptransfer.moc"
