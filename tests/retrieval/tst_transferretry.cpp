#include "recordingsink.h"
#include "retrieval/transfer/httptransfer.h"
#include "sampleservice.h"
#include "scriptedserver.h"
#include "transfertesting.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace Tarnwick;

namespace {

// What the user had in the target before the copy began; no attempt may touch it.
const QByteArray UsersBytes = "bytes the caller wrote first";

// The positions reported through Progress 2, in order.
QList<int> Positions(const RecordingSink& sink) {
    QList<int> positions;
    for (const QString& call : sink.calls)
        if (call.startsWith(QLatin1String("Progress 2 ")))
            positions << call.mid(11).toInt();
    return positions;
}

QByteArray FlippedPattern(qint64 length) {
    QByteArray bytes = PatternBytes(length);
    for (char& c : bytes)
        c = char(c ^ 0x5A);
    return bytes;
}

QByteArray PatternAnswer(qint64 length) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(length) +
           "\r\nConnection: close\r\n\r\n" + PatternBytes(length);
}

} // namespace

class TestTransferRetry : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void deliversTheWholeStreamAfterACut_data();
    void deliversTheWholeStreamAfterACut();
    void cutInsideTheHeadersStartsAgain();
    void retriesOnlyAnswersThatMayChange_data();
    void retriesOnlyAnswersThatMayChange();
    void stopEndsTheWaitAtOnce();
    void stopEndsAStalledTransfer();
    void failuresAfterDataSayWhatHappened_data();
    void failuresAfterDataSayWhatHappened();
    void statusClassesDecideWhatIsTheVideo_data();
    void statusClassesDecideWhatIsTheVideo();

private:
    SampleService service_;
};

void TestTransferRetry::initTestCase() {
    QVERIFY2(service_.Start(), qPrintable(service_.Error()));
}

void TestTransferRetry::deliversTheWholeStreamAfterACut_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("startsAgain");

    const qint64 n = 300000;
    const QString base = QStringLiteral("/bytes?n=%1").arg(n);
    QTest::newRow("at 0 bytes of body") << base + "&cutfirst=0" << PatternBytes(n) << false;
    QTest::newRow("mid-body") << base + "&cutfirst=150001" << PatternBytes(n) << false;
    QTest::newRow("one byte short") << base + QStringLiteral("&cutfirst=%1").arg(n - 1) << PatternBytes(n)
                                    << false;
    QTest::newRow("Range ignored") << base + "&cutfirst=150001&range=ignore" << PatternBytes(n) << true;
    QTest::newRow("ETag changed") << base + "&cutfirst=150001&etag=change" << FlippedPattern(n) << true;
    QTest::newRow("no length, no ranges") << base + "&chunked=1&cut=150001" << QByteArray() << true;
}

void TestTransferRetry::deliversTheWholeStreamAfterACut() {
    QFETCH(QString, query);
    QFETCH(QByteArray, expected);
    QFETCH(bool, startsAgain);

    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetReadBufferSize(4096);
    transfer.SetRetries(QuickRetries());
    QTemporaryFile target;
    QVERIFY(target.open());
    QCOMPARE(target.write(UsersBytes), UsersBytes.size());

    const QString key = QString::fromLatin1(QUrl::toPercentEncoding(QTest::currentDataTag()));
    const bool copied = transfer.CopyUrlToFile(service_.Url(query + QStringLiteral("&key=") + key), target);
    QVERIFY(target.flush());
    QFile written(target.fileName());
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray contents = written.readAll();
    QVERIFY(contents.startsWith(UsersBytes));
    const QList<int> positions = Positions(sink);
    const bool wentBack = !std::is_sorted(positions.begin(), positions.end());
    QCOMPARE(wentBack, startsAgain);
    if (expected.isEmpty()) {
        // A body that cannot be continued is fetched whole each time, and is cut each time.
        QVERIFY(!copied);
        QCOMPARE(RetryAnnouncements(sink).size(), 3);
        QVERIFY2(sink.calls.last().contains(QLatin1String("ended before the whole file")),
                 qPrintable(sink.calls.last()));
        return;
    }
    QVERIFY2(copied, qPrintable(sink.calls.last()));
    QCOMPARE(contents.mid(UsersBytes.size()), expected);
    QCOMPARE(RetryAnnouncements(sink), QStringList({QStringLiteral("Retrying in 1 s (1/3)...")}));
    QCOMPARE(sink.calls.count(QStringLiteral("Begin")), 1);
    QCOMPARE(sink.Skeleton().mid(sink.Skeleton().size() - 2),
             QStringList({QStringLiteral("End"), QStringLiteral("Status 3 ")}));
}

