#include "conversion/codeccatalog.h"

#include <QTest>
#include <algorithm>

using namespace Tarnwick;

class TestCodecCatalog : public QObject {
    Q_OBJECT

private slots:
    void catalogueHoldsEveryEntryOnce();
    void standardVideoBitRatesKeepTheirOrder();
    void entriesAreReadAsTheTablesGiveThem();
    void audioResolution_data();
    void audioResolution();
    void videoSizeResolution_data();
    void videoSizeResolution();
    void frameRateResolution_data();
    void frameRateResolution();
    void videoBitRateIsFreeEverywhere();
};

void TestCodecCatalog::catalogueHoldsEveryEntryOnce() {
    const QStringList audio = AudioCodecKeys();
    const QStringList video = VideoCodecKeys();
    QCOMPARE(audio.size(), 28);
    QCOMPARE(video.size(), 26);
    QCOMPARE(QSet<QString>(audio.begin(), audio.end()).size(), 28);
    QCOMPARE(QSet<QString>(video.begin(), video.end()).size(), 26);
    for (const QString& key : audio) {
        auto codec = MakeAudioCodec(key);
        QVERIFY2(codec && codec->key == key, qPrintable(key));
    }
    QVERIFY(!MakeAudioCodec(QStringLiteral("AMR_NB")));
    QVERIFY(!MakeVideoCodec(QStringLiteral("3g2.aac")));
    // Two makes of one key are two objects, so formats never share an entry.
    QVERIFY(MakeVideoCodec(QStringLiteral("flv")).get() != MakeVideoCodec(QStringLiteral("flv")).get());
}

void TestCodecCatalog::standardVideoBitRatesKeepTheirOrder() {
    const std::vector<int>& rates = StandardVideoBitRates();
    QCOMPARE(rates.size(), size_t(220));
    const std::vector<int> head{0,      40000,  64000,  75000,  85000,  96000,  128000, 144000, 150000,
                                160000, 192000, 240000, 288000, 300000, 336000, 384000, 432000, 400000};
    QVERIFY(std::equal(head.begin(), head.end(), rates.begin()));
    QCOMPARE(rates[18], 480000);
    QCOMPARE(rates[19], 528000);
    QCOMPARE(rates[20], 572000);
    QCOMPARE(rates.back(), 29040000);
    QCOMPARE(rates[218], 9792000);
    QVERIFY(std::is_sorted(rates.begin() + 17, rates.end()));
    for (int extra : {572000, 700000, 1150000, 2415000, 2500000, 4025000})
        QCOMPARE(std::count(rates.begin(), rates.end(), extra), 1);
    for (const QString& key : VideoCodecKeys())
        QVERIFY(MakeVideoCodec(key)->allowedBitRates == rates);
}

void TestCodecCatalog::entriesAreReadAsTheTablesGiveThem() {
    auto swf = MakeAudioCodec(QStringLiteral("adpcm_swf"));
    QCOMPARE(swf->displayName, QStringLiteral("ADPCM"));
    QCOMPARE(swf->defaultChannels, 1);
    QCOMPARE(swf->allowedSampleRates, (std::vector<int>{11025, 22050, 44100}));
    auto ac3 = MakeAudioCodec(QStringLiteral("vob.ac3"));
    QCOMPARE(ac3->allowedChannels, (std::vector<int>{1, 2, 6}));
    QCOMPARE(ac3->allowedBitRates.back(), 448000);
    auto alaw = MakeAudioCodec(QStringLiteral("pcm_alaw"));
    QCOMPARE(alaw->allowedBitRates, std::vector<int>{352000});
    QCOMPARE(alaw->allowedSampleRates.front(), 0);

    auto mjpeg = MakeVideoCodec(QStringLiteral("mjpeg"));
    QCOMPARE(mjpeg->allowedSizes.size(), size_t(28));
    QVERIFY((mjpeg->allowedSizes.back() == PictureSize{-1, -1}));
    auto mpeg2 = MakeVideoCodec(QStringLiteral("mpeg2"));
    QCOMPARE(mpeg2->allowedSizes.size(), size_t(31));
    QVERIFY((mpeg2->defaultSize == PictureSize{480, 576}));
    QVERIFY(std::find(mpeg2->allowedSizes.begin(), mpeg2->allowedSizes.end(), mpeg2->defaultSize) ==
            mpeg2->allowedSizes.end());
    auto flv = MakeVideoCodec(QStringLiteral("flv"));
    QCOMPARE(flv->allowedFrameRates.size(), size_t(15));
    QVERIFY((flv->defaultFrameRate == FrameRate{15000, 1001}));
    QCOMPARE(MakeVideoCodec(QStringLiteral("3g2.mpeg4"))->allowedFrameRates.size(), size_t(14));
    QCOMPARE(MakeVideoCodec(QStringLiteral("iPod.h264"))->allowedFrameRates.size(), size_t(12));
    QCOMPARE(MakeVideoCodec(QStringLiteral("vob.mpeg2"))->defaultBitRate, 40250000);
    QCOMPARE(MakeVideoCodec(QStringLiteral("PSP.h264"))->displayName, QStringLiteral("H.264/AVC"));
    QCOMPARE(MakeVideoCodec(QStringLiteral("xvid"))->engineName, QStringLiteral("libxvid"));
}

