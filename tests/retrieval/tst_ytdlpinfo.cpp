// What Tarnwick makes of yt-dlp's info: which formats a quality takes, and what it refuses to
// believe of an answer (wrong shapes, foreign schemes, headers that would write requests).

#include "retrieval/job/ytdlp/ytdlpjob.h"
#include "retrieval/job/ytdlp/ytdlpmerge.h"
#include "retrieval/job/ytdlp/ytdlpowndownload.h"
#include "retrieval/sources/ytdlp/ytdlpformatchoice.h"
#include "retrieval/sources/ytdlp/ytdlpinfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Tarnwick;

Q_DECLARE_METATYPE(VideoQuality)

namespace {

// A format as yt-dlp lists it: "<id> <height> <vcodec> <acodec> <tbr> <protocol>".
QJsonObject Format(const QString& line) {
    const QStringList f = line.split(QLatin1Char(' '));
    QJsonObject format{{QStringLiteral("format_id"), f[0]},
                       {QStringLiteral("vcodec"), f[2]},
                       {QStringLiteral("acodec"), f[3]},
                       {QStringLiteral("tbr"), f[4].toDouble()},
                       {QStringLiteral("protocol"), f[5]},
                       {QStringLiteral("ext"), QStringLiteral("mp4")},
                       {QStringLiteral("url"), QStringLiteral("https://media.example/") + f[0]}};
    if (f[1] != QLatin1String("-"))
        format.insert(QStringLiteral("height"), f[1].toInt());
    return format;
}

QList<YtDlpFormat> Formats(const QStringList& lines) {
    QJsonArray formats;
    for (const QString& line : lines)
        formats.append(Format(line));
    YtDlpInfo info;
    QString reason;
    const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("formats"), formats}}).toJson();
    if (!ParseYtDlpInfo(json, info, reason))
        qWarning() << reason;
    return info.formats;
}

QString Id(const QList<YtDlpFormat>& formats, int index) {
    return index < 0 ? QStringLiteral("-") : formats[index].id;
}

} // namespace

class TestYtDlpInfo : public QObject {
    Q_OBJECT

private slots:
    void choosesFormatsByQuality_data();
    void choosesFormatsByQuality();
    void takesTheChosenFormatAndSound();
    void readsWhoMadeItAndWhen();
    void keepsOnlySafeAddressesAndHeaders();
    void eachForbiddenHeaderByteAloneIsRefused_data();
    void eachForbiddenHeaderByteAloneIsRefused();
    void readsPlaylistsAndTheirEntries();
    void readsProgressLines_data();
    void readsProgressLines();
    void namesFilesSafely_data();
    void namesFilesSafely();
    void predictsTheMergedContainer_data();
    void predictsTheMergedContainer();
};

