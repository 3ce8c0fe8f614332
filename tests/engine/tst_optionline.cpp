// The engine's option-line parser and its table of old names, reached directly.

#include "conversion/conversionparams.h"
#include "conversion/mediatags.h"
#include "namemap.h"
#include "optionline.h"

#include <QTest>
#include <map>

using namespace VarnexEngine;

namespace {

QString Describe(const ConvertOptions& o) {
    QStringList parts;
    for (const InputOption& input : o.inputs)
        parts << QStringLiteral("in=%1@%2").arg(QString::fromStdString(input.path)).arg(input.offsetUs);
    for (const StreamMap& map : o.maps)
        parts << QStringLiteral("map=%1:%2").arg(map.file).arg(map.stream);
    if (o.startUs || o.durationUs || o.sizeLimit)
        parts << QStringLiteral("ss=%1 t=%2 fs=%3").arg(o.startUs).arg(o.durationUs).arg(o.sizeLimit);
    if (o.cropLeft || o.cropTop || o.cropRight || o.cropBottom)
        parts << QStringLiteral("crop=%1,%2,%3,%4")
                     .arg(o.cropLeft)
                     .arg(o.cropTop)
                     .arg(o.cropRight)
                     .arg(o.cropBottom);
    for (const auto& [key, value] : o.metadata)
        parts << QStringLiteral("%1=%2").arg(QString::fromStdString(key), QString::fromStdString(value));
    if (!o.format.empty())
        parts << QStringLiteral("f=%1").arg(QString::fromStdString(o.format));
    if (o.disableVideo)
        parts << QStringLiteral("vn");
    if (!o.videoCodec.empty() || !o.pixelFormat.empty())
        parts << QStringLiteral("v=%1/%2").arg(QString::fromStdString(o.videoCodec),
                                               QString::fromStdString(o.pixelFormat));
    if (o.width || o.height || o.frameRateNum || o.videoBitRate)
        parts << QStringLiteral("%1x%2 %3/%4 %5")
                     .arg(o.width)
                     .arg(o.height)
                     .arg(o.frameRateNum)
                     .arg(o.frameRateDen)
                     .arg(o.videoBitRate);
    if (o.disableAudio)
        parts << QStringLiteral("an");
    if (!o.audioCodec.empty() || o.channels || o.sampleRate || o.audioBitRate)
        parts << QStringLiteral("a=%1 %2ch %3Hz %4")
                     .arg(QString::fromStdString(o.audioCodec))
                     .arg(o.channels)
                     .arg(o.sampleRate)
                     .arg(o.audioBitRate);
    if (o.overwrite)
        parts << QStringLiteral("y");
    parts << QStringLiteral("out=%1").arg(QString::fromStdString(o.output));
    return parts.join(QLatin1Char('|'));
}

} // namespace

class TestOptionLine : public QObject {
    Q_OBJECT

private slots:
    void parses_data();
    void parses();
    void refuses_data();
    void refuses();
    void timeTexts_data();
    void timeTexts();
    void oldNames_data();
    void oldNames();
    void pathsSurviveTheJobsQuoting_data();
    void pathsSurviveTheJobsQuoting();
    void tagsFromPagesStayTags_data();
    void tagsFromPagesStayTags();
};

