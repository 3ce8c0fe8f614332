// Text subtitles carried into the engine's output as streams of their own, on real media made
// with the ffmpeg tool and judged by ffprobe and ffmpeg's own reading of the cues: the codec each
// container holds, the language and title tags, the cue texts and times, and the refusals.

#include "conversion/conversionengine.h"
#include "conversion/streammerge.h"
#include "conversion/subtitletext.h"
#include "enginetesting.h"
#include "testenvironment.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using namespace EngineTesting;

namespace {

// The subtitle streams as "codec language title", in order.
QStringList SubtitleStreams(const QString& path) {
    const QJsonObject root =
        QJsonDocument::fromJson(
            RunTool(TestSupport::FfprobePath(),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                     QStringLiteral("s"), QStringLiteral("-show_streams"), QStringLiteral("-of"),
                     QStringLiteral("json"), path}))
            .object();
    QStringList streams;
    for (const QJsonValue& value : root.value(QLatin1String("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        const QJsonObject tags = stream.value(QLatin1String("tags")).toObject();
        QString title = tags.value(QLatin1String("title")).toString();
        if (title.isEmpty())
            title = tags.value(QLatin1String("handler_name")).toString();
        streams.append(QStringLiteral("%1 %2 %3")
                           .arg(stream.value(QLatin1String("codec_name")).toString(),
                                tags.value(QLatin1String("language")).toString(), title));
    }
    return streams;
}

// The cues of the file's subtitle stream, as ffmpeg reads them back.
QList<SubtitleCue> CuesOf(const QString& path, int stream) {
    const QByteArray srt = RunTool(TestSupport::FfmpegPath(),
                                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                    QStringLiteral("-map"), QStringLiteral("0:s:%1").arg(stream),
                                    QStringLiteral("-f"), QStringLiteral("srt"), QStringLiteral("-")});
    QList<SubtitleCue> cues;
    ReadSubtitleText(srt, cues, nullptr);
    return cues;
}

} // namespace

class TestEngineSubtitles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void eachContainerTakesItsTextCodec_data();
    void eachContainerTakesItsTextCodec();
    void refusalsReachTheSinkAndLeaveNothing();

private:
    QString MakeVideo(const QString& name, const QStringList& codecs);
    QString WriteSubtitles(const QString& name, const QList<SubtitleCue>& cues);

    QTemporaryDir folder_;
    ConversionEngine engine_;
    QList<SubtitleCue> english_{{500, 1500, QStringLiteral("Hello <i>there</i>")},
                                {1600, 2400, QStringLiteral("Two\nlines")}};
    QList<SubtitleCue> german_{{200, 1200, QStringLiteral("Grüß dich")}};
};

QString TestEngineSubtitles::MakeVideo(const QString& name, const QStringList& codecs) {
    const QString path = folder_.filePath(name);
    QStringList args{QStringLiteral("-v"),
                     QStringLiteral("error"),
                     QStringLiteral("-y"),
                     QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("testsrc=size=160x120:rate=25:duration=3"),
                     QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("sine=duration=3")};
    RunTool(TestSupport::FfmpegPath(), args + codecs + QStringList{path});
    return path;
}

QString TestEngineSubtitles::WriteSubtitles(const QString& name, const QList<SubtitleCue>& cues) {
    const QString path = folder_.filePath(name);
    WriteFile(path, WriteSubRip(cues));
    return path;
}

void TestEngineSubtitles::initTestCase() {
    QVERIFY(folder_.isValid());
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    QVERIFY(engine_.TakesSubtitles());
}

void TestEngineSubtitles::eachContainerTakesItsTextCodec_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("codecs");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("textCodec");

    const QStringList h264{QStringLiteral("-c:v"),      QStringLiteral("libx264"), QStringLiteral("-preset"),
                           QStringLiteral("ultrafast"), QStringLiteral("-c:a"),    QStringLiteral("aac")};
    const QStringList vp9{QStringLiteral("-c:v"),      QStringLiteral("libvpx-vp9"),
                          QStringLiteral("-deadline"), QStringLiteral("realtime"),
                          QStringLiteral("-cpu-used"), QStringLiteral("8"),
                          QStringLiteral("-c:a"),      QStringLiteral("libopus")};
    QTest::newRow("MP4: mov_text") << "h264.mp4" << h264 << ".mp4"
                                   << "mov_text";
    QTest::newRow("Matroska: SubRip") << "h264.mkv" << h264 << ".mkv"
                                      << "subrip";
    QTest::newRow("WebM: WebVTT") << "vp9.webm" << vp9 << ".webm"
                                  << "webvtt";
}

