#include "retrieval/sources/textencoding.h"

#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(TextEncoding)

class TestTextEncoding : public QObject {
    Q_OBJECT

private slots:
    void classifiesByMarkThenByUtf8Check_data();
    void classifiesByMarkThenByUtf8Check();
    void pageBytesBecomeText_data();
    void pageBytesBecomeText();
    void classificationIsMadeOnTheFirstCallOnly();
};

void TestTextEncoding::classifiesByMarkThenByUtf8Check_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TextEncoding>("kind");
    QTest::addColumn<QByteArray>("normalized");

    const auto kind = [](TextEncoding value) {
        return value;
    };
    QTest::newRow("empty") << QByteArray() << kind(TextEncoding::PlainText) << QByteArray();
    QTest::newRow("one byte, even a mark's first")
        << QByteArray("\xEF") << kind(TextEncoding::PlainText) << QByteArray("\xEF");
    QTest::newRow("pure ASCII") << QByteArray("abc") << kind(TextEncoding::PlainText) << QByteArray("abc");
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBFk\xC3\xA9") << kind(TextEncoding::Utf8WithBom)
                                << QByteArray("k\xC3\xA9");
    QTest::newRow("UTF-8 mark alone, two bytes")
        << QByteArray("\xEF\xBB") << kind(TextEncoding::PlainText) << QByteArray("\xEF\xBB");
    QTest::newRow("big-endian") << QByteArray("\xFE\xFF\x00"
                                              "A\x00\xE9\x20\xAC",
                                              8)
                                << kind(TextEncoding::Utf16BigEndian) << QByteArray("A\xC3\xA9\xE2\x82\xAC");
    QTest::newRow("little-endian, odd byte dropped")
        << QByteArray("\xFF\xFE"
                      "A\x00\xE9\x00\x41",
                      7)
        << kind(TextEncoding::Utf16LittleEndian) << QByteArray("A\xC3\xA9");
    QTest::newRow("UTF-16 pair kept as two units")
        << QByteArray("\xFF\xFE\x3C\xD8\xAC\xDF", 6) << kind(TextEncoding::Utf16LittleEndian)
        << QByteArray("\xED\xA0\xBC\xED\xBE\xAC");
    QTest::newRow("UTF-8 without mark")
        << QByteArray("caf\xC3\xA9") << kind(TextEncoding::Utf8WithoutBom) << QByteArray("caf\xC3\xA9");
    QTest::newRow("three-byte sequence")
        << QByteArray("\xE2\x82\xAC") << kind(TextEncoding::Utf8WithoutBom) << QByteArray("\xE2\x82\xAC");
    QTest::newRow("Latin-1 fails the check")
        << QByteArray("caf\xE9!") << kind(TextEncoding::PlainText) << QByteArray("caf\xE9!");
    QTest::newRow("zero byte fails") << QByteArray("\xC3\xA9\x00x", 4) << kind(TextEncoding::PlainText)
                                     << QByteArray("\xC3\xA9\x00x", 4);
    QTest::newRow("lead C0 fails") << QByteArray("\xC0\x80") << kind(TextEncoding::PlainText)
                                   << QByteArray("\xC0\x80");
    QTest::newRow("lead E0 fails") << QByteArray("\xE0\xA0\x80") << kind(TextEncoding::PlainText)
                                   << QByteArray("\xE0\xA0\x80");
    QTest::newRow("four-byte sequence")
        << QByteArray("\xF0\x9F\x8E\xAC") << kind(TextEncoding::Utf8WithoutBom)
        << QByteArray("\xF0\x9F\x8E\xAC");
    QTest::newRow("lead F5 fails") << QByteArray("\xF5\x80\x80\x80") << kind(TextEncoding::PlainText)
                                   << QByteArray("\xF5\x80\x80\x80");
    QTest::newRow("cut-off sequence after UTF-8 passes")
        << QByteArray("\xC3\xA9\xE2\x82") << kind(TextEncoding::Utf8WithoutBom)
        << QByteArray("\xC3\xA9\xE2\x82");
    QTest::newRow("cut-off sequence alone is not UTF-8")
        << QByteArray("ab\xE2\x82") << kind(TextEncoding::PlainText) << QByteArray("ab\xE2\x82");
    QTest::newRow("Latin-1 ending in a lead")
        << QByteArray("caf\xE9") << kind(TextEncoding::PlainText) << QByteArray("caf\xE9");
}

void TestTextEncoding::classifiesByMarkThenByUtf8Check() {
    QFETCH(QByteArray, bytes);
    QFETCH(TextEncoding, kind);
    QFETCH(QByteArray, normalized);

    TextEncodingDetector detector;
    const QByteArray result = detector.Normalize(bytes);
    QCOMPARE(detector.Kind(), kind);
    QCOMPARE(result, normalized);
}

void TestTextEncoding::pageBytesBecomeText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("ASCII") << QByteArray("<title>x</title>") << QStringLiteral("<title>x</title>");
    QTest::newRow("Windows-1252") << QByteArray("Caf\xE9 \x80 \x96 \x9F") << QStringLiteral(u"Café € – Ÿ");
    QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF\xC3\xA9") << QStringLiteral(u"é");
    QTest::newRow("UTF-16 surrogate pair joined")
        << QByteArray("\xFE\xFF\xD8\x3C\xDF\xAC", 6) << QStringLiteral(u"\U0001F3AC");
    QTest::newRow("UTF-16 lone surrogate")
        << QByteArray("\xFE\xFF\xD8\x3C\x00\x41", 6) << QStringLiteral(u"?A");
    QTest::newRow("cut-off sequence dropped") << QByteArray("\xC3\xA9\xE2\x82") << QStringLiteral(u"é");
    QTest::newRow("marked UTF-8 with a four-byte sequence")
        << QByteArray("\xEF\xBB\xBFx\xF0\x9F\x8E\xAC") << QStringLiteral(u"x\U0001F3AC");
    QTest::newRow("marked UTF-8 with broken sequences")
        << QByteArray("\xEF\xBB\xBF\x80z\xC3z") << QStringLiteral("?z?z");
}

void TestTextEncoding::pageBytesBecomeText() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(PageBytesToText(bytes), text);
}

void TestTextEncoding::classificationIsMadeOnTheFirstCallOnly() {
    TextEncodingDetector detector;
    const QByteArray first = detector.Normalize(QByteArray("\xFF\xFE"
                                                           "a\x00",
                                                           4));
    QCOMPARE(detector.HeaderLength(), 2u);
    // Later buffers are read as the first one was: their first two bytes are taken for the mark.
    QCOMPARE(detector.Normalize(QByteArray("c\x00"
                                           "d\x00",
                                           4)),
             QByteArray("d"));
    QCOMPARE(detector.Kind(), TextEncoding::Utf16LittleEndian);
    // The first result is still whole after the second call made its own.
    QCOMPARE(first, QByteArray("a"));
}

QTEST_GUILESS_MAIN(TestTextEncoding)
#include "tst_textencoding.moc"