void TestOptionLine::parses_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");

    QTest::newRow("3g2 optimal quality, as the job writes it")
        << " encoder -i \"/tmp/my videos/~VD1.flv\" -f 3g2 -vcodec h263 -s 176x144 -r 15/1 -b 128000 -acodec "
           "libamr_nb -ac 1 -ar 8000 -ab 12200 -y \"/tmp/out dir/~VD2\""
        << "in=/tmp/my videos/~VD1.flv@0|f=3g2|v=h263/|176x144 15/1 128000|a=libamr_nb 1ch 8000Hz "
           "12200|y|out=/tmp/"
           "out dir/~VD2";
    QTest::newRow("start values only") << " encoder -i \"a\" -y \"b\""
                                       << "in=a@0|y|out=b";
    QTest::newRow("audio only") << " encoder -i \"a\" -f mp3 -vn -acodec libmp3lame -ab 128000 -y \"b\""
                                << "in=a@0|f=mp3|vn|a=libmp3lame 0ch 0Hz 128000|y|out=b";
    QTest::newRow("every other option") << " encoder -i \"a\" -itsoffset 00:00:01.500 -i \"c\" -map 0:0 -map "
                                           "1:0 -ss 00:00:02.000 -t 00:01:00.250 -fs "
                                           "5000000000 -cropleft 8 -croptop 2 -cropright 4 -cropbottom 6 "
                                           "-title My Holiday Film -author Me -year 2008 "
                                           "-track 3 -f avi -pix_fmt yuv420p -vcodec mpeg4 -an \"b\""
                                        << "in=a@0|in=c@1500000|map=0:0|map=1:0|ss=2000000 t=60250000 "
                                           "fs=5000000000|crop=8,2,4,6|title=My Holiday "
                                           "Film|artist=Me|date=2008|track=3|f=avi|v=mpeg4/yuv420p|an|out=b";
    QTest::newRow("a metadata text runs to the quoted output") << " encoder -i \"a\" -comment a - b -y \"b\""
                                                               << "in=a@0|comment=a - b|y|out=b";
    QTest::newRow("extra arguments after the output are options") << " encoder -i \"a\" -y \"b\" -ac 2"
                                                                  << "in=a@0|a= 2ch 0Hz 0|y|out=b";
    QTest::newRow("first video and audio of a file, copied")
        << " encoder -i \"a\" -i \"c\" -map 0:v -map 1:a -vcodec copy -acodec copy -y \"b\""
        << "in=a@0|in=c@0|map=0:-1|map=1:-2|v=copy/|a=copy 0ch 0Hz 0|y|out=b";
    QTest::newRow("a whole-number rate, tabs as blanks") << "encoder\t-i a\t-r 30 b"
                                                         << "in=a@0|0x0 30/1 0|out=b";
}

void TestOptionLine::parses() {
    QFETCH(QString, line);
    QFETCH(QString, expected);
    ConvertOptions options;
    std::string error;
    QVERIFY2(ParseOptionLine(line.toStdString(), options, &error), error.c_str());
    QCOMPARE(Describe(options), expected);
}

void TestOptionLine::refuses_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("named");

    QTest::newRow("not the engine's line") << " -i \"a\" \"b\""
                                           << "encoder";
    QTest::newRow("unknown option") << " encoder -i \"a\" -vf scale \"b\""
                                    << "-vf";
    QTest::newRow("missing argument at the end") << " encoder -i \"a\" \"b\" -ab"
                                                 << "-ab";
    QTest::newRow("option where the argument belongs") << " encoder -i \"a\" -acodec -y \"b\""
                                                       << "-acodec";
    QTest::newRow("bad number") << " encoder -i \"a\" -ab 128k \"b\""
                                << "-ab";
    QTest::newRow("bad size") << " encoder -i \"a\" -s 176*144 \"b\""
                              << "-s";
    QTest::newRow("zero size") << " encoder -i \"a\" -s 0x144 \"b\""
                               << "-s";
    QTest::newRow("bad rate") << " encoder -i \"a\" -r 15/0 \"b\""
                              << "-r";
    QTest::newRow("bad time") << " encoder -i \"a\" -ss 1:2:3:4 \"b\""
                              << "-ss";
    QTest::newRow("negative crop") << " encoder -i \"a\" -cropleft -4 \"b\""
                                   << "-cropleft";
    QTest::newRow("number too big") << " encoder -i \"a\" -ar 99999999999 \"b\""
                                    << "-ar";
    QTest::newRow("negative stream index") << " encoder -i \"a\" -map 0:-1 \"b\""
                                           << "-map";
    QTest::newRow("unknown stream kind") << " encoder -i \"a\" -map 0:s \"b\""
                                         << "-map";
    QTest::newRow("third input") << " encoder -i a -i b -i c \"d\""
                                 << "-i";
    QTest::newRow("no input") << " encoder -y \"b\""
                              << "-i";
    QTest::newRow("no output") << " encoder -i \"a\" -y"
                               << "output";
    QTest::newRow("two outputs") << " encoder -i \"a\" \"b\" \"c\""
                                 << "\"c\"";
    QTest::newRow("open quote") << " encoder -i \"a -y b"
                                << "quote";
    QTest::newRow("offset without an input") << " encoder -i \"a\" \"b\" -itsoffset 1"
                                             << "-itsoffset";
    QTest::newRow("nothing left to convert") << " encoder -i \"a\" -an -vn \"b\""
                                             << "nothing";
    QTest::newRow("chapters out of order") << " encoder -i \"a\" -chapter 10 -chapter 5 \"b\""
                                           << "-chapter";
    QTest::newRow("a chapter title before any chapter") << " encoder -i \"a\" -chapter_title \"x\" \"b\""
                                                        << "-chapter_title";
}

