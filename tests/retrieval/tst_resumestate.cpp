#include "retrieval/transfer/responseheaders.h"
#include "retrieval/transfer/resumestate.h"
#include "retrieval/transfer/retrypolicy.h"

#include <QTest>
#include <curl/curl.h>

using namespace Tarnwick;

namespace {

ResponseHeaders Answer(long status, QByteArray contentRange = {}, QByteArray etag = {},
                       QByteArray lastModified = {}) {
    ResponseHeaders headers;
    headers.status = status;
    headers.contentLength = "1000";
    headers.contentRange = contentRange;
    headers.etag = etag;
    headers.lastModified = lastModified;
    return headers;
}

} // namespace

class TestResumeState : public QObject {
    Q_OBJECT

private slots:
    void continuesOnlyTheSameBody_data();
    void continuesOnlyTheSameBody();
    void readsRetryAfterInBothForms_data();
    void readsRetryAfterInBothForms();
};

void TestResumeState::continuesOnlyTheSameBody_data() {
    QTest::addColumn<QByteArray>("acceptRanges");
    QTest::addColumn<QByteArray>("firstEtag");
    QTest::addColumn<QByteArray>("firstModified");
    QTest::addColumn<bool>("canContinue");
    QTest::addColumn<QByteArray>("ifRange");
    QTest::addColumn<ResponseHeaders>("answer");
    QTest::addColumn<bool>("accepted");

    const QByteArray tag = "\"a1\"";
    const QByteArray date = "Tue, 08 Dec 2026 10:00:00 GMT";
    QTest::newRow("continues from the next byte") << QByteArray("bytes") << tag << QByteArray() << true << tag
                                                  << Answer(206, "bytes 400-999/1000", tag) << true;
    QTest::newRow("validator confirmed by If-Range alone")
        << QByteArray() << tag << QByteArray() << true << tag << Answer(206, "bytes 400-999/1000") << true;
    QTest::newRow("Last-Modified when there is no ETag")
        << QByteArray() << QByteArray() << date << true << date << Answer(206, "bytes 400-999/1000", {}, date)
        << true;
    QTest::newRow("another start") << QByteArray("bytes") << tag << QByteArray() << true << tag
                                   << Answer(206, "bytes 0-999/1000", tag) << false;
    QTest::newRow("another total") << QByteArray("bytes") << tag << QByteArray() << true << tag
                                   << Answer(206, "bytes 400-1999/2000", tag) << false;
    QTest::newRow("another ETag") << QByteArray("bytes") << tag << QByteArray() << true << tag
                                  << Answer(206, "bytes 400-999/1000", "\"b2\"") << false;
    QTest::newRow("changed since") << QByteArray() << QByteArray() << date << true << date
                                   << Answer(206, "bytes 400-999/1000", {}, "Wed, 09 Dec 2026 10:00:00 GMT")
                                   << false;
    QTest::newRow("the whole body again")
        << QByteArray("bytes") << tag << QByteArray() << true << tag << Answer(200, {}, tag) << false;
    QTest::newRow("malformed range") << QByteArray("bytes") << tag << QByteArray() << true << tag
                                     << Answer(206, "bytes 400-/1000", tag) << false;
    QTest::newRow("ranges refused") << QByteArray("none") << tag << QByteArray() << false << QByteArray()
                                    << Answer(206, "bytes 400-999/1000", tag) << false;
    QTest::newRow("only a weak ETag") << QByteArray("bytes") << QByteArray("W/\"a1\"") << QByteArray()
                                      << false << QByteArray() << Answer(206, "bytes 400-999/1000") << false;
}

void TestResumeState::continuesOnlyTheSameBody() {
    QFETCH(QByteArray, acceptRanges);
    QFETCH(QByteArray, firstEtag);
    QFETCH(QByteArray, firstModified);
    QFETCH(bool, canContinue);
    QFETCH(QByteArray, ifRange);
    QFETCH(ResponseHeaders, answer);
    QFETCH(bool, accepted);

    ResponseHeaders first = Answer(200, {}, firstEtag, firstModified);
    first.acceptRanges = acceptRanges;
    ResumeState state;
    state.StartWhole(first);
    QVERIFY(!state.CanContinue()); // nothing received yet
    state.Add(400);
    QCOMPARE(state.CanContinue(), canContinue);
    if (!canContinue)
        return;
    QList<QByteArray> expected = {"Range: bytes=400-"};
    if (!ifRange.isEmpty())
        expected << "If-Range: " + ifRange;
    QCOMPARE(state.ContinuationHeaders(), expected);
    QCOMPARE(state.AcceptsContinuation(answer), accepted);
}

void TestResumeState::readsRetryAfterInBothForms_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("seconds"); // -1: not read

    QTest::newRow("seconds") << QByteArray(" 7 ") << 7;
    QTest::newRow("IMF date") << QByteArray("Tue, 08 Dec 2026 10:00:30 GMT") << 30;
    QTest::newRow("RFC 850 date") << QByteArray("Tuesday, 08-Dec-26 10:01:00 GMT") << 60;
    QTest::newRow("asctime date") << QByteArray("Tue Dec  8 10:00:05 2026") << 5;
    QTest::newRow("date in the past") << QByteArray("Tue, 08 Dec 2026 09:00:00 GMT") << 0;
    QTest::newRow("negative") << QByteArray("-5") << -1;
    QTest::newRow("garbage") << QByteArray("soon") << -1;
    QTest::newRow("empty") << QByteArray() << -1;
}

void TestResumeState::readsRetryAfterInBothForms() {
    QFETCH(QByteArray, value);
    QFETCH(int, seconds);
    const std::time_t now = curl_getdate("Tue, 08 Dec 2026 10:00:00 GMT", nullptr);
    const std::optional<int> read = RetryAfterSeconds(value, now);
    QCOMPARE(read.value_or(-1), seconds);
}

QTEST_GUILESS_MAIN(TestResumeState)
#include "tst_resumestate.moc"
