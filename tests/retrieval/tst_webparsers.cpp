// The readers of web pages and HLS playlists, and the choices made from what they read.

#include "retrieval/sources/hlsplaylist.h"
#include "retrieval/sources/htmlvideoscan.h"
#include "retrieval/sources/jwplayersetup.h"
#include "retrieval/sources/mediatype.h"
#include "retrieval/sources/renditionchoice.h"

#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(BodyKind)

class TestWebParsers : public QObject {
    Q_OBJECT

private slots:
    void scansWhatAPageSaysAboutItsVideo_data();
    void scansWhatAPageSaysAboutItsVideo();
    void collectsTheSourcesOfTheFirstVideoThatHasAny();
    void decodesCharacterReferences_data();
    void decodesCharacterReferences();
    void readsMasterPlaylists();
    void readsMediaPlaylists();
    void refusesPlaylistsThatCannotBeDownloaded_data();
    void refusesPlaylistsThatCannotBeDownloaded();
    void keepsAtMostTheSegmentLimit();
    void readsPlayerSetupsAndLazySources_data();
    void readsPlayerSetupsAndLazySources();
    void classifiesAnswers_data();
    void classifiesAnswers();
    void takesFileNamesFromHeadersAndAddresses_data();
    void takesFileNamesFromHeadersAndAddresses();
};

