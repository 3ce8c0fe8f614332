// Pages and playlists are asked for compressed and decoded whatever encoding the server chose;
// media are asked for and kept as stored. Each case answers from a loopback server with exactly
// the bytes it prepares.

#include "recordingsink.h"
#include "retrieval/sources/resolver.h"
#include "retrieval/transfer/httptransfer.h"
#include "retrieval/transfer/limitedbuffer.h"
#include "scriptedserver.h"
#include "transfertesting.h"

#include <QTest>
#include <zlib.h>

using namespace Tarnwick;

namespace {

const QByteArray Page = "<html><head><title>Compressed</title></head><body>" + QByteArray(5000, 'x') +
                        "<video src=\"/v.mp4\"></video></body></html>";

// 31: gzip, 15: zlib (what "deflate" means), -15: raw deflate (what some servers send for it).
QByteArray Compressed(const QByteArray& text, int windowBits) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&stream, uLong(text.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.constData()));
    stream.avail_in = uInt(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

QByteArray Answer(const QByteArray& contentEncoding, const QByteArray& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: " + contentEncoding +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray HeaderOf(const QByteArray& request, const QByteArray& name) {
    for (const QByteArray& line : request.split('\n'))
        if (line.toLower().startsWith(name.toLower() + ':'))
            return line.mid(name.size() + 1).trimmed();
    return "<absent>";
}

struct Fetched {
    bool copied = false;
    QByteArray data;
    QString result;
    QByteArray acceptEncoding;
};

Fetched FetchFrom(const QByteArray& answer, HttpTransfer::Body body, qint64 limit = PageSizeLimit) {
    ScriptedServer server({answer});
    RecordingSink sink;
    HttpTransfer transfer;
    RetryPolicy once;
    once.retries = 0;
    transfer.SetRetries(once);
    transfer.OpenSession(&sink);
    LimitedBuffer buffer(limit);
    Fetched fetched;
    fetched.copied =
        transfer.CopyUrlToFile(QStringLiteral("http://127.0.0.1:%1/page").arg(server.Port()), buffer, body);
    fetched.data = buffer.Data();
    fetched.result = sink.calls.filter(QStringLiteral("Status 3 ")).value(0).mid(9);
    fetched.acceptEncoding = HeaderOf(server.Requests().value(0), "Accept-Encoding");
    return fetched;
}

} // namespace

class TestContentDecoding : public QObject {
    Q_OBJECT

private slots:
    void pagesAreDecodedWhateverTheServerChose_data();
    void pagesAreDecodedWhateverTheServerChose();
    void undecodableAnswersFailNamingTheEncoding_data();
    void undecodableAnswersFailNamingTheEncoding();
    void theLimitHoldsForTheDecodedText();
    void aCutCompressedPageContinuesOnlyInItsCoding();
    void mediaAreAskedForAndKeptAsStored();
};

void TestContentDecoding::pagesAreDecodedWhateverTheServerChose_data() {
    QTest::addColumn<QByteArray>("answer");
    const QByteArray gzip = Compressed(Page, 31);
    QTest::newRow("gzip") << Answer("gzip", gzip);
    QTest::newRow("x-gzip, upper case") << Answer("X-GZIP", gzip);
    QTest::newRow("deflate as zlib data") << Answer("deflate", Compressed(Page, 15));
    QTest::newRow("deflate as a raw stream") << Answer("deflate", Compressed(Page, -15));
    QTest::newRow("identity beside gzip") << Answer("identity, gzip", gzip);
    QTest::newRow("bytes after the gzip stream") << Answer("gzip", gzip + QByteArray("\0\0\0\0junk", 8));
    QTest::newRow("uncompressed") << Answer("identity", Page);
    // Chunked, so that the compressed stream arrives in pieces of every size, down to one byte.
    QByteArray chunked = "HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nTransfer-Encoding: chunked\r\n\r\n";
    const QByteArray raw = Compressed(Page, 15);
    for (qsizetype at = 0, size = 1; at < raw.size(); at += size, size *= 2) {
        const QByteArray piece = raw.mid(at, size);
        chunked += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    QTest::newRow("deflate in growing chunks") << chunked + "0\r\n\r\n";
}

void TestContentDecoding::pagesAreDecodedWhateverTheServerChose() {
    QFETCH(QByteArray, answer);
    const Fetched fetched = FetchFrom(answer, HttpTransfer::Body::Read);
    QVERIFY2(fetched.copied, qPrintable(fetched.result));
    QCOMPARE(fetched.data, Page);
    QCOMPARE(fetched.acceptEncoding, QByteArray("gzip, deflate"));
}

void TestContentDecoding::undecodableAnswersFailNamingTheEncoding_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("reason");
    const QByteArray gzip = Compressed(Page, 31);
    QTest::newRow("gzip cut short") << Answer("gzip", gzip.left(gzip.size() / 2))
                                    << "gzip-compressed answer ended before its compressed data";
    QTest::newRow("a lone byte of deflate")
        << Answer("deflate", gzip.left(1)) << "deflate-compressed answer ended before";
    QTest::newRow("not gzip at all") << Answer("gzip", Page) << "gzip-compressed answer is damaged";
    QTest::newRow("an encoding not offered") << Answer("br", Page) << "compressed as \"br\"";
    QTest::newRow("compressed twice") << Answer("gzip, deflate", gzip) << "more than once (gzip, deflate)";
    QTest::newRow("named in two header lines")
        << Answer("gzip\r\nContent-Encoding: gzip", Compressed(gzip, 31)) << "more than once (gzip, gzip)";
}

