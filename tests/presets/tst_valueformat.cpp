#include "presets/valueformat.h"

#include <QTest>
#include <clocale>

using namespace Tarnwick;

class TestValueFormat : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void bitRate_data();
    void bitRate();
    void frameRate_data();
    void frameRate();
    void channels_data();
    void channels();
    void sampleRate_data();
    void sampleRate();
    void sizes_data();
    void sizes();
    void time_data();
    void time();
    void parseSize_data();
    void parseSize();
    void parseBitRate_data();
    void parseBitRate();
    void parseFrameRate_data();
    void parseFrameRate();
    void decimalPointIgnoresTheUserLocale();
};

void TestValueFormat::initTestCase() {
    std::setlocale(LC_ALL, "C");
}

void TestValueFormat::bitRate_data() {
    QTest::addColumn<int>("bps");
    QTest::addColumn<bool>("kbps");
    QTest::addColumn<bool>("autoOn");
    QTest::addColumn<QString>("text");

    QTest::newRow("128000 kbps") << 128000 << true << true << QStringLiteral("128 kbps");
    QTest::newRow("12200 kbps") << 12200 << true << true << QStringLiteral("12.2 kbps");
    QTest::newRow("1500 kbps") << 1500 << true << true << QStringLiteral("1.5 kbps");
    QTest::newRow("1500 bare") << 1500 << false << true << QStringLiteral("1.5");
    QTest::newRow("100000 keeps its zeros before the point")
        << 100000 << false << false << QStringLiteral("100");
    QTest::newRow("zero auto") << 0 << true << true << QStringLiteral("Auto");
    QTest::newRow("zero no auto") << 0 << true << false << QString();
    QTest::newRow("negative") << -5 << true << true << QString();
    QTest::newRow("1 bps rounds to 0.001") << 1 << false << true << QStringLiteral("0.001");
}

void TestValueFormat::bitRate() {
    QFETCH(int, bps);
    QFETCH(bool, kbps);
    QFETCH(bool, autoOn);
    QFETCH(QString, text);
    QCOMPARE(FormatBitRate(bps, "%.3f", kbps, autoOn), text);
}

void TestValueFormat::frameRate_data() {
    QTest::addColumn<int>("num");
    QTest::addColumn<int>("den");
    QTest::addColumn<bool>("fps");
    QTest::addColumn<bool>("autoOn");
    QTest::addColumn<QString>("text");

    QTest::newRow("NTSC") << 30000 << 1001 << false << true << QStringLiteral("29.97");
    QTest::newRow("15 fps") << 15 << 1 << true << true << QStringLiteral("15 fps");
    QTest::newRow("25000/1000") << 25000 << 1000 << false << true << QStringLiteral("25");
    QTest::newRow("23.976") << 23976 << 1000 << false << true << QStringLiteral("23.976");
    QTest::newRow("0/1 no auto") << 0 << 1 << false << false << QString();
    QTest::newRow("0/1 auto") << 0 << 1 << true << true << QStringLiteral("Auto");
    QTest::newRow("1/0 auto") << 1 << 0 << false << true << QStringLiteral("Auto");
    // A negative pair is not Auto, but has no ratio either: the suffix stands alone.
    QTest::newRow("negative with fps") << -25 << 1 << true << true << QStringLiteral(" fps");
}

void TestValueFormat::frameRate() {
    QFETCH(int, num);
    QFETCH(int, den);
    QFETCH(bool, fps);
    QFETCH(bool, autoOn);
    QFETCH(QString, text);
    QCOMPARE(FormatFrameRate(num, den, "%.3f", fps, autoOn), text);
}

void TestValueFormat::channels_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("autoOn");
    QTest::addColumn<QString>("text");

    QTest::newRow("mono") << 1 << true << QStringLiteral("Mono");
    QTest::newRow("stereo") << 2 << false << QStringLiteral("Stereo");
    QTest::newRow("5.1") << 6 << true << QStringLiteral("5.1");
    QTest::newRow("4 has no name") << 4 << true << QString();
    QTest::newRow("0 auto") << 0 << true << QStringLiteral("Auto");
    QTest::newRow("0 no auto") << 0 << false << QString();
}

void TestValueFormat::channels() {
    QFETCH(int, count);
    QFETCH(bool, autoOn);
    QFETCH(QString, text);
    QCOMPARE(FormatChannels(count, autoOn), text);
}

void TestValueFormat::sampleRate_data() {
    QTest::addColumn<int>("hz");
    QTest::addColumn<bool>("withHz");
    QTest::addColumn<bool>("autoOn");
    QTest::addColumn<QString>("text");

    QTest::newRow("44100") << 44100 << false << true << QStringLiteral("44100");
    QTest::newRow("8000 Hz") << 8000 << true << true << QStringLiteral("8000 Hz");
    QTest::newRow("zero auto") << 0 << true << true << QStringLiteral("Auto");
    QTest::newRow("zero no auto") << 0 << true << false << QString();
    QTest::newRow("negative") << -1 << true << true << QString();
}

void TestValueFormat::sampleRate() {
    QFETCH(int, hz);
    QFETCH(bool, withHz);
    QFETCH(bool, autoOn);
    QFETCH(QString, text);
    QCOMPARE(FormatSampleRate(hz, "%d", withHz, autoOn), text);
}

void TestValueFormat::sizes_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("autoOn");
    QTest::addColumn<QString>("text");

    QTest::newRow("list item") << 320 << 240 << QStringLiteral("%d x %d") << true
                               << QStringLiteral("320 x 240");
    QTest::newRow("one side zero, auto")
        << 320 << 0 << QStringLiteral("%d x %d") << true << QStringLiteral("Auto");
    QTest::newRow("one side zero, file form")
        << 320 << 0 << QStringLiteral("%dx%d") << false << QStringLiteral("320x0");
    QTest::newRow("-1x-1 entry") << -1 << -1 << QStringLiteral("%dx%d") << true << QStringLiteral("-1x-1");
}