void TestEngineSubtitles::eachContainerTakesItsTextCodec() {
    QFETCH(QString, source);
    QFETCH(QStringList, codecs);
    QFETCH(QString, extension);
    QFETCH(QString, textCodec);
    const QString input = MakeVideo(source, codecs);
    const QList<SubtitleStream> subtitles{
        {WriteSubtitles(QStringLiteral("en.srt"), english_), QStringLiteral("eng"),
         QStringLiteral("English")},
        {WriteSubtitles(QStringLiteral("de.srt"), german_), QStringLiteral("ger"), QStringLiteral("German")}};
    const QString output = folder_.filePath(QStringLiteral("with subtitles") + extension);
    RecordingSink sink;
    // The working file of a job has a hidden name that tells no container: the extension does.
    QCOMPARE(CopyWithExtras(engine_, input, output, extension, subtitles, nullptr, &sink), 0);

    const QStringList streams = SubtitleStreams(output);
    QCOMPARE(streams.size(), 2);
    QVERIFY2(streams[0].startsWith(textCodec + QStringLiteral(" eng")), qPrintable(streams.join(u'|')));
    QVERIFY2(streams[1].startsWith(textCodec + QStringLiteral(" ger")), qPrintable(streams.join(u'|')));
    if (extension != QLatin1String(".mp4")) // MP4 names its tracks by handler, not title
        QVERIFY2(streams[0].endsWith(QStringLiteral("English")), qPrintable(streams[0]));

    const QList<SubtitleCue> english = CuesOf(output, 0);
    QCOMPARE(english.size(), english_.size());
    const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    for (int i = 0; i < english.size(); ++i) {
        // Styles survive where the codec keeps them; the words always do.
        QCOMPARE(QString(english[i].text).remove(tags), QString(english_[i].text).remove(tags));
        QVERIFY(qAbs(english[i].startMs - english_[i].startMs) <= 10);
        QVERIFY(qAbs(english[i].endMs - english_[i].endMs) <= 10);
    }
    QCOMPARE(CuesOf(output, 1).value(0).text, german_[0].text);
    // The picture and the sound are there as before.
    const ProbedFile probed = ProbeWithFfprobe(output);
    QVERIFY2(probed.duration > 2.5, qPrintable(output));
}

void TestEngineSubtitles::refusalsReachTheSinkAndLeaveNothing() {
    const QString input =
        MakeVideo(QStringLiteral("plain.mp4"), {QStringLiteral("-c:v"), QStringLiteral("mpeg4"),
                                                QStringLiteral("-c:a"), QStringLiteral("aac")});
    const QString good = WriteSubtitles(QStringLiteral("good.srt"), english_);
    const QString notSubtitles = folder_.filePath(QStringLiteral("not subtitles.srt"));
    QVERIFY(WriteFile(notSubtitles, QByteArray(4096, '\x7f')));
    const struct {
        const char* name;
        QString extension;
        QString subtitle;
        const char* saying;
    } cases[] = {
        {"a container without text subtitles", QStringLiteral(".avi"), good, "holds no subtitles"},
        {"a file that holds no subtitles", QStringLiteral(".mkv"), notSubtitles, "subtitles"},
        {"a missing file", QStringLiteral(".mkv"), folder_.filePath(QStringLiteral("gone.srt")), "subtitles"},
    };
    for (const auto& c : cases) {
        const QString output = folder_.filePath(QStringLiteral("refused") + c.extension);
        RecordingSink sink;
        QVERIFY2(
            CopyWithExtras(engine_, input, output, c.extension, {{c.subtitle, {}, {}}}, nullptr, &sink) != 0,
            c.name);
        QVERIFY2(sink.Failure().contains(QLatin1String(c.saying)), qPrintable(sink.Failure()));
        QVERIFY2(QDir(folder_.path()).entryList({QStringLiteral("refused*")}, QDir::Files).isEmpty(), c.name);
    }
}

QTEST_GUILESS_MAIN(TestEngineSubtitles)
#include "tst_enginesubtitles.moc"