void TestOptionLine::refuses() {
    QFETCH(QString, line);
    QFETCH(QString, named);
    ConvertOptions options;
    std::string error;
    QVERIFY(!ParseOptionLine(line.toStdString(), options, &error));
    QVERIFY2(QString::fromStdString(error).contains(named, Qt::CaseInsensitive), error.c_str());
}

void TestOptionLine::timeTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("microseconds"); // -1: refused

    QTest::newRow("clock time") << "01:02:03.045" << qint64(3723045000);
    QTest::newRow("minutes and seconds") << "02:30" << qint64(150000000);
    QTest::newRow("seconds with fraction") << "1.5" << qint64(1500000);
    QTest::newRow("zero") << "00:00:00.000" << qint64(0);
    QTest::newRow("seconds field of 60") << "00:00:60" << qint64(-1);
    QTest::newRow("negative") << "-1" << qint64(-1);
    QTest::newRow("words") << "soon" << qint64(-1);
    QTest::newRow("empty field") << "01::02" << qint64(-1);
}

void TestOptionLine::timeTexts() {
    QFETCH(QString, text);
    QFETCH(qint64, microseconds);
    int64_t parsed = 0;
    const bool ok = ParseTimeText(text.toStdString(), &parsed);
    QCOMPARE(ok, microseconds >= 0);
    if (ok)
        QCOMPARE(qint64(parsed), microseconds);
}

void TestOptionLine::oldNames_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("videoCodec");
    QTest::addColumn<QString>("audioCodec");
    QTest::addColumn<QString>("muxer");
    QTest::addColumn<QString>("audioEncoder");
    QTest::addColumn<int>("audioSource");

    const int ffmpeg = int(EncoderSource::Ffmpeg);
    QTest::newRow("wma") << "wma"
                         << ""
                         << "wmav2"
                         << "asf"
                         << "wmav2" << ffmpeg;
    QTest::newRow("aac") << "aac"
                         << ""
                         << "libfaac"
                         << "adts"
                         << "aac" << ffmpeg;
    QTest::newRow("3gp with amr") << "3gp"
                                  << "h263"
                                  << "libamr_nb"
                                  << "3gp"
                                  << "amr_nb" << int(EncoderSource::AmrNb);
    QTest::newRow("mp4 with h263") << "mp4"
                                   << "h263"
                                   << "libfaac"
                                   << "3gp"
                                   << "aac" << ffmpeg;
    QTest::newRow("mp4 with amr wb") << "mp4"
                                     << "mpeg4"
                                     << "libamr_wb"
                                     << "3gp"
                                     << "amr_wb" << int(EncoderSource::AmrWb);
    QTest::newRow("mp4 as it is") << "mp4"
                                  << "libx264"
                                  << "libfaac"
                                  << "mp4"
                                  << "aac" << ffmpeg;
    QTest::newRow("today's names pass") << "matroska"
                                        << "libx264"
                                        << "libmp3lame"
                                        << "matroska"
                                        << "libmp3lame" << ffmpeg;
}

void TestOptionLine::oldNames() {
    QFETCH(QString, container);
    QFETCH(QString, videoCodec);
    QFETCH(QString, audioCodec);
    QFETCH(QString, muxer);
    QFETCH(QString, audioEncoder);
    QFETCH(int, audioSource);
    QCOMPARE(QString::fromStdString(MapContainerName(container.toStdString(), videoCodec.toStdString(),
                                                     audioCodec.toStdString())),
             muxer);
    const EncoderChoice choice = MapCodecName(audioCodec.toStdString());
    QCOMPARE(QString::fromStdString(choice.name), audioEncoder);
    QCOMPARE(int(choice.source), audioSource);
}

void TestOptionLine::pathsSurviveTheJobsQuoting_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("written");

    // Rows whose written form is the path in plain quotes are lines as they always were.
    QTest::newRow("blanks") << "/v/a b.flv"
                            << "\"/v/a b.flv\"";
    QTest::newRow("single backslashes") << "C:\\Videos\\a.flv"
                                        << "\"C:\\Videos\\a.flv\"";
    QTest::newRow("leading dash") << "-y"
                                  << "\"-y\"";
    QTest::newRow("double quotes") << "/v/say \"hi\".flv"
                                   << "\"/v/say \\\"hi\\\".flv\"";
    QTest::newRow("nothing but a quote") << "\""
                                         << "\"\\\"\"";
    QTest::newRow("doubled backslash") << "\\\\server\\a"
                                       << "\"\\\\\\server\\a\"";
    QTest::newRow("trailing backslash") << "dir\\"
                                        << "\"dir\\\\\"";
    QTest::newRow("backslash before a quote") << "a\\\"b"
                                              << "\"a\\\\\\\"b\"";
}