// One row per way a page names its video (or title): the field of the scan that must hold it.
void TestWebParsers::scansWhatAPageSaysAboutItsVideo_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("og:video:secure_url")
        << R"(<meta property="og:video:secure_url" content="https://a/v.mp4">)"
        << "ogVideoSecureUrl"
        << "https://a/v.mp4";
    QTest::newRow("og:video:url, single quotes") << R"(<META PROPERTY='og:video:url' CONTENT='/v.mp4'>)"
                                                 << "ogVideoUrl"
                                                 << "/v.mp4";
    QTest::newRow("og:video, unquoted") << R"(<meta property=og:video content=v.mp4>)"
                                        << "ogVideo"
                                        << "v.mp4";
    QTest::newRow("first of two og:video wins")
        << R"(<meta property="og:video" content="1.mp4"><meta property="og:video" content="2.mp4">)"
        << "ogVideo"
        << "1.mp4";
    QTest::newRow("twitter:player:stream by name") << R"(<meta name="twitter:player:stream" content="s.mp4">)"
                                                   << "twitterPlayerStream"
                                                   << "s.mp4";
    QTest::newRow("attribute value with references")
        << R"(<meta property="og:video" content="/v?a=1&amp;b=2">)"
        << "ogVideo"
        << "/v?a=1&b=2";
    QTest::newRow("JSON-LD in @graph")
        << R"(<script type="application/ld+json">{"@graph":[{"@type":"WebPage"},{"@type":"VideoObject","contentUrl":"c.mp4"}]}</script>)"
        << "jsonLdContentUrl"
        << "c.mp4";
    QTest::newRow("JSON-LD nested, type list")
        << R"(<script type="application/ld+json">[{"@type":"Article","video":{"@type":["VideoObject"],"contentUrl":["n.mp4"]}}]</script>)"
        << "jsonLdContentUrl"
        << "n.mp4";
    QTest::newRow("JSON-LD VideoObject without contentUrl")
        << R"(<script type="application/ld+json">{"@type":"VideoObject","embedUrl":"e"}</script>)"
        << "jsonLdContentUrl"
        << "";
    // Who made it and when, for the file's tags: the author's name, or a Person's; the year of
    // the upload date, which may carry a time.
    const QString made = QStringLiteral(
        R"(<script type="application/ld+json">{"@type":"VideoObject","contentUrl":"c.mp4",%1}</script>)");
    QTest::newRow("JSON-LD author as text") << made.arg(R"("author":"Ann")") << "jsonLdAuthor"
                                            << "Ann";
    QTest::newRow("JSON-LD author as a Person")
        << made.arg(R"("author":[{"@type":"Person","name":" Bo "}])") << "jsonLdAuthor"
        << "Bo";
    QTest::newRow("JSON-LD upload date and time")
        << made.arg(R"("uploadDate":"2026-03-14T10:00:00Z")") << "jsonLdYear"
        << "2026";
    QTest::newRow("JSON-LD upload date too short") << made.arg(R"("uploadDate":"20")") << "jsonLdYear"
                                                   << "0";
    QTest::newRow("JSON-LD upload date not a date") << made.arg(R"("uploadDate":"2026x")") << "jsonLdYear"
                                                    << "0";
    // Key moments become chapters: a start in seconds is needed, a name is not.
    QTest::newRow("JSON-LD key moments")
        << made.arg(R"("hasPart":[{"@type":"Clip","name":"Intro","startOffset":0},)"
                    R"({"@type":"Clip","name":"Goal","startOffset":" 75.5"},{"@type":"Clip","name":"x"},)"
                    R"({"@type":"Clip","startOffset":"soon"},{"@type":"Clip","startOffset":90}])")
        << "jsonLdChapters"
        << "0 Intro|75500 Goal|90000 ";
    QTest::newRow("JSON-LD one key moment")
        << made.arg(R"("hasPart":{"name":"Only","startOffset":12})") << "jsonLdChapters"
        << "12000 Only";
    QTest::newRow("JSON-LD description")
        << made.arg(R"("description":" All about it ")") << "jsonLdDescription"
        << "All about it";
    QTest::newRow("og:description, references decoded")
        << R"(<meta property="og:description" content="Tom &amp; Jerry">)"
        << "ogDescription"
        << "Tom & Jerry";
    QTest::newRow("og:image, the first of its names")
        << R"(<meta property="og:image:secure_url" content="s.jpg">)"
           R"(<meta property="og:image" content="i.jpg">)"
        << "ogImage"
        << "s.jpg";
    QTest::newRow("JSON-LD thumbnail list")
        << made.arg(R"("thumbnailUrl":["t1.jpg","t2.jpg"])") << "jsonLdThumbnail"
        << "t1.jpg";
    QTest::newRow("broken JSON-LD") << R"(<script type="application/ld+json">{"@type":</script>)"
                                    << "jsonLdContentUrl"
                                    << "";
    QTest::newRow("tags inside a script are not tags")
        << R"(<script>var s = '<meta property="og:video" content="x.mp4">';</script>)"
        << "ogVideo"
        << "";
    QTest::newRow("tags inside a comment are not tags")
        << R"(<!-- <meta property="og:video" content="x.mp4"> -->)"
        << "ogVideo"
        << "";
    QTest::newRow("base href") << R"(<head><base href="/media/"><base href="/other/"></head>)"
                               << "baseHref"
                               << "/media/";
    QTest::newRow("title text, references decoded") << "<TITLE>Tom &amp; Jerry</TITLE>"
                                                    << "title"
                                                    << "Tom & Jerry";
    QTest::newRow("og:title") << R"(<meta property="og:title" content="&quot;Q&quot;">)"
                              << "ogTitle"
                              << "\"Q\"";
    QTest::newRow("unterminated tag at the end") << R"(<meta property="og:video" content="v.mp4)"
                                                 << "ogVideo"
                                                 << "v.mp4";
    QTest::newRow("not HTML") << QString::fromLatin1("\x01\x02<<<>>>=\"'") << "ogVideo"
                              << "";
}

void TestWebParsers::scansWhatAPageSaysAboutItsVideo() {
    QFETCH(QString, page);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    const HtmlVideoScan scan = ScanHtmlForVideo(QStringView(page));
    QStringList chapters;
    for (const ChapterMark& chapter : scan.jsonLdChapters)
        chapters.append(QStringLiteral("%1 %2").arg(chapter.startMs).arg(chapter.title));
    const QHash<QString, QString> fields{
        {QStringLiteral("ogVideoSecureUrl"), scan.ogVideoSecureUrl},
        {QStringLiteral("ogVideoUrl"), scan.ogVideoUrl},
        {QStringLiteral("ogVideo"), scan.ogVideo},
        {QStringLiteral("twitterPlayerStream"), scan.twitterPlayerStream},
        {QStringLiteral("jsonLdContentUrl"), scan.jsonLdContentUrl},
        {QStringLiteral("jsonLdAuthor"), scan.jsonLdAuthor},
        {QStringLiteral("jsonLdYear"), QString::number(scan.jsonLdYear)},
        {QStringLiteral("jsonLdChapters"), chapters.join(u'|')},
        {QStringLiteral("jsonLdDescription"), scan.jsonLdDescription},
        {QStringLiteral("ogDescription"), scan.ogDescription},
        {QStringLiteral("ogImage"), scan.ogImage},
        {QStringLiteral("jsonLdThumbnail"), scan.jsonLdThumbnail},
        {QStringLiteral("baseHref"), scan.baseHref},
        {QStringLiteral("title"), scan.title},
        {QStringLiteral("ogTitle"), scan.ogTitle},
    };
    QVERIFY(fields.contains(field));
    QCOMPARE(fields.value(field), expected);
    // The bytes entry point reads the same page the same way.
    QCOMPARE(ScanHtmlForVideo(page.toUtf8()).ogVideo, scan.ogVideo);
}