void TestYtDlpInfo::choosesFormatsByQuality_data() {
    QTest::addColumn<QStringList>("formats");
    QTest::addColumn<VideoQuality>("quality");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("audio");
    QTest::addColumn<QString>("label");
    const QStringList dash = {QStringLiteral("a1 - none mp4a 48 http_dash_segments"),
                              QStringLiteral("v2 720 avc1 none 900 http_dash_segments"),
                              QStringLiteral("v1 360 avc1 none 300 http_dash_segments"),
                              QStringLiteral("a2 - none opus 160 http_dash_segments"),
                              QStringLiteral("v3 1080 avc1 none 2000 http_dash_segments")};
    QTest::newRow("dash smallest") << dash << VideoQuality::Standard << "v1"
                                   << "a1"
                                   << "360p, smallest of 3";
    QTest::newRow("dash middle") << dash << VideoQuality::HighFlv << "v2"
                                 << "a2"
                                 << "720p, middle of 3";
    QTest::newRow("dash largest") << dash << VideoQuality::HighMp4 << "v3"
                                  << "a2"
                                  << "1080p, largest of 3";
    // Heights count once; at one height Tarnwick's own transfer goes first, then a format that
    // needs no merge, then the bit rate.
    const QStringList mixed = {QStringLiteral("d720 720 avc1 none 3000 http_dash_segments"),
                               QStringLiteral("h720 720 avc1 mp4a 1500 https"),
                               QStringLiteral("m720 720 avc1 mp4a 2500 m3u8_native"),
                               QStringLiteral("h360lo 360 avc1 mp4a 400 https"),
                               QStringLiteral("h360hi 360 avc1 mp4a 700 https"),
                               QStringLiteral("a - none mp4a 128 https")};
    QTest::newRow("ties prefer own transfer") << mixed << VideoQuality::HighMp4 << "h720"
                                              << "-"
                                              << "720p, largest of 2";
    QTest::newRow("ties by bit rate, small") << mixed << VideoQuality::Standard << "h360lo"
                                             << "-"
                                             << "360p, smallest of 2";
    QTest::newRow("ties by bit rate, large") << mixed << VideoQuality::HighFlv << "h360hi"
                                             << "-"
                                             << "360p, middle of 2";
    QTest::newRow("sound alone takes the best")
        << QStringList{QStringLiteral("lo - none opus 50 https"), QStringLiteral("hi - none opus 160 https")}
        << VideoQuality::Standard << "-"
        << "hi"
        << "";
    // Without heights there is nothing to rank pictures by: the only one, without a label.
    QTest::newRow("one format without a height")
        << QStringList{QStringLiteral("0 - null null 0 http")} << VideoQuality::HighMp4 << "0"
        << "-"
        << "";
    QTest::newRow("heightless beside known heights")
        << QStringList{QStringLiteral("x - avc1 mp4a 9000 https"),
                       QStringLiteral("y 240 avc1 mp4a 100 https")}
        << VideoQuality::HighMp4 << "y"
        << "-"
        << "";
    QTest::newRow("nothing") << QStringList{} << VideoQuality::HighMp4 << "-"
                             << "-"
                             << "";
}

void TestYtDlpInfo::choosesFormatsByQuality() {
    QFETCH(QStringList, formats);
    QFETCH(VideoQuality, quality);
    const QList<YtDlpFormat> parsed = Formats(formats);
    QCOMPARE(parsed.size(), formats.size());
    const YtDlpChoice choice = ChooseYtDlpFormats(parsed, PictureWish{quality, 0, {}, {}});
    QTEST(Id(parsed, choice.video), "video");
    QTEST(Id(parsed, choice.audio), "audio");
    QTEST(choice.label, "label");
}

// A chosen "picture+sound" is taken as it is; a sound no longer offered, or none named, gives
// way to the best one; a picture no longer offered gives way to the rule.
void TestYtDlpInfo::takesTheChosenFormatAndSound() {
    const QList<YtDlpFormat> dash =
        Formats({QStringLiteral("a1 - none mp4a 48 https"), QStringLiteral("v1 360 avc1 none 300 https"),
                 QStringLiteral("a2 - none opus 160 https"), QStringLiteral("v3 1080 avc1 none 2000 https")});
    const QList<std::tuple<QString, QString, QString>> cases = {
        {QStringLiteral("v3+a1"), QStringLiteral("v3"), QStringLiteral("a1")},
        {QStringLiteral("v3+gone"), QStringLiteral("v3"), QStringLiteral("a2")},
        {QStringLiteral("v1"), QStringLiteral("v1"), QStringLiteral("a2")},
        {QStringLiteral("gone+a1"), QStringLiteral("v3"), QStringLiteral("a1")},
    };
    for (const auto& [chosen, video, audio] : cases) {
        const YtDlpChoice choice =
            ChooseYtDlpFormats(dash, PictureWish{VideoQuality::HighMp4, 0, {}, chosen});
        QCOMPARE(Id(dash, choice.video), video);
        QCOMPARE(Id(dash, choice.audio), audio);
    }
}