void TestTransferRetry::cutInsideTheHeadersStartsAgain() {
    ScriptedServer server({"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\nAccept-Ran", PatternAnswer(5000)});
    QVERIFY(server.Port() > 0);
    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetRetries(QuickRetries());
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    QVERIFY2(transfer.CopyUrlToFile(QStringLiteral("http://127.0.0.1:%1/x").arg(server.Port()), target),
             qPrintable(sink.calls.last()));
    QCOMPARE(target.data(), PatternBytes(5000));
    // Nothing of the body had come, so nothing is asked to be continued.
    QCOMPARE(server.Requests().size(), 2);
    QVERIFY(!server.Requests().last().contains("Range:"));
}

void TestTransferRetry::retriesOnlyAnswersThatMayChange_data() {
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("copied");
    QTest::addColumn<QStringList>("announcements");

    const auto waits = [](QList<int> seconds) {
        QStringList texts;
        for (int i = 0; i < seconds.size(); ++i)
            texts << QStringLiteral("Retrying in %1 s (%2/3)...").arg(seconds[i]).arg(i + 1);
        return texts;
    };
    QTest::newRow("503 with Retry-After seconds") << "fail=503&after=2" << true << waits({2});
    QTest::newRow("Retry-After beyond a minute") << "fail=503&after=120" << true << waits({60});
    QTest::newRow("500 twice, doubling waits") << "fail=500&times=2" << true << waits({1, 2});
    QTest::newRow("504 three times") << "fail=504&times=3" << true << waits({1, 2, 4});
    QTest::newRow("502 four times gives up") << "fail=502&times=4" << false << waits({1, 2, 4});
    QTest::newRow("429") << "fail=429" << true << waits({1});
    QTest::newRow("404 is final") << "fail=404" << false << QStringList();
    QTest::newRow("403 is final") << "fail=403" << false << QStringList();
}

void TestTransferRetry::retriesOnlyAnswersThatMayChange() {
    QFETCH(QString, failure);
    QFETCH(bool, copied);
    QFETCH(QStringList, announcements);

    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetRetries(QuickRetries());
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    const QString url = service_.Url(
        QStringLiteral("/bytes?n=5000&key=%1&%2")
            .arg(QString::fromLatin1(QUrl::toPercentEncoding(QTest::currentDataTag())), failure));
    QCOMPARE(transfer.CopyUrlToFile(url, target), copied);
    QCOMPARE(RetryAnnouncements(sink), announcements);
    if (copied) {
        QCOMPARE(target.data(), PatternBytes(5000));
    } else {
        QCOMPARE(target.size(), 0);
        const QString code = failure.section(QLatin1Char('='), 1, 1).section(QLatin1Char('&'), 0, 0);
        QVERIFY2(sink.calls.last().startsWith(QStringLiteral("Status 3 The server answered ") + code),
                 qPrintable(sink.calls.last()));
    }
}

void TestTransferRetry::stopEndsTheWaitAtOnce() {
    // The server asks for a minute; the user stops as soon as the wait is announced.
    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    sink.cancelWhenStatusStartsWith = QStringLiteral("Retrying in");
    QVERIFY(!transfer.CopyUrlToFile(service_.Url(QStringLiteral("/bytes?n=10&fail=503&after=60&key=stop")),
                                    target));
    // No second request went out, and a stop is no error.
    const qsizetype announced = sink.calls.indexOf(QStringLiteral("Status 5 Retrying in 60 s (1/3)..."));
    QVERIFY2(announced > 0, qPrintable(sink.calls.join(QLatin1Char('|'))));
    QVERIFY(!sink.calls.mid(announced).contains(QStringLiteral("Status 4 Sending request...")));
    QCOMPARE(sink.calls.last(), QStringLiteral("Status 3 "));
    QVERIFY(!sink.calls.contains(QStringLiteral("Begin")));
}

void TestTransferRetry::stopEndsAStalledTransfer() {
    // The stream stalls after 64 KiB and the stall limit stays at its minute: only the stop
    // can end the copy, and it ends as a stop, not as the stall's failure.
    RecordingSink sink;
    sink.cancelWhenStatusStartsWith = QStringLiteral("64 KB / ");
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetReadBufferSize(4096);
    QBuffer target;
    target.open(QIODevice::WriteOnly);
    sink.cancelAfterPolls = 3; // several idle polls after the last data: the stall has begun
    QVERIFY(!transfer.CopyUrlToFile(service_.Url(QStringLiteral("/bytes?n=10000000&stall=65536")), target));
    QCOMPARE(target.size(), 65536);
    QCOMPARE(sink.Skeleton().mid(sink.Skeleton().size() - 2),
             QStringList({QStringLiteral("End"), QStringLiteral("Status 3 ")}));
}