void TestWebParsers::collectsTheSourcesOfTheFirstVideoThatHasAny() {
    const QString page = QStringLiteral("<video poster=p.jpg></video>"
                                        "<video><source src=a.mpd type=application/dash+xml>"
                                        "<source src='b-360.mp4' type='video/mp4; codecs=\"avc1\"' size=360>"
                                        "<SOURCE SRC=\"c.mp4\" TYPE=\"video/mp4\" label=\"HD 720p60\">"
                                        "<source src=\"d_1920x1080.mp4\">"
                                        "<source src=\"e-480p.mp4\" title=\"Episode 12\"></video>"
                                        "<video src=\"later.mp4\"></video>");
    const HtmlVideoScan scan = ScanHtmlForVideo(QStringView(page));
    QCOMPARE(scan.videoSources.size(), 5);
    QCOMPARE(scan.videoSources[0].type, QStringLiteral("application/dash+xml"));
    QVERIFY(!IsPlayableSourceType(scan.videoSources[0].type));
    QCOMPARE(scan.videoSources[1].type, QStringLiteral("video/mp4"));
    QVERIFY(IsPlayableSourceType(scan.videoSources[1].type));
    QCOMPARE(scan.videoSources[1].height, 360);
    QCOMPARE(scan.videoSources[2].url, QStringLiteral("c.mp4"));
    QCOMPARE(scan.videoSources[2].height, 720);
    // Without an attribute, the height the address spells.
    QCOMPARE(scan.videoSources[3].height, 1080);
    // A label counts only where it spells a height.
    QCOMPARE(scan.videoSources[4].height, 480);

    const QString own = QStringLiteral("<video src=\"own.webm\" type=\"video/webm\"></video>");
    QCOMPARE(ScanHtmlForVideo(QStringView(own)).videoSources.value(0).url, QStringLiteral("own.webm"));
}

void TestWebParsers::decodesCharacterReferences_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("named") << "&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos;&nbsp;"
                           << QString::fromUtf8("<a> & \"b\" 'c'\u00A0");
    QTest::newRow("numeric") << "&#233;&#xE9;&#X1F3AC;" << QString::fromUtf8("éé\U0001F3AC");
    QTest::newRow("unknown, unterminated, invalid kept") << "&copy; & &amp &#xD800; &#0;"
                                                         << "&copy; & &amp &#xD800; &#0;";
}

void TestWebParsers::decodesCharacterReferences() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(DecodeCharacterReferences(text), expected);
}

void TestWebParsers::readsMasterPlaylists() {
    const HlsPlaylist playlist = ParseHlsPlaylist(
        "#EXTM3U\r\n#EXT-X-VERSION:3\r\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=290400,RESOLUTION=160x120,CODECS=\"avc1.42c00d,mp4a.40.2\"\r\n"
        "v0/index.m3u8\r\n\r\n"
        "#EXT-X-STREAM-INF:CODECS=\"a,b\",BANDWIDTH=950400\r\n"
        "https://cdn/v2.m3u8\r\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=-5,RESOLUTION=-40x360\r\n"
        "hostile.m3u8\r\n");
    QVERIFY(playlist.isPlaylist);
    QVERIFY(playlist.isMaster);
    QCOMPARE(playlist.variants.size(), 3);
    QCOMPARE(playlist.variants[0].uri, QStringLiteral("v0/index.m3u8"));
    QCOMPARE(playlist.variants[0].bandwidth, 290400);
    QCOMPARE(playlist.variants[0].width, 160);
    QCOMPARE(playlist.variants[0].height, 120);
    // A comma inside a quoted value does not end the attribute list.
    QCOMPARE(playlist.variants[1].bandwidth, 950400);
    QCOMPARE(playlist.variants[1].height, 0);
    // Negative sizes and rates (found by fuzzing) count as not given.
    QCOMPARE(playlist.variants[2].bandwidth, 0);
    QCOMPARE(playlist.variants[2].width, 0);
    QCOMPARE(playlist.variants[2].height, 360);
    QVERIFY(playlist.segments.isEmpty());
}