// The artist is the uploader, else the channel; the year comes from upload_date alone; the
// chapters from their list.
void TestYtDlpInfo::readsWhoMadeItAndWhen() {
    const QList<std::tuple<QByteArray, QString, int>> cases = {
        {R"({"uploader": "Ann", "channel": "Ann's", "upload_date": "20260314"})", QStringLiteral("Ann"),
         2026},
        {R"({"channel": "Ann's", "upload_date": "2026"})", QStringLiteral("Ann's"), 0},
        {R"({"uploader": 7, "upload_date": 20260314})", QString(), 0},
    };
    for (const auto& [json, artist, year] : cases) {
        YtDlpInfo info;
        QString reason;
        QVERIFY2(ParseYtDlpInfo(json, info, reason), qPrintable(reason));
        QCOMPARE(info.uploader, artist);
        QCOMPARE(info.uploadYear, year);
    }
    // Chapters: a start in seconds is needed, a title is not; anything else is no chapter.
    YtDlpInfo info;
    QString reason;
    QVERIFY(ParseYtDlpInfo(R"({"chapters": [{"start_time": 0, "title": "Intro"}, {"start_time": 61.25},
        {"title": "no start"}, {"start_time": -3, "title": "before"}, "a text", {"start_time": "9"}]})",
                           info, reason));
    QCOMPARE(info.chapters.size(), 2);
    QCOMPARE(info.chapters[0].title, QStringLiteral("Intro"));
    QCOMPARE(info.chapters[1].startMs, 61250);
    QVERIFY(info.chapters[1].title.isEmpty());
}

void TestYtDlpInfo::keepsOnlySafeAddressesAndHeaders() {
    const QByteArray json = R"json({"title": 42, "formats": [
        {"format_id": "f", "url": "file:///etc/passwd", "protocol": "file", "height": 720},
        {"format_id": "r", "url": "/relative.mp4", "protocol": "https", "height": 720},
        {"format_id": "g", "url": "https://cdn.example/v.mp4", "protocol": "https", "height": "tall",
         "width": 1e300, "tbr": -5, "http_headers": {
            "Referer": "https://site.example/watch",
            "X-Injected": "a\r\nHost: evil.example",
            "Bad Name": "x", "Cookie": 7}}]})json";
    YtDlpInfo info;
    QString reason;
    QVERIFY2(ParseYtDlpInfo(json, info, reason), qPrintable(reason));
    // A title of the wrong type is no title; a local file or a relative address is no format.
    QCOMPARE(info.title, QString());
    QCOMPARE(info.formats.size(), 1);
    const YtDlpFormat& good = info.formats[0];
    QVERIFY(IsHttpFormat(good));
    QCOMPARE(good.height, 0);
    QCOMPARE(good.width, 0);
    QCOMPARE(good.bitRate, 0.0);
    QCOMPARE(good.httpHeaders.size(), 1);
    QCOMPARE(good.httpHeaders[0].first, QByteArray("Referer"));
}

void TestYtDlpInfo::readsPlaylistsAndTheirEntries() {
    const QByteArray json = R"json({"_type": "playlist", "title": "List", "playlist_count": 1500, "entries": [
        {"_type": "url", "url": "https://site.example/v/1", "title": "One"},
        {"_type": "url", "url": "javascript:alert(1)"},
        {"id": "e3", "title": "Three", "webpage_url": "https://site.example/list",
         "formats": [{"format_id": "0", "url": "https://cdn.example/3.mp4"}]},
        "not an entry"]})json";
    YtDlpInfo info;
    QString reason;
    QVERIFY2(ParseYtDlpInfo(json, info, reason), qPrintable(reason));
    QVERIFY(info.isPlaylist);
    QCOMPARE(info.entryTotal, 1500);
    QCOMPARE(info.entries.size(), 3);
    QCOMPARE(info.entries[0].url, QStringLiteral("https://site.example/v/1"));
    QVERIFY(info.entries[0].info.isEmpty());
    QVERIFY(info.entries[1].url.isEmpty());
    // The resolved entry keeps its own info, which reads back as a video.
    YtDlpInfo entry;
    QVERIFY(ParseYtDlpInfo(info.entries[2].info, entry, reason));
    QVERIFY(!entry.isPlaylist);
    QCOMPARE(entry.title, QStringLiteral("Three"));
    QCOMPARE(entry.formats.size(), 1);
}