void TestContentDecoding::undecodableAnswersFailNamingTheEncoding() {
    QFETCH(QByteArray, answer);
    QFETCH(QString, reason);
    const Fetched fetched = FetchFrom(answer, HttpTransfer::Body::Read);
    QVERIFY(!fetched.copied);
    QVERIFY2(fetched.result.contains(reason), qPrintable(fetched.result));
}

// A few KiB that expand to more than the limit stop at the limit, with the limit's reason.
void TestContentDecoding::theLimitHoldsForTheDecodedText() {
    const qint64 limit = qint64(1) << 20;
    const QByteArray expanding = Compressed(QByteArray(3 * limit, ' '), 31);
    QVERIFY(expanding.size() < limit / 64);
    const Fetched fetched = FetchFrom(Answer("gzip", expanding), HttpTransfer::Body::Read, limit);
    QVERIFY(!fetched.copied);
    QVERIFY2(fetched.result.contains(QStringLiteral("larger than 1 MiB")), qPrintable(fetched.result));
    QVERIFY(fetched.data.size() <= limit);
}

// The rest of a cut gzip body, sent as a range of the plain text, would corrupt the page: it is
// refused, and the page is fetched whole again.
void TestContentDecoding::aCutCompressedPageContinuesOnlyInItsCoding() {
    const QByteArray gzip = Compressed(Page, 31);
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nETag: \"p1\"\r\nAccept-Ranges: "
                            "bytes\r\nConnection: close\r\nContent-Length: " +
                            QByteArray::number(gzip.size()) + "\r\n\r\n";
    const qsizetype cut = gzip.size() / 2;
    const QByteArray plainRest =
        "HTTP/1.1 206 Partial Content\r\nETag: \"p1\"\r\nContent-Range: bytes " + QByteArray::number(cut) +
        "-" + QByteArray::number(gzip.size() - 1) + "/" + QByteArray::number(gzip.size()) +
        "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(gzip.size() - cut) + "\r\n\r\n" +
        Page.mid(cut, gzip.size() - cut);
    ScriptedServer server({head + gzip.left(cut), plainRest, head + gzip});
    RecordingSink sink;
    HttpTransfer transfer;
    transfer.SetRetries(QuickRetries());
    transfer.OpenSession(&sink);
    LimitedBuffer buffer(PageSizeLimit);
    QVERIFY(transfer.CopyUrlToFile(QStringLiteral("http://127.0.0.1:%1/p").arg(server.Port()), buffer,
                                   HttpTransfer::Body::Read));
    QCOMPARE(buffer.Data(), Page);
    QCOMPARE(server.Requests().size(), 3);
    QCOMPARE(HeaderOf(server.Requests()[1], "Range"), "bytes=" + QByteArray::number(cut) + "-");
}

// Even a server that compresses what it was not asked to: the file is what it sent.
void TestContentDecoding::mediaAreAskedForAndKeptAsStored() {
    const QByteArray gzip = Compressed(Page, 31);
    const Fetched fetched = FetchFrom(Answer("gzip", gzip), HttpTransfer::Body::Save);
    QVERIFY2(fetched.copied, qPrintable(fetched.result));
    QCOMPARE(fetched.data, gzip);
    QCOMPARE(fetched.acceptEncoding, QByteArray("identity"));
}

QTEST_GUILESS_MAIN(TestContentDecoding)
#include "tst_contentdecoding.moc"