void TestWebParsers::readsMediaPlaylists() {
    const HlsPlaylist playlist = ParseHlsPlaylist("\xEF\xBB\xBF#EXTM3U\n#EXT-X-TARGETDURATION:2\n"
                                                  "#EXT-X-KEY:METHOD=NONE\n"
                                                  "#EXTINF:1.5,first\nseg0.ts\n"
                                                  "#EXT-X-MAP:URI=\"init.mp4\"\n"
                                                  "#EXTINF:2\nseg1.m4s\n"
                                                  "#EXTINF:nonsense,\nseg2.m4s\n"
                                                  "#EXT-X-ENDLIST\n");
    QVERIFY(playlist.isPlaylist);
    QVERIFY(!playlist.isMaster);
    QVERIFY(playlist.hasEndList);
    QVERIFY(playlist.encryption.isEmpty());
    QCOMPARE(playlist.segments.size(), 3);
    QCOMPARE(playlist.segments[0].uri, QStringLiteral("seg0.ts"));
    QCOMPARE(playlist.segments[0].mapUri, QString());
    QCOMPARE(playlist.segments[1].mapUri, QStringLiteral("init.mp4"));
    QCOMPARE(playlist.segments[2].mapUri, QStringLiteral("init.mp4"));
    QCOMPARE(playlist.totalDuration, 3.5);
    QCOMPARE(HlsRefusal(playlist), QString());
}

void TestWebParsers::refusesPlaylistsThatCannotBeDownloaded_data() {
    QTest::addColumn<QByteArray>("playlist");
    QTest::addColumn<QString>("reason");
    const QByteArray segment = "#EXTINF:1,\ns.ts\n";
    QTest::newRow("not a playlist") << QByteArray("<html>") << "not an HLS playlist";
    QTest::newRow("live") << "#EXTM3U\n" + segment << "live stream";
    QTest::newRow("encrypted") << "#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\"\n" + segment +
                                      "#EXT-X-ENDLIST"
                               << "encrypted (AES-128)";
    QTest::newRow("encryption switched on later")
        << "#EXTM3U\n#EXT-X-KEY:METHOD=NONE\n" + segment + "#EXT-X-KEY:METHOD=SAMPLE-AES\n" + segment +
               "#EXT-X-ENDLIST"
        << "encrypted (SAMPLE-AES)";
    QTest::newRow("byte ranges") << "#EXTM3U\n#EXT-X-BYTERANGE:100@0\n" + segment + "#EXT-X-ENDLIST"
                                 << "EXT-X-BYTERANGE";
    QTest::newRow("no segments") << QByteArray("#EXTM3U\n#EXT-X-ENDLIST\n") << "no segments";
}

void TestWebParsers::refusesPlaylistsThatCannotBeDownloaded() {
    QFETCH(QByteArray, playlist);
    QFETCH(QString, reason);
    const QString refusal = HlsRefusal(ParseHlsPlaylist(playlist));
    QVERIFY2(refusal.contains(reason), qPrintable(refusal));
}

void TestWebParsers::keepsAtMostTheSegmentLimit() {
    const auto playlistOf = [](int segments) {
        QByteArray text = "#EXTM3U\n";
        for (int i = 0; i < segments; ++i)
            text += "#EXTINF:1,\ns.ts\n";
        return text + "#EXT-X-ENDLIST\n";
    };
    const HlsPlaylist atLimit = ParseHlsPlaylist(playlistOf(HlsSegmentLimit));
    QCOMPARE(atLimit.segments.size(), HlsSegmentLimit);
    QCOMPARE(HlsRefusal(atLimit), QString());
    const HlsPlaylist over = ParseHlsPlaylist(playlistOf(HlsSegmentLimit + 1));
    QCOMPARE(over.segments.size(), HlsSegmentLimit);
    QVERIFY(HlsRefusal(over).contains(QStringLiteral("more than 100000 segments")));
}