void TestYtDlpInfo::readsProgressLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("read");
    QTest::addColumn<qint64>("downloaded");
    QTest::addColumn<qint64>("total");
    QTest::newRow("known total") << QByteArray("[tarnwick-progress] 65199 65199 NA 244387.8") << true
                                 << qint64(65199) << qint64(65199);
    QTest::newRow("estimate") << QByteArray("[tarnwick-progress] 832 NA 2496.0 14319.7") << true
                              << qint64(832) << qint64(2496);
    QTest::newRow("other output") << QByteArray("[download] Destination: x") << false << qint64(0)
                                  << qint64(0);
    QTest::newRow("too few fields") << QByteArray("[tarnwick-progress] 1 2") << false << qint64(0)
                                    << qint64(0);
    QTest::newRow("absurd") << QByteArray("[tarnwick-progress] -5 1e300 NA NA") << true << qint64(0)
                            << qint64(0);
}

void TestYtDlpInfo::readsProgressLines() {
    QFETCH(QByteArray, line);
    YtDlpProgressLine progress;
    QTEST(ParseYtDlpProgressLine(line, progress), "read");
    QTEST(progress.downloaded, "downloaded");
    QTEST(progress.total, "total");
}

void TestYtDlpInfo::namesFilesSafely_data() {
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "webm"
                           << ".webm";
    QTest::newRow("upper case") << "MP4"
                                << ".mp4";
    QTest::newRow("path") << "mp4/../../x"
                          << ".bin";
    QTest::newRow("empty") << ""
                           << ".bin";
    QTest::newRow("long") << "abcdefghij"
                          << ".bin";
}

void TestYtDlpInfo::namesFilesSafely() {
    QFETCH(QString, extension);
    YtDlpFormat format;
    format.extension = extension;
    QTEST(YtDlpFormatExtension(format), "expected");
    QCOMPARE(YtDlpFileTitle(QStringLiteral(" \t ")), QStringLiteral("untitled"));
}

void TestYtDlpInfo::predictsTheMergedContainer_data() {
    QTest::addColumn<QString>("videoCodec");
    QTest::addColumn<QString>("audioCodec");
    QTest::addColumn<QString>("container");
    QTest::newRow("h264 aac") << "avc1.64001f"
                              << "mp4a.40.2"
                              << ".mp4";
    QTest::newRow("vp9 opus") << "vp09.00.40.08"
                              << "opus"
                              << ".webm";
    QTest::newRow("av1 opus") << "av01.0.05M.08"
                              << "opus"
                              << ".webm";
    QTest::newRow("vp9 aac") << "vp9"
                             << "mp4a.40.5"
                             << ".mkv";
    QTest::newRow("unknown") << ""
                             << "opus"
                             << ".mkv";
}

void TestYtDlpInfo::predictsTheMergedContainer() {
    QFETCH(QString, videoCodec);
    QFETCH(QString, audioCodec);
    YtDlpFormat video;
    video.videoCodec = videoCodec;
    YtDlpFormat audio;
    audio.audioCodec = audioCodec;
    QTEST(PredictedMergeExtension(video, audio), "container");
}

// Each byte that could end a header line or the request, alone, refuses the header: one that
// passes only with its partner would let the other half through.
void TestYtDlpInfo::eachForbiddenHeaderByteAloneIsRefused_data() {
    QTest::addColumn<QByteArray>("value"); // as JSON writes it
    QTest::addColumn<bool>("kept");
    QTest::newRow("plain") << QByteArray("https://site.example/watch") << true;
    QTest::newRow("tab and blanks") << QByteArray("a\\tb c") << true;
    QTest::newRow("carriage return alone") << QByteArray("a\\rHost: evil.example") << false;
    QTest::newRow("line feed alone") << QByteArray("a\\nHost: evil.example") << false;
    QTest::newRow("NUL alone") << QByteArray("a\\u0000b") << false;
    QTest::newRow("at the very end") << QByteArray("a\\n") << false;
}

void TestYtDlpInfo::eachForbiddenHeaderByteAloneIsRefused() {
    QFETCH(QByteArray, value);
    QFETCH(bool, kept);
    const QByteArray json = R"({"formats": [{"format_id": "0", "url": "https://cdn.example/v.mp4",
        "http_headers": {"Referer": ")" +
                            value + "\"}}]}";
    YtDlpInfo info;
    QString reason;
    QVERIFY2(ParseYtDlpInfo(json, info, reason), qPrintable(reason));
    QCOMPARE(info.formats.size(), 1);
    QCOMPARE(info.formats[0].httpHeaders.size(), kept ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestYtDlpInfo)
#include "tst_ytdlpinfo.moc"