void TestOptionLine::pathsSurviveTheJobsQuoting() {
    QFETCH(QString, path);
    QFETCH(QString, written);
    Tarnwick::ConversionParams params;
    params.input = path;
    params.output = path;
    const QString line = Tarnwick::BuildCommandLine(params);
    QCOMPARE(line, QStringLiteral(" encoder -i %1 -y %1").arg(written));

    ConvertOptions options;
    std::string error;
    QVERIFY2(ParseOptionLine(line.toStdString(), options, &error), error.c_str());
    QCOMPARE(options.inputs.size(), size_t(1));
    QCOMPARE(QString::fromStdString(options.inputs[0].path), path);
    QCOMPARE(QString::fromStdString(options.output), path);
}

// A title from a page reaches the engine as one text, whatever it holds: it never ends early
// or adds an option; a text the Part's presets could hold stays unquoted, as lines always were.
void TestOptionLine::tagsFromPagesStayTags_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("stored"); // what the engine is told
    QTest::addColumn<bool>("unquoted");
    QTest::newRow("plain words") << "Countdown 3 seconds"
                                 << "Countdown 3 seconds" << true;
    QTest::newRow("an option word") << "Ask -vn anything"
                                    << "Ask -vn anything" << false;
    QTest::newRow("a lone dash") << "Part 1 - the start"
                                 << "Part 1 - the start" << false;
    QTest::newRow("quotes") << "He said \"hi\""
                            << "He said \"hi\"" << false;
    QTest::newRow("backslashes") << "C:\\dir\\"
                                 << "C:\\dir\\" << false;
    QTest::newRow("runs of blanks and a tab") << "  a   b\tc "
                                              << "a b c" << true;
    QTest::newRow("control characters") << "\x1b[31mred\x07"
                                        << "[31mred" << true;
    QTest::newRow("a huge title") << QString(300000, QLatin1Char('x'))
                                  << QString(Tarnwick::LongestTag, QLatin1Char('x')) << true;
}

void TestOptionLine::tagsFromPagesStayTags() {
    QFETCH(QString, title);
    QFETCH(QString, stored);
    QFETCH(bool, unquoted);
    Tarnwick::ConversionParams params;
    params.input = QStringLiteral("/v/in.mp4");
    params.output = QStringLiteral("/v/out.mp3");
    // Chapters as a page lists them: out of order, one start twice, one before the video.
    const QList<Tarnwick::ChapterMark> chapters{{90500, title},
                                                {0, QStringLiteral("Intro")},
                                                {90500, QStringLiteral("again")},
                                                {-5, QStringLiteral("x")}};
    Tarnwick::ApplyTags(params,
                        {title, QStringLiteral("-y"), 2026, QStringLiteral("https://site.example/v?a=1"),
                         chapters, title, QString()},
                        true);
    const QString line = Tarnwick::BuildCommandLine(params);
    QCOMPARE(line.contains(QStringLiteral("-title ") + stored), unquoted);
    ConvertOptions options;
    std::string error;
    QVERIFY2(ParseOptionLine(line.toStdString(), options, &error), error.c_str());
    std::map<std::string, std::string> tags(options.metadata.begin(), options.metadata.end());
    QCOMPARE(QString::fromStdString(tags["title"]), stored);
    QCOMPARE(QString::fromStdString(tags["artist"]), QStringLiteral("-y"));
    QCOMPARE(QString::fromStdString(tags["date"]), QStringLiteral("2026"));
    QCOMPARE(QString::fromStdString(tags["comment"]), QStringLiteral("https://site.example/v?a=1"));
    QCOMPARE(QString::fromStdString(tags["description"]), stored);
    QCOMPARE(QString::fromStdString(options.output), params.output);
    QCOMPARE(options.chapters.size(), size_t(2));
    QCOMPARE(options.chapters[0].startUs, int64_t(0));
    QCOMPARE(QString::fromStdString(options.chapters[0].title), QStringLiteral("Intro"));
    QCOMPARE(options.chapters[1].startUs, int64_t(90500000));
    QCOMPARE(QString::fromStdString(options.chapters[1].title), stored);
}

QTEST_GUILESS_MAIN(TestOptionLine)
#include "tst_optionline.moc"