namespace {

// "address height type" of each source, one after another.
QStringList Described(const QList<HtmlVideoSource>& sources) {
    QStringList described;
    for (const HtmlVideoSource& source : sources)
        described << QStringLiteral("%1 %2 %3").arg(source.url).arg(source.height).arg(source.type).trimmed();
    return described;
}

} // namespace

void TestWebParsers::readsPlayerSetupsAndLazySources_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("video");    // what the <video> element offers
    QTest::addColumn<QStringList>("jwPlayer"); // what the JW Player set-up offers

    const auto setup = [](const QByteArray& argument) {
        return QStringLiteral("<script>jwplayer(\"box\").setup(%1);</script>")
            .arg(QString::fromUtf8(argument));
    };
    QTest::newRow("lazy address, no src")
        << R"(<video><source data-src="a-360p.mp4" type="video/mp4"></video>)"
        << QStringList{"a-360p.mp4 360 video/mp4"} << QStringList();
    QTest::newRow("placeholder src, lazy address")
        << R"(<video src="data:," data-lazy-src="v.mp4"><source src="blob:x" data-src="w.mp4"></video>)"
        << QStringList{"v.mp4 0", "w.mp4 0"} << QStringList();
    QTest::newRow("a real src wins") << R"(<video src="a.mp4" data-src="b.mp4"></video>)"
                                     << QStringList{"a.mp4 0"} << QStringList();
    QTest::newRow("res 0 and Auto are no heights")
        << R"(<video><source src="m.m3u8" res="0"><source src="v.mp4" label="Auto"></video>)"
        << QStringList{"m.m3u8 0", "v.mp4 0"} << QStringList();
    QTest::newRow("file only") << setup("{file: \"/v/clip.mp4\"}") << QStringList()
                               << QStringList{"/v/clip.mp4 0"};
    QTest::newRow("sources with labels")
        << setup("{sources: [{file: 'a.mp4', label: '720p HD'}, {file: 'b.mp4', label: 'HD'},"
                 " {file: 'c.mp4', height: 360, label: 'Low'}, {file: 'd_1920x1080.mp4', type: 'mp4'},"
                 " {file: 'e.mp4', width: 640}]}")
        << QStringList()
        << QStringList{"a.mp4 720", "b.mp4 0", "c.mp4 360", "d_1920x1080.mp4 1080 video/mp4", "e.mp4 360"};
    QTest::newRow("playlist of two: the first")
        << setup("{file: 'top.mp4', playlist: [{sources: [{file: 'first.mp4'}]}, {file: 'second.mp4'}]}")
        << QStringList() << QStringList{"first.mp4 0"};
    QTest::newRow("single quotes, escapes, trailing commas, comments")
        << setup(R"({ 'file': '\/media\/it\'s \u00e9.mp4', /* c */ label: "Auto", // c
 })") << QStringList()
        << QStringList{QString::fromUtf8("/media/it's é.mp4 0")};
    QTest::newRow("HLS source") << setup("{sources: [{file: 'https://cdn/x/index', type: 'hls'}]}")
                                << QStringList()
                                << QStringList{"https://cdn/x/index 0 application/vnd.apple.mpegurl"};
    QTest::newRow("set-up in a variable")
        << "<script>var configuration = {file: 'later.mp4'};\njwplayer('p').setup(configuration);</script>"
        << QStringList() << QStringList{"later.mp4 0"};
    QTest::newRow("expressions are passed over")
        << setup("{file: base + '/x.mp4', sources: [{file: 'ok.mp4', label: f(1)}], "
                 "events: {onReady: function () { return '}'; }}, onError() { x(); }}")
        << QStringList() << QStringList{"ok.mp4 0"};
    QTest::newRow("garbage skipped, the next set-up read")
        << setup("{file: 'x.mp4', sources: [}") + setup("{file: 'y.mp4'}") << QStringList()
        << QStringList{"y.mp4 0"};
    QTest::newRow("cut off") << setup("{file: 'v.mp4'").chopped(12) << QStringList() << QStringList();
    QTest::newRow("deeper than allowed")
        << setup(QByteArray("{a: ").repeated(40) + "1" + QByteArray("}").repeated(40) + ", {file: 'v.mp4'}")
        << QStringList() << QStringList();
}

