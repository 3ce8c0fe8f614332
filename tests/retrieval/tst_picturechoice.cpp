// The one rule by which every source chooses its picture.
#include "retrieval/sources/picturechoice.h"

#include <QTest>

using namespace Tarnwick;

namespace {

// "id height codec bandwidth [preference]"; "-" for an unknown codec.
QList<OfferedPicture> Offers(const QStringList& lines) {
    QList<OfferedPicture> offers;
    for (const QString& line : lines) {
        const QStringList f = line.split(u' ');
        const int height = f[1].toInt();
        offers.append({f[0], height, f[3].toDouble(), f[2] == u"-" ? QString() : f[2],
                       f.size() > 4 ? f[4].toInt() : 0,
                       height > 0 ? QStringLiteral("%1p").arg(height) : QString()});
    }
    return offers;
}

} // namespace

class TestPictureChoice : public QObject {
    Q_OBJECT

private slots:
    void choosesByTheOneRule_data() {
        QTest::addColumn<QStringList>("offers");
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("exact");
        QTest::addColumn<QString>("chosen"); // an id; empty: none
        QTest::addColumn<QString>("text");

        const QStringList three{QStringLiteral("m 480 - 0"), QStringLiteral("s 240 - 0"),
                                QStringLiteral("l 720 - 0")}; // listed out of order
        QTest::newRow("smallest") << three << 0 << 0 << ""
                                  << ""
                                  << "s"
                                  << "240p, smallest of 3";
        QTest::newRow("middle") << three << 1 << 0 << ""
                                << ""
                                << "m"
                                << "480p, middle of 3";
        QTest::newRow("largest") << three << 2 << 0 << ""
                                 << ""
                                 << "l"
                                 << "720p, largest of 3";
        QTest::newRow("an unknown quality is the smallest") << three << 7 << 0 << ""
                                                            << ""
                                                            << "s"
                                                            << "240p, smallest of 3";
        QTest::newRow("of two the middle is the lower")
            << QStringList{QStringLiteral("a 720 - 0"), QStringLiteral("b 360 - 0")} << 1 << 0 << ""
            << ""
            << "b"
            << "360p, middle of 2";
        QTest::newRow("one height: nothing to say")
            << QStringList{QStringLiteral("a 360 - 0"), QStringLiteral("b 360 - 0")} << 0 << 0 << ""
            << ""
            << "a"
            << "";
        QTest::newRow("nothing offered") << QStringList{} << 2 << 0 << ""
                                         << ""
                                         << ""
                                         << "";
        // Heights unknown are never taken over a known one, so a limit can always hold.
        QTest::newRow("no height beside heights")
            << QStringList{QStringLiteral("x 0 - 9000"), QStringLiteral("a 480 - 0"),
                           QStringLiteral("b 240 - 0")}
            << 0 << 0 << ""
            << ""
            << "b"
            << "240p, smallest of 2";
        QTest::newRow("no heights: by bandwidth")
            << QStringList{QStringLiteral("hi 0 - 900"), QStringLiteral("lo 0 - 300")} << 0 << 0 << ""
            << ""
            << "lo"
            << "";
        QTest::newRow("nothing to rank by: the first")
            << QStringList{QStringLiteral("auto 0 - 0"), QStringLiteral("other 0 - 0")} << 2 << 0 << ""
            << ""
            << "auto"
            << "";

        const QStringList ladder{
            QStringLiteral("p144 144 h264 100"),   QStringLiteral("p360 360 h264 500"),
            QStringLiteral("p720 720 h264 1500"),  QStringLiteral("p1080 1080 h264 3000"),
            QStringLiteral("v1080 1080 vp9 2500"), QStringLiteral("e1080 1080 hevc 2000"),
            QStringLiteral("p2160 2160 h264 9000")};
        QTest::newRow("a limit: the largest at most 1080p") << ladder << 2 << 1080 << ""
                                                            << ""
                                                            << "p1080"
                                                            << "1080p, largest of 4 at most 1080p";
        QTest::newRow("a limit: the middle of what is left") << ladder << 1 << 720 << ""
                                                             << ""
                                                             << "p360"
                                                             << "360p, middle of 3 at most 720p";
        QTest::newRow("a limit: the smallest stays the smallest") << ladder << 0 << 720 << ""
                                                                  << ""
                                                                  << "p144"
                                                                  << "144p, smallest of 3 at most 720p";
        QTest::newRow("a limit between heights") << ladder << 2 << 1000 << ""
                                                 << ""
                                                 << "p720"
                                                 << "720p, largest of 3 at most 1000p";
        QTest::newRow("a limit below every height: the smallest") << ladder << 2 << 100 << ""
                                                                  << ""
                                                                  << "p144"
                                                                  << "144p, smallest of 5, none at most 100p";
        QTest::newRow("a limit above every height changes nothing") << ladder << 2 << 4320 << ""
                                                                    << ""
                                                                    << "p2160"
                                                                    << "2160p, largest of 5";
        QTest::newRow("a codec wanted at the height") << ladder << 2 << 1080 << "vp9"
                                                      << ""
                                                      << "v1080"
                                                      << "1080p, largest of 4 at most 1080p";
        QTest::newRow("another codec wanted") << ladder << 2 << 1080 << "hevc"
                                              << ""
                                              << "e1080"
                                              << "1080p, largest of 4 at most 1080p";
        QTest::newRow("a codec not offered at the height: the usual order") << ladder << 2 << 0 << "av1"
                                                                            << ""
                                                                            << "p2160"
                                                                            << "2160p, largest of 5";
        QTest::newRow("the codec never moves the height") << ladder << 0 << 0 << "vp9"
                                                          << ""
                                                          << "p144"
                                                          << "144p, smallest of 5";
        QTest::newRow("an exact format beats the rule") << ladder << 0 << 720 << "h264"
                                                        << "e1080"
                                                        << "e1080"
                                                        << "format e1080 as chosen";
        QTest::newRow("an exact format no longer offered: the rule")
            << ladder << 2 << 720 << ""
            << "gone"
            << "p720"
            << "format gone is not offered; 720p, largest of 3 at most 720p";

        // At one height: the source's preference, then the bandwidth the quality leans to.
        const QStringList tied{QStringLiteral("far 720 h264 3000 2"), QStringLiteral("lo 720 h264 1000 0"),
                               QStringLiteral("hi 720 h264 2000 0")};
        QTest::newRow("ties: preference, then the low bandwidth") << tied << 0 << 0 << ""
                                                                  << ""
                                                                  << "lo"
                                                                  << "";
        QTest::newRow("ties: preference, then the high bandwidth") << tied << 2 << 0 << ""
                                                                   << ""
                                                                   << "hi"
                                                                   << "";
        QTest::newRow("ties: the codec before the preference")
            << QStringList{QStringLiteral("own 720 h264 1000 0"), QStringLiteral("other 720 vp9 1000 3")} << 2
            << 0 << "vp9"
            << ""
            << "other"
            << "";
    }