void TestCodecCatalog::audioResolution_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("expected");

    QTest::newRow("amr_nb refuses 44100") << "amr_nb"
                                          << "rate" << 44100 << 0 << 8000;
    QTest::newRow("amr_nb Auto on a 22050 source") << "amr_nb"
                                                   << "rate" << 0 << 22050 << 8000;
    QTest::newRow("mp3 Auto takes the source") << "mp3"
                                               << "rate" << 0 << 44100 << 44100;
    QTest::newRow("mp3 Auto, source not listed") << "mp3"
                                                 << "rate" << 0 << 96000 << 44100;
    QTest::newRow("mp3 Auto on an unknown source keeps 0") << "mp3"
                                                           << "rate" << 0 << 0 << 0;
    QTest::newRow("mp3 channels 0 is a list entry") << "mp3"
                                                    << "channels" << 0 << 0 << 0;
    QTest::newRow("aac channels 0 is not listed") << "aac"
                                                  << "channels" << 0 << 0 << 2;
    QTest::newRow("request wins over the source") << "aac"
                                                  << "channels" << 1 << 2 << 1;
    QTest::newRow("negative request counts as Auto") << "aac"
                                                     << "rate" << -5 << 32000 << 32000;
    QTest::newRow("aac refuses 100000 bit/s") << "aac"
                                              << "bitrate" << 100000 << 0 << 128000;
    QTest::newRow("flv.mp3 Auto on an unknown source") << "flv.mp3"
                                                       << "rate" << 0 << 0 << 0;
    QTest::newRow("wav bit rate is fixed") << "pcm_s16le"
                                           << "bitrate" << 0 << 128000 << 1411000;
    QTest::newRow("ac3 5.1 stays") << "vob.ac3"
                                   << "channels" << 0 << 6 << 6;
}

void TestCodecCatalog::audioResolution() {
    QFETCH(QString, key);
    QFETCH(QString, setting);
    QFETCH(int, requested);
    QFETCH(int, source);
    QFETCH(int, expected);
    auto codec = MakeAudioCodec(key);
    QVERIFY(codec);
    int resolved = -99;
    if (setting == QLatin1String("rate"))
        resolved = codec->ResolveSampleRate(requested, source);
    else if (setting == QLatin1String("bitrate"))
        resolved = codec->ResolveBitRate(requested, source);
    else
        resolved = codec->ResolveChannels(requested, source);
    QCOMPARE(resolved, expected);
}