void TestWebParsers::readsPlayerSetupsAndLazySources() {
    QFETCH(QString, page);
    QFETCH(QStringList, video);
    QFETCH(QStringList, jwPlayer);
    const HtmlVideoScan scan = ScanHtmlForVideo(QStringView(page));
    QCOMPARE(Described(scan.videoSources), video);
    QCOMPARE(Described(scan.jwPlayerSources), jwPlayer);
    // The other readers still read the page, whatever became of a set-up in it.
    const QString withOpenGraph = QStringLiteral("<meta property=\"og:video\" content=\"og.mp4\">") + page;
    QCOMPARE(ScanHtmlForVideo(QStringView(withOpenGraph)).ogVideo, QStringLiteral("og.mp4"));
}

void TestWebParsers::classifiesAnswers_data() {
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("dispositionName");
    QTest::addColumn<BodyKind>("kind");

    QTest::newRow("video") << QByteArray("Video/MP4; codecs=x") << "http://h/a"
                           << "" << BodyKind::Media;
    QTest::newRow("audio") << QByteArray("audio/mpeg") << "http://h/a"
                           << "" << BodyKind::Media;
    QTest::newRow("octet-stream, media address")
        << QByteArray("application/octet-stream") << "http://h/a.webm?x=1.html"
        << "" << BodyKind::Media;
    QTest::newRow("octet-stream, media disposition")
        << QByteArray("application/octet-stream") << "http://h/dl"
        << "clip.mp4" << BodyKind::Media;
    QTest::newRow("octet-stream, no media name") << QByteArray("application/octet-stream") << "http://h/a.zip"
                                                 << "" << BodyKind::Page;
    QTest::newRow("HLS type") << QByteArray("application/x-mpegURL") << "http://h/p"
                              << "" << BodyKind::Playlist;
    QTest::newRow("HLS audio type") << QByteArray("audio/mpegurl") << "http://h/p"
                                    << "" << BodyKind::Playlist;
    QTest::newRow("m3u8 address as text") << QByteArray("text/plain") << "http://h/P.M3U8?t=1"
                                          << "" << BodyKind::Playlist;
    QTest::newRow("HTML") << QByteArray("text/html; charset=utf-8") << "http://h/watch.mp4"
                          << "" << BodyKind::Page;
    QTest::newRow("no type") << QByteArray() << "http://h/a.mp4"
                             << "" << BodyKind::Page;
}

void TestWebParsers::classifiesAnswers() {
    QFETCH(QByteArray, contentType);
    QFETCH(QString, url);
    QFETCH(QString, dispositionName);
    QFETCH(BodyKind, kind);
    QCOMPARE(ClassifyResponse(contentType, url, dispositionName), kind);
}

void TestWebParsers::takesFileNamesFromHeadersAndAddresses_data() {
    QTest::addColumn<QByteArray>("disposition");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");

    QTest::newRow("quoted") << QByteArray("attachment; filename=\"My clip.mp4\"") << ""
                            << "My clip.mp4";
    QTest::newRow("extended preferred")
        << QByteArray("attachment; filename=\"Caf_.mp4\"; filename*=UTF-8''Caf%C3%A9%20%E2%82%AC.mp4") << ""
        << QString::fromUtf8("Café €.mp4");
    QTest::newRow("unquoted") << QByteArray("inline;filename=a.webm") << ""
                              << "a.webm";
    QTest::newRow("no way out of the folder") << QByteArray("attachment; filename=\"../../etc/x.mp4\"") << ""
                                              << "x.mp4";
    QTest::newRow("backslashes too") << QByteArray("attachment; filename=\"..\\\\..\\\\x.mp4\"") << ""
                                     << "x.mp4";
    QTest::newRow("none") << QByteArray("attachment") << ""
                          << "";
    QTest::newRow("address: last segment decoded, no query")
        << QByteArray() << "http://h/a/My%20clip.mp4?sig=1/2#t=3"
        << "My clip.mp4";
    QTest::newRow("address ending in a slash") << QByteArray() << "http://h/a/"
                                               << "";
}

void TestWebParsers::takesFileNamesFromHeadersAndAddresses() {
    QFETCH(QByteArray, disposition);
    QFETCH(QString, url);
    QFETCH(QString, expected);
    QCOMPARE(url.isEmpty() ? ContentDispositionFileName(disposition) : UrlFileName(url), expected);
}

QTEST_GUILESS_MAIN(TestWebParsers)
#include "tst_webparsers.moc"
