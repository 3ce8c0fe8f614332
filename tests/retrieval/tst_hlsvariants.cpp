// How a master playlist's variants and sound renditions are read and chosen: pictures only at
// 0/1/2, sound-only variants as the last resort, I-frame playlists never, and the rendition
// that carries a picture's sound.

#include "retrieval/sources/hlsplaylist.h"
#include "retrieval/sources/hlsvariantchoice.h"

#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(VideoQuality)

namespace {

// A master playlist of the given variant lines: "<attributes> <uri>" each.
QByteArray Master(const QStringList& variants, const QByteArray& extra = {}) {
    QByteArray text = "#EXTM3U\n" + extra;
    for (const QString& variant : variants)
        text += "#EXT-X-STREAM-INF:" + variant.section(u' ', 0, 0).toUtf8() + "\n" +
                variant.section(u' ', 1).toUtf8() + "\n";
    return text;
}

} // namespace

class TestHlsVariants : public QObject {
    Q_OBJECT

private slots:
    void readsVariantAndRenditionAttributes();
    void choosesAPicture_data();
    void choosesAPicture();
    void choosesTheSoundRendition_data();
    void choosesTheSoundRendition();
};

void TestHlsVariants::readsVariantAndRenditionAttributes() {
    const HlsPlaylist playlist = ParseHlsPlaylist(
        "#EXTM3U\n"
        "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"English\",LANGUAGE=\"en\",URI=\"subs.m3u8\"\n"
        "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"Signs\",LANGUAGE=\"en\",FORCED=YES,"
        "URI=\"signs.m3u8\"\n"
        "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"other\",NAME=\"Dansk\",LANGUAGE=\"da\",URI=\"da.m3u8\"\n"
        "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"In the picture\",LANGUAGE=\"fr\"\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aac\",NAME=\"Deutsch\",LANGUAGE=\"de\",AUTOSELECT=YES,"
        "URI=\"de/a.m3u8\"\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aac\",NAME=\"English\",DEFAULT=YES\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=800000,CODECS=\"avc1.4d401f,mp4a.40.2\",RESOLUTION=640x360,"
        "FRAME-RATE=29.970,AUDIO=\"aac\",SUBTITLES=\"subs\"\n"
        "v.m3u8\n"
        "#EXT-X-I-FRAME-STREAM-INF:BANDWIDTH=90000,RESOLUTION=1920x1080,URI=\"iframes.m3u8\"\n");
    QCOMPARE(playlist.variants.size(), 1); // the I-frame playlist is no variant
    const HlsVariant& variant = playlist.variants[0];
    QCOMPARE(variant.codecs, QStringLiteral("avc1.4d401f,mp4a.40.2"));
    QCOMPARE(variant.audioGroup, QStringLiteral("aac"));
    QCOMPARE(variant.frameRate, 29.97);
    QCOMPARE(variant.height, 360);
    QCOMPARE(playlist.audioRenditions.size(), 2); // subtitles are not sound
    const HlsRendition& german = playlist.audioRenditions[0];
    QCOMPARE(german.uri, QStringLiteral("de/a.m3u8"));
    QCOMPARE(german.language, QStringLiteral("de"));
    QVERIFY(german.autoselect && !german.isDefault);
    QVERIFY(playlist.audioRenditions[1].isDefault && playlist.audioRenditions[1].uri.isEmpty());

    // Subtitles without an address are burnt into the picture: nothing to fetch. Of the others
    // the variant's group counts, forced ones do not.
    QCOMPARE(variant.subtitleGroup, QStringLiteral("subs"));
    QCOMPARE(playlist.subtitleRenditions.size(), 3);
    QVERIFY(playlist.subtitleRenditions[1].forced && !playlist.subtitleRenditions[0].forced);
    const QList<SubtitleOffer> offers = HlsSubtitleOffers(playlist, variant);
    QCOMPARE(offers.size(), 1);
    QCOMPARE(offers[0].url, QStringLiteral("subs.m3u8"));
    QCOMPARE(offers[0].language, QStringLiteral("en"));
    QCOMPARE(offers[0].label, QStringLiteral("English"));
    HlsVariant ungrouped = variant;
    ungrouped.subtitleGroup.clear();
    QCOMPARE(HlsSubtitleOffers(playlist, ungrouped).size(), 2);
}