void TestValueFormat::sizes() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, format);
    QFETCH(bool, autoOn);
    QFETCH(QString, text);
    QCOMPARE(FormatSize(width, height, format.toLatin1().constData(), autoOn), text);
    QCOMPARE(FormatPair(30000, 1001, "%d/%d"), QStringLiteral("30000/1001"));
}

void TestValueFormat::time_data() {
    QTest::addColumn<int>("ms");
    QTest::addColumn<bool>("secondsOnly");
    QTest::addColumn<bool>("withMs");
    QTest::addColumn<bool>("alwaysHours");
    QTest::addColumn<QString>("text");

    QTest::newRow("option time") << 3723004 << false << true << true << QStringLiteral("01:02:03.004");
    QTest::newRow("half a second, always hours")
        << 500 << false << true << true << QStringLiteral("00:00:00.500");
    QTest::newRow("under a minute") << 59999 << false << true << false << QStringLiteral("00:59.999");
    QTest::newRow("one hour, no ms") << 3600000 << false << false << false << QStringLiteral("01:00:00");
    QTest::newRow("hours past 99") << 360000000 << false << false << false << QStringLiteral("100:00:00");
    QTest::newRow("seconds only") << 61999 << true << false << false << QStringLiteral("61");
    QTest::newRow("seconds only with ms") << 61999 << true << true << false << QStringLiteral("61.999");
    QTest::newRow("seconds only keeps zeros") << 2000 << true << true << true << QStringLiteral("2.000");
}

void TestValueFormat::time() {
    QFETCH(int, ms);
    QFETCH(bool, secondsOnly);
    QFETCH(bool, withMs);
    QFETCH(bool, alwaysHours);
    QFETCH(QString, text);
    QCOMPARE(FormatTime(ms, secondsOnly, withMs, alwaysHours), text);
}

void TestValueFormat::parseSize_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    QTest::newRow("editor text") << QStringLiteral("640 x 480") << QStringLiteral("%d x %d") << 640 << 480;
    QTest::newRow("auto stops the scan")
        << QStringLiteral("Auto x 480") << QStringLiteral("%d x %d") << 0 << 0;
    QTest::newRow("file form") << QStringLiteral("176x144") << QStringLiteral("%dx%d") << 176 << 144;
    QTest::newRow("only width") << QStringLiteral("320x") << QStringLiteral("%dx%d") << 320 << 0;
    QTest::newRow("pair") << QStringLiteral("30000/1001") << QStringLiteral("%d/%d") << 30000 << 1001;
    QTest::newRow("negative sizes") << QStringLiteral("-1x-1") << QStringLiteral("%dx%d") << -1 << -1;
    QTest::newRow("empty") << QString() << QStringLiteral("%dx%d") << 0 << 0;
}

void TestValueFormat::parseSize() {
    QFETCH(QString, text);
    QFETCH(QString, format);
    QFETCH(int, width);
    QFETCH(int, height);
    const SizeValue size = ParseSize(text, format.toLatin1().constData());
    QCOMPARE(size.width, width);
    QCOMPARE(size.height, height);
}

void TestValueFormat::parseBitRate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bps");

    QTest::newRow("Auto") << QStringLiteral("Auto") << 0;
    QTest::newRow("decimal part dropped") << QStringLiteral("768.9") << 768000;
    QTest::newRow("leading blanks and sign") << QStringLiteral("  +64kbps") << 64000;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("too large to store") << QStringLiteral("99999999") << 0;
}

void TestValueFormat::parseBitRate() {
    QFETCH(QString, text);
    QFETCH(int, bps);
    QCOMPARE(ParseBitRate(text), bps);
}

void TestValueFormat::parseFrameRate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("num");
    QTest::addColumn<int>("den");

    QTest::newRow("25") << QStringLiteral("25") << 25000 << 1000;
    QTest::newRow("29.97") << QStringLiteral("29.97") << 29970 << 1000;
    QTest::newRow("23.976") << QStringLiteral("23.976") << 23976 << 1000;
    QTest::newRow("0.01 is the smallest rate") << QStringLiteral("0.01") << 10 << 1000;
    QTest::newRow("0.005 is Auto") << QStringLiteral("0.005") << 0 << 0;
    QTest::newRow("Auto") << QStringLiteral("Auto") << 0 << 0;
    QTest::newRow("trailing text") << QStringLiteral("12.5 fps") << 12500 << 1000;
    QTest::newRow("exponent") << QStringLiteral("2.5e1") << 25000 << 1000;
    QTest::newRow("negative is Auto") << QStringLiteral("-25") << 0 << 0;
    QTest::newRow("huge is Auto") << QStringLiteral("1e300") << 0 << 0;
}

void TestValueFormat::parseFrameRate() {
    QFETCH(QString, text);
    QFETCH(int, num);
    QFETCH(int, den);
    const FrameRateValue rate = ParseFrameRate(text);
    QCOMPARE(rate.numerator, num);
    QCOMPARE(rate.denominator, den);
}

void TestValueFormat::decimalPointIgnoresTheUserLocale() {
    // A user whose locale writes "12,2" must still get "12.2" in the preset file.
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8"))
        QSKIP("no locale with a decimal comma is installed");
    QCOMPARE(FormatBitRate(12200, "%.3f", true, true), QStringLiteral("12.2 kbps"));
    QCOMPARE(ParseFrameRate(QStringLiteral("29.97")).numerator, 29970);
    std::setlocale(LC_ALL, "C");
}

QTEST_APPLESS_MAIN(TestValueFormat)
#include "tst_valueformat.moc"