    void choosesByTheOneRule() {
        QFETCH(QStringList, offers);
        QFETCH(int, quality);
        QFETCH(int, limit);
        QFETCH(QString, codec);
        QFETCH(QString, exact);
        QFETCH(QString, chosen);
        QFETCH(QString, text);
        const QList<OfferedPicture> pictures = Offers(offers);
        const PictureChoice choice =
            ChoosePicture(pictures, PictureWish{VideoQuality(quality), limit, codec, exact});
        QCOMPARE(choice.index >= 0 ? pictures[choice.index].id : QString(), chosen);
        QCOMPARE(choice.text, text);
        // Whatever the wish, a picture is chosen whenever one is offered.
        QCOMPARE(choice.index >= 0, !pictures.isEmpty());
    }

    void codecFamilies_data() {
        QTest::addColumn<QString>("spelled");
        QTest::addColumn<QString>("family");
        QTest::newRow("HLS H.264") << "avc1.64001f"
                                   << "h264";
        QTest::newRow("yt-dlp VP9") << "vp09.00.40.08"
                                    << "vp9";
        QTest::newRow("plain VP9") << "vp9"
                                   << "vp9";
        QTest::newRow("HEVC") << "hev1.1.6.L93.B0"
                              << "hevc";
        QTest::newRow("AV1") << "av01.0.08M.08"
                             << "av1";
        QTest::newRow("sound") << "mp4a.40.2"
                               << "aac";
        QTest::newRow("none") << "none"
                              << "";
        QTest::newRow("unknown") << "theora"
                                 << "";
    }

    void codecFamilies() {
        QFETCH(QString, spelled);
        QFETCH(QString, family);
        QCOMPARE(CodecFamily(spelled), family);
        QCOMPARE(IsPictureCodec(family), PreferableCodecs().contains(family));
    }
};

QTEST_MAIN(TestPictureChoice)
#include "tst_picturechoice.moc"