void TestHlsVariants::choosesAPicture_data() {
    QTest::addColumn<QByteArray>("playlist");
    QTest::addColumn<VideoQuality>("quality");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("audioOnly");

    const auto q0 = VideoQuality::Standard;
    const auto q1 = VideoQuality::HighFlv;
    const auto q2 = VideoQuality::HighMp4;
    // The sound-only variant has the lowest bandwidth and no height, as sites list it.
    const QByteArray withSound = Master({
        QStringLiteral("BANDWIDTH=64000,CODECS=\"mp4a.40.2\" sound"),
        QStringLiteral("BANDWIDTH=300000,RESOLUTION=320x180,CODECS=\"avc1.4d400d,mp4a.40.2\" p180"),
        QStringLiteral("BANDWIDTH=900000,RESOLUTION=640x360,CODECS=\"avc1.4d401e,mp4a.40.2\" p360"),
        QStringLiteral("BANDWIDTH=2500000,RESOLUTION=1280x720,CODECS=\"avc1.4d401f,mp4a.40.2\" p720"),
    });
    QTest::newRow("smallest picture, not the sound") << withSound << q0 << "p180" << false;
    QTest::newRow("middle of the pictures") << withSound << q1 << "p360" << false;
    QTest::newRow("largest picture") << withSound << q2 << "p720" << false;
    const QByteArray sameHeight = Master({
        QStringLiteral("BANDWIDTH=3000000,RESOLUTION=1280x720 high"),
        QStringLiteral("BANDWIDTH=1500000,RESOLUTION=1280x720 low"),
    });
    QTest::newRow("equal heights: lower bandwidth first") << sameHeight << q0 << "low" << false;
    QTest::newRow("equal heights: higher bandwidth last") << sameHeight << q2 << "high" << false;
    // A video codec makes a picture even without a size; one that states its size goes first,
    // so that a limit on the picture can hold.
    const QByteArray unsized = Master({
        QStringLiteral("BANDWIDTH=64000,CODECS=\"mp4a.40.5\" sound"),
        QStringLiteral("BANDWIDTH=5000000,CODECS=\"hvc1.1.6.L93.B0,ec-3\" unsized"),
        QStringLiteral("BANDWIDTH=300000,RESOLUTION=320x180 p180"),
    });
    QTest::newRow("a codec without a size is a picture")
        << Master({
               QStringLiteral("BANDWIDTH=64000,CODECS=\"mp4a.40.5\" sound"),
               QStringLiteral("BANDWIDTH=5000000,CODECS=\"hvc1.1.6.L93.B0,ec-3\" unsized"),
           })
        << q0 << "unsized" << false;
    QTest::newRow("a stated size goes before it") << unsized << q0 << "p180" << false;
    const QByteArray soundOnly = Master({
        QStringLiteral("BANDWIDTH=32000,CODECS=\"mp4a.40.5\" low"),
        QStringLiteral("BANDWIDTH=128000,CODECS=\"mp4a.40.2\" high"),
        QStringLiteral("BANDWIDTH=96000,CODECS=\"opus\" middle"),
    });
    QTest::newRow("sound only: the best, whatever the quality") << soundOnly << q0 << "high" << true;
    QTest::newRow("variants that say nothing stay candidates")
        << Master({QStringLiteral("BANDWIDTH=900000 b"), QStringLiteral("BANDWIDTH=300000 a")}) << q0 << "a"
        << false;
}

void TestHlsVariants::choosesAPicture() {
    QFETCH(QByteArray, playlist);
    QFETCH(VideoQuality, quality);
    QFETCH(QString, chosen);
    QFETCH(bool, audioOnly);
    const HlsPlaylist master = ParseHlsPlaylist(playlist);
    PictureWish wish;
    wish.quality = quality;
    const HlsVariantChoice choice = ChooseHlsVariant(master, wish);
    QVERIFY(choice.index >= 0);
    QCOMPARE(master.variants[choice.index].uri, chosen);
    QCOMPARE(choice.audioOnly, audioOnly);
    QCOMPARE(IsAudioOnlyVariant(master.variants[choice.index]), audioOnly);
    QVERIFY2(!audioOnly || choice.text.startsWith(QStringLiteral("sound only")), qPrintable(choice.text));
}

void TestHlsVariants::choosesTheSoundRendition_data() {
    QTest::addColumn<QByteArray>("renditions");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("chosen"); // the NAME, empty for none

    const QByteArray group =
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"other\",NAME=\"Other\",DEFAULT=YES,URI=\"o\"\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"g\",NAME=\"First\",LANGUAGE=\"fr\",URI=\"f\"\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"g\",NAME=\"Default\",LANGUAGE=\"en\","
        "DEFAULT=YES,AUTOSELECT=YES,URI=\"d\"\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"g\",NAME=\"German\",LANGUAGE=\"de-AT\","
        "AUTOSELECT=YES,URI=\"de\"\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"g\",NAME=\"Spanish\",LANGUAGE=\"es\",URI=\"es\"\n";
    QTest::newRow("the default, in another language") << group << "ja"
                                                      << "Default";
    QTest::newRow("the system's language, where it may be chosen") << group << "de"
                                                                   << "German";
    QTest::newRow("not a language that may not be chosen by it") << group << "es"
                                                                 << "Default";
    QTest::newRow("without a default, the first")
        << QByteArray("#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"g\",NAME=\"A\",URI=\"a\"\n"
                      "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"g\",NAME=\"B\",URI=\"b\"\n")
        << ""
        << "A";
    QTest::newRow("no rendition of the group")
        << QByteArray("#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"x\",NAME=\"X\"\n") << "en"
        << "";
}

void TestHlsVariants::choosesTheSoundRendition() {
    QFETCH(QByteArray, renditions);
    QFETCH(QString, language);
    QFETCH(QString, chosen);
    const HlsPlaylist master =
        ParseHlsPlaylist(Master({QStringLiteral("BANDWIDTH=1,AUDIO=\"g\" v")}, renditions));
    const HlsRendition* rendition = ChooseAudioRendition(master, master.variants[0].audioGroup, language);
    QCOMPARE(rendition ? rendition->name : QString(), chosen);
}

QTEST_GUILESS_MAIN(TestHlsVariants)
#include "tst_hlsvariants.moc"