void TestCodecCatalog::videoSizeResolution_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("flv Auto takes any source") << "flv" << QSize(0, 0) << QSize(400, 226) << QSize(400, 226);
    QTest::newRow("3gp.h263 Auto falls back")
        << "3gp.h263" << QSize(0, 0) << QSize(400, 226) << QSize(176, 144);
    QTest::newRow("3gp.h263 listed request")
        << "3gp.h263" << QSize(128, 96) << QSize(400, 226) << QSize(128, 96);
    QTest::newRow("half a request is Auto")
        << "3gp.h263" << QSize(128, 0) << QSize(128, 96) << QSize(128, 96);
    QTest::newRow("mpeg2 Auto of an unsized source") << "mpeg2" << QSize(0, 0) << QSize(0, 0) << QSize(0, 0);
    QTest::newRow("mpeg2 free 100x100") << "mpeg2" << QSize(100, 100) << QSize(0, 0) << QSize(100, 100);
    QTest::newRow("vob.mpeg2 swapped terms differ")
        << "vob.mpeg2" << QSize(576, 720) << QSize(0, 0) << QSize(720, 576);
    QTest::newRow("PSP.h264 listed source")
        << "PSP.h264" << QSize(0, 0) << QSize(480, 272) << QSize(480, 272);
    QTest::newRow("3g2.h263 0x0 is not listed")
        << "3g2.h263" << QSize(0, 0) << QSize(0, 0) << QSize(176, 144);
}

void TestCodecCatalog::videoSizeResolution() {
    QFETCH(QString, key);
    QFETCH(QSize, requested);
    QFETCH(QSize, source);
    QFETCH(QSize, expected);
    const PictureSize size = MakeVideoCodec(key)->ResolveSize(requested.width(), requested.height(),
                                                              source.width(), source.height());
    QCOMPARE(QSize(size.width, size.height), expected);
}

void TestCodecCatalog::frameRateResolution_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QPoint>("requested");
    QTest::addColumn<QPoint>("source");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("3gp.h263 refuses 12/1") << "3gp.h263" << QPoint(12, 1) << QPoint(25, 1) << QPoint(15, 1);
    QTest::newRow("3g2.mpeg4 refuses 12/1") << "3g2.mpeg4" << QPoint(12, 1) << QPoint(25, 1) << QPoint(25, 1);
    QTest::newRow("PSP.h264 refuses 25/1")
        << "PSP.h264" << QPoint(25, 1) << QPoint(0, 0) << QPoint(30000, 1001);
    QTest::newRow("terms compared, not quotients")
        << "3g2.h264" << QPoint(2997, 100) << QPoint(0, 0) << QPoint(25, 1);
    QTest::newRow("50/2 is not 25/1") << "3g2.mpeg4" << QPoint(50, 2) << QPoint(0, 0) << QPoint(25, 1);
    QTest::newRow("listed 30000/1001")
        << "3g2.mpeg4" << QPoint(30000, 1001) << QPoint(0, 0) << QPoint(30000, 1001);
    QTest::newRow("R15 lists 0/0") << "3g2.h264" << QPoint(0, 0) << QPoint(0, 0) << QPoint(0, 0);
    QTest::newRow("R14 does not") << "3g2.mpeg4" << QPoint(0, 0) << QPoint(0, 0) << QPoint(25, 1);
    QTest::newRow("flv free") << "flv" << QPoint(0, 0) << QPoint(2997, 100) << QPoint(2997, 100);
    QTest::newRow("half a request is Auto") << "mpeg1" << QPoint(24, 0) << QPoint(24, 1) << QPoint(24, 1);
}

void TestCodecCatalog::frameRateResolution() {
    QFETCH(QString, key);
    QFETCH(QPoint, requested);
    QFETCH(QPoint, source);
    QFETCH(QPoint, expected);
    const FrameRate rate =
        MakeVideoCodec(key)->ResolveFrameRate(requested.x(), requested.y(), source.x(), source.y());
    QCOMPARE(QPoint(rate.num, rate.den), expected);
}

void TestCodecCatalog::videoBitRateIsFreeEverywhere() {
    QCOMPARE(MakeVideoCodec(QStringLiteral("vob.mpeg2"))->ResolveBitRate(5000000, 0), 5000000);
    QCOMPARE(MakeVideoCodec(QStringLiteral("wmv2"))->ResolveBitRate(0, 327000), 327000);
    // Without the freedom bit the standard list decides.
    auto restricted = MakeVideoCodec(QStringLiteral("h263"));
    restricted->freedom = 0;
    QCOMPARE(restricted->ResolveBitRate(5000000, 0), 128000);
    QCOMPARE(restricted->ResolveBitRate(0, 432000), 432000);
}

QTEST_GUILESS_MAIN(TestCodecCatalog)
#include "tst_codeccatalog.moc"
