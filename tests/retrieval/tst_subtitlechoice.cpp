// Which of the offered subtitles a wish takes, and how they are named in a container.

#include "retrieval/sources/subtitlechoice.h"
#include "retrieval/sources/ytdlp/ytdlpinfo.h"

#include <QTest>

using namespace Tarnwick;

class TestSubtitleChoice : public QObject {
    Q_OBJECT

private slots:
    void choosesOnePerLanguage_data();
    void choosesOnePerLanguage();
    void namesForContainers();
    void readsYtDlpSubtitles();
};

void TestSubtitleChoice::choosesOnePerLanguage_data() {
    QTest::addColumn<QString>("languages");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<QStringList>("taken"); // url of each taken offer

    QTest::newRow("none asked") << "" << false << QStringList{};
    QTest::newRow("one language, written before automatic, vtt before other formats")
        << "de" << true << QStringList{"de.vtt"};
    QTest::newRow("regional tags count as their language, in the source's order")
        << " EN , de,xx-" << false << QStringList{"en-US.srt", "de.vtt"};
    QTest::newRow("all, automatic only when asked") << "all" << false << QStringList{"en-US.srt", "de.vtt"};
    QTest::newRow("all with automatic captions")
        << "all" << true << QStringList{"en-US.srt", "de.vtt", "fr-auto.vtt"};
}

void TestSubtitleChoice::choosesOnePerLanguage() {
    QFETCH(QString, languages);
    QFETCH(bool, automatic);
    QFETCH(QStringList, taken);
    const QList<SubtitleOffer> offers{
        {"en-US", "en-US.srt", "srt", "", false},
        {"de", "de.ttml", "ttml", "", false},
        {"de", "de-auto.vtt", "vtt", "", true},
        {"de", "de.vtt", "vtt", "", false},
        {"fr", "fr-auto.vtt", "vtt", "", true},
        {"live_chat", "chat.json", "json", "", false},
        {"en", "", "vtt", "", false},
    };
    SubtitleWish wish = ParseSubtitleLanguages(languages);
    wish.automatic = automatic;
    QStringList urls;
    for (const SubtitleOffer& offer : ChooseSubtitles(offers, wish))
        urls.append(offer.url);
    QCOMPARE(urls, taken);
}

void TestSubtitleChoice::namesForContainers() {
    const struct {
        const char* tag;
        const char* code;
        const char* title;
    } cases[] = {{"en", "eng", "English"},      {"de-AT", "ger", "German"}, {"pt_BR", "por", "Portuguese"},
                 {"zh-Hans", "chi", "Chinese"}, {"xx", "", "xx"},           {"not a tag", "", "not a tag"}};
    for (const auto& c : cases) {
        QCOMPARE(ContainerLanguageCode(QString::fromLatin1(c.tag)), QString::fromLatin1(c.code));
        QCOMPARE(SubtitleTitle({QString::fromLatin1(c.tag), "u", "vtt", "", false}),
                 QString::fromLatin1(c.title));
    }
    QCOMPARE(SubtitleTitle({"en", "u", "vtt", "  Englisch \n CC ", true}),
             QStringLiteral("Englisch CC (automatic)"));
}

void TestSubtitleChoice::readsYtDlpSubtitles() {
    const QByteArray json = R"({"title": "t", "formats": [],
        "subtitles": {"en": [{"ext": "vtt", "url": "https://example.com/en.vtt", "name": "English"},
                             {"ext": "json", "url": "https://example.com/en.json"}],
                      "de": [{"ext": "srt", "url": "file:///etc/passwd"}, {"ext": "srt"}], "fr": "not a list"},
        "automatic_captions": {"es": [{"ext": "vtt", "url": "http://example.com/es.vtt"}]}})";
    YtDlpInfo info;
    QString reason;
    QVERIFY(ParseYtDlpInfo(json, info, reason));
    QCOMPARE(info.subtitles.size(), 2);
    QCOMPARE(info.subtitles[0].language, QStringLiteral("en"));
    QCOMPARE(info.subtitles[0].label, QStringLiteral("English"));
    QVERIFY(!info.subtitles[0].automatic);
    QCOMPARE(info.subtitles[1].url, QStringLiteral("http://example.com/es.vtt"));
    QVERIFY(info.subtitles[1].automatic);
}

QTEST_GUILESS_MAIN(TestSubtitleChoice)
#include "tst_subtitlechoice.moc"