void TestTransferRetry::failuresAfterDataSayWhatHappened_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("reason");

    QTest::newRow("stall on a reused connection") << QString() << "/bytes?n=200000&stall=8192"
                                                  << "The server sent nothing for 1 seconds";
    QTest::newRow("full disk") << "/dev/full"
                               << "/bytes?n=200000" << QString::fromLocal8Bit(strerror(ENOSPC));
}

void TestTransferRetry::failuresAfterDataSayWhatHappened() {
    QFETCH(QString, target);
    QFETCH(QString, query);
    QFETCH(QString, reason);

    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetStallSeconds(1);
    RetryPolicy noRetries;
    noRetries.retries = 0;
    transfer.SetRetries(noRetries);
    // A first request opens the connection that the second one reuses.
    QBuffer page;
    page.open(QIODevice::WriteOnly);
    QVERIFY(transfer.CopyUrlToFile(service_.Url(QStringLiteral("/bytes?n=10")), page));

    QBuffer buffer;
    QFile file(target);
    QIODevice& device = target.isEmpty() ? static_cast<QIODevice&>(buffer) : file;
    QVERIFY(device.open(QIODevice::WriteOnly));
    sink.calls.clear();
    QVERIFY(!transfer.CopyUrlToFile(service_.Url(query), device));
    QVERIFY2(sink.calls.last().startsWith(QStringLiteral("Status 3 ") + reason),
             qPrintable(sink.calls.last()));
}

// Which answers are the video: a 2xx is, whatever else it says; a redirect that names where to
// go leads to it; every other answer, 399 as well as 400 and a redirect that names nowhere, is
// not stored, however much body it has.
void TestTransferRetry::statusClassesDecideWhatIsTheVideo_data() {
    QTest::addColumn<QByteArrayList>("answers");
    QTest::addColumn<QByteArray>("kept"); // bytes of an earlier attempt the copy continues
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("reason");
    const auto answer = [](const QByteArray& status, const QByteArray& headers = {}) {
        return "HTTP/1.1 " + status + "\r\n" + headers +
               "Content-Length: 10\r\nConnection: close\r\n\r\nerror page";
    };
    const QByteArray video = PatternAnswer(100);
    QTest::newRow("200") << QByteArrayList{video} << QByteArray() << PatternBytes(100) << QString();
    QTest::newRow("299") << QByteArrayList{"HTTP/1.1 299 Odd\r\nContent-Length: 100\r\n\r\n" +
                                           PatternBytes(100)}
                         << QByteArray() << PatternBytes(100) << QString();
    QTest::newRow("302 with Location") << QByteArrayList{answer("302 Found", "Location: /video\r\n"), video}
                                       << QByteArray() << PatternBytes(100) << QString();
    QTest::newRow("302 without Location")
        << QByteArrayList{answer("302 Found")} << QByteArray() << QByteArray() << QStringLiteral("302 Found");
    QTest::newRow("399") << QByteArrayList{answer("399 Odd")} << QByteArray() << QByteArray()
                         << QStringLiteral("399 Odd");
    QTest::newRow("400") << QByteArrayList{answer("400 Bad Request")} << QByteArray() << QByteArray()
                         << QStringLiteral("400 Bad Request");
    // A 200 is the whole body even when it names a range: it replaces what was kept.
    QTest::newRow("200 with a Content-Range, continuing")
        << QByteArrayList{"HTTP/1.1 200 OK\r\nContent-Range: bytes 40-99/100\r\nContent-Length: 100\r\n\r\n" +
                          PatternBytes(100)}
        << PatternBytes(40) << PatternBytes(100) << QString();
}

void TestTransferRetry::statusClassesDecideWhatIsTheVideo() {
    QFETCH(QByteArrayList, answers);
    QFETCH(QByteArray, kept);
    QFETCH(QByteArray, stored);
    QFETCH(QString, reason);
    ScriptedServer server(answers);
    QVERIFY(server.Port() > 0);
    RecordingSink sink;
    HttpTransfer transfer;
    QVERIFY(transfer.OpenSession(&sink));
    transfer.SetRetries(QuickRetries());
    QBuffer target;
    target.open(QIODevice::ReadWrite);
    target.write(kept);
    if (!kept.isEmpty())
        transfer.ContinueNextCopy(kept.size(), {"\"e\"", QByteArray(), 100});
    const bool copied =
        transfer.CopyUrlToFile(QStringLiteral("http://127.0.0.1:%1/x").arg(server.Port()), target);
    QCOMPARE(copied, reason.isEmpty());
    QCOMPARE(target.data(), stored.isEmpty() ? kept : stored);
    if (!copied)
        QVERIFY2(sink.calls.last().contains(reason), qPrintable(sink.calls.last()));
}

QTEST_GUILESS_MAIN(TestTransferRetry)
#include "tst_transferretry.moc"
