// The real engine converting real media through the real binding: notifications, stop,
// overwrite, the options beyond the presets, failures with their texts, and damaged inputs.

#include "conversion/conversionengine.h"
#include "conversion/mediainfo.h"
#include "enginetesting.h"
#include "mediafixtures.h"
#include "testenvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using namespace Tarnwick;
using namespace EngineTesting;
using TestSupport::FixtureContents;

class TestEngineConvert : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void notifiesProgressAndResult();
    void stopRemovesPartialOutput();
    void overwriteOnlyWithY();
    void failuresNameTheirCause_data();
    void failuresNameTheirCause();
    void damagedInputs_data();
    void damagedInputs();
    void partialSources_data();
    void partialSources();
    void optionsBeyondPresets_data();
    void optionsBeyondPresets();
    void probeReadsOwnOutputExactly();
    void conversionsSideBySide();

private:
    QString Path(const QString& name) const { return folder_.filePath(name); }
    QString Make(const QString& name, FixtureContents contents);
    // " encoder -i "<input>" <options> "<output>"", paths quoted as the job quotes them.
    static QString Line(const QString& input, const QString& options, const QString& output);

    QTemporaryDir folder_;
    ConversionEngine engine_;
    QString both_;      // 3 s, 320x240 at 25 fps, 22050 Hz mono
    QString videoOnly_; // 2 s
    QString audioOnly_; // 2 s, 44100 Hz stereo
};

QString TestEngineConvert::Make(const QString& name, FixtureContents contents) {
    const QString path = Path(name);
    QString error;
    if (!TestSupport::MakeMediaFixture(path, contents, &error))
        qWarning("fixture %s: %s", qPrintable(name), qPrintable(error));
    return path;
}

QString TestEngineConvert::Line(const QString& input, const QString& options, const QString& output) {
    return QStringLiteral(" encoder -i \"%1\" %2 \"%3\"").arg(input, options, output);
}

void TestEngineConvert::initTestCase() {
    QVERIFY(folder_.isValid());
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    FixtureContents contents;
    contents.seconds = 3;
    both_ = Make(QStringLiteral("both.flv"), contents);
    contents.seconds = 2;
    contents.audio = false;
    videoOnly_ = Make(QStringLiteral("video only.flv"), contents);
    contents.audio = true;
    contents.video = false;
    contents.sampleRate = 44100;
    contents.channels = 2;
    audioOnly_ = Make(QStringLiteral("audio only.mp4"), contents);
    QVERIFY(QFileInfo::exists(both_) && QFileInfo::exists(videoOnly_) && QFileInfo::exists(audioOnly_));
}

void TestEngineConvert::notifiesProgressAndResult() {
    const QString output = Path(QStringLiteral("progress.3gp"));
    RecordingSink sink;
    const QString options =
        QStringLiteral("-f 3gp -vcodec h263 -s 176x144 -r 15/1 -b 128000 -acodec libamr_nb -ac 1 "
                       "-ar 8000 -ab 12200 -y");
    QCOMPARE(engine_.Convert(Line(both_, options, output), &sink), 0);
    QCOMPARE(sink.begins, 1);
    QCOMPARE(sink.ends, 1);
    QVERIFY2(qAbs(sink.total - 3000) <= 100, qPrintable(QString::number(sink.total)));
    QVERIFY(!sink.positions.isEmpty());
    for (qsizetype i = 1; i < sink.positions.size(); ++i)
        QVERIFY(sink.positions[i] >= sink.positions[i - 1]);
    QVERIFY2(qAbs(sink.positions.last() - sink.total) <= 150,
             qPrintable(QString::number(sink.positions.last())));
    QVERIFY(!sink.activities.isEmpty());
    QVERIFY2(sink.activities.last().contains(QStringLiteral("speed")), qPrintable(sink.activities.last()));
    QCOMPARE(sink.results, QStringList{QString()}); // an empty result text: success
}

void TestEngineConvert::stopRemovesPartialOutput() {
    FixtureContents contents;
    contents.seconds = 20;
    contents.width = 640;
    contents.height = 360;
    const QString longer = Make(QStringLiteral("longer.flv"), contents);
    // A stopped conversion must not cost the file that -y would have replaced.
    const QString output = Path(QStringLiteral("stopped.mp4"));
    QVERIFY(WriteFile(output, "the earlier conversion"));
    RecordingSink sink;
    // Stop once some of the output is written.
    sink.stopWhen = [](const RecordingSink& s) {
        return !s.positions.isEmpty() && s.positions.last() > 0;
    };
    const int result = engine_.Convert(
        Line(longer, QStringLiteral("-f mp4 -vcodec libx264 -acodec libfaac -y"), output), &sink);
    QVERIFY(result != 0);
    QCOMPARE(sink.ends, 1);
    QVERIFY2(sink.Failure().contains(QStringLiteral("stopped")), qPrintable(sink.Failure()));
    QVERIFY2(sink.positions.last() < 20000, "the stop came before the end");
    QCOMPARE(ReadFile(output), QByteArray("the earlier conversion"));
    QCOMPARE(QDir(folder_.path()).entryList({QStringLiteral("*partial*")}, QDir::Files), QStringList());
}

void TestEngineConvert::overwriteOnlyWithY() {
    const QString output = Path(QStringLiteral("existing.mp3"));
    QVERIFY(WriteFile(output, "keep me"));
    RecordingSink refused;
    QVERIFY(engine_.Convert(Line(both_, QStringLiteral("-f mp3 -vn -acodec libmp3lame"), output), &refused) !=
            0);
    QVERIFY2(refused.Failure().contains(QStringLiteral("exists")), qPrintable(refused.Failure()));
    QCOMPARE(ReadFile(output), QByteArray("keep me"));

    RecordingSink overwritten;
    QCOMPARE(engine_.Convert(Line(both_, QStringLiteral("-f mp3 -vn -acodec libmp3lame -y"), output),
                             &overwritten),
             0);
    const ProbedFile probed = ProbeWithFfprobe(output);
    QCOMPARE(probed.formatName, QStringLiteral("mp3"));
    QCOMPARE(probed.audio.size(), 1);
}

void TestEngineConvert::failuresNameTheirCause_data() {
    QTest::addColumn<QString>("input"); // "both", "video", "missing"
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("named");

    QTest::newRow("no encoder for msmpeg4v1") << "both"
                                              << "-f avi -vcodec msmpeg4v1 -acodec libmp3lame -y"
                                              << "msmpeg4v1";
    QTest::newRow("H.263 refuses the size, in its own words")
        << "both"
        << "-f 3g2 -vcodec h263 -s 320x240 -acodec libamr_nb -y"
        << "picture size";
    QTest::newRow("AMR at 44100 Hz") << "both"
                                     << "-f amr -vn -acodec libamr_nb -ar 44100 -y"
                                     << "8000 Hz";
    QTest::newRow("a pixel format the encoder cannot take") << "both"
                                                            << "-f mp4 -vcodec libx264 -pix_fmt rgb565 -y"
                                                            << "pixel format";
    QTest::newRow("unknown container") << "both"
                                       << "-f nosuch -y"
                                       << "nosuch";
    QTest::newRow("unknown option") << "both"
                                    << "-deinterlace -y"
                                    << "-deinterlace";
    QTest::newRow("bad number") << "both"
                                << "-b fast -y"
                                << "-b";
    QTest::newRow("missing input") << "missing"
                                   << "-f mp3 -y"
                                   << "Cannot open the input";
    QTest::newRow("audio-only output of a silent source") << "video"
                                                          << "-f mp3 -vn -acodec libmp3lame -y"
                                                          << "no audio stream";
}

void TestEngineConvert::failuresNameTheirCause() {
    QFETCH(QString, input);
    QFETCH(QString, options);
    QFETCH(QString, named);
    const QString source = input == QLatin1String("both")    ? both_
                           : input == QLatin1String("video") ? videoOnly_
                                                             : Path(QStringLiteral("missing.flv"));
    const QString output =
        Path(QStringLiteral("failed %1.out").arg(QString::fromUtf8(QTest::currentDataTag())));
    RecordingSink sink;
    QVERIFY(engine_.Convert(Line(source, options, output), &sink) != 0);
    QCOMPARE(sink.begins, 1);
    QCOMPARE(sink.ends, 1);
    QVERIFY2(sink.Failure().contains(named), qPrintable(sink.Failure()));
    QVERIFY(!QFileInfo::exists(output));
    QCOMPARE(QDir(folder_.path()).entryList({QStringLiteral("*partial*")}, QDir::Files), QStringList());
}

void TestEngineConvert::damagedInputs_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("container");
    QTest::addColumn<bool>("mustFail");

    QTest::newRow("empty") << "empty"
                           << "flv" << true;
    QTest::newRow("random bytes") << "random"
                                  << "flv" << true;
    QTest::newRow("header only, no streams") << "header"
                                             << "flv" << true;
    QTest::newRow("flv cut at 40%") << "truncate"
                                    << "flv" << true;
    QTest::newRow("mp4 cut at 40%") << "truncate"
                                    << "mp4" << true;
    QTest::newRow("flv with noise in the middle") << "noise"
                                                  << "flv" << false;
    QTest::newRow("mp4 with noise in the middle") << "noise"
                                                  << "mp4" << false;
}

void TestEngineConvert::damagedInputs() {
    QFETCH(QString, damage);
    QFETCH(QString, container);
    QFETCH(bool, mustFail);

    FixtureContents contents;
    contents.seconds = 4;
    QString goodPath = Make(QStringLiteral("good.") + container, contents);
    if (damage == QLatin1String("index first")) {
        // The index survives the cut, so the file opens and states its full length.
        const QString indexFirst = Path(QStringLiteral("index first.mp4"));
        QCOMPARE(
            QProcess::execute(TestSupport::FfmpegPath(),
                              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                               QStringLiteral("-i"), goodPath, QStringLiteral("-c"), QStringLiteral("copy"),
                               QStringLiteral("-movflags"), QStringLiteral("+faststart"), indexFirst}),
            0);
        goodPath = indexFirst;
    }
    const QByteArray good = ReadFile(goodPath);
    QVERIFY(!good.isEmpty());
    QByteArray bytes;
    QRandomGenerator random(7);
    if (damage == QLatin1String("random")) {
        bytes.resize(64 * 1024);
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    } else if (damage == QLatin1String("header")) {
        bytes = QByteArray("FLV\x01\x05\x00\x00\x00\x09\x00\x00\x00\x00", 13);
    } else if (damage == QLatin1String("truncate") || damage == QLatin1String("index first")) {
        bytes = good.left(good.size() * 2 / 5);
    } else if (damage == QLatin1String("noise")) {
        bytes = good;
        for (qsizetype i = bytes.size() / 3; i < bytes.size() / 3 + 4096; ++i)
            bytes[i] = char(random.bounded(256));
    }
    const QString damaged = Path(QStringLiteral("damaged.") + container);
    QVERIFY(WriteFile(damaged, bytes));

    MediaInfo info;
    engine_.Probe(damaged, info); // any answer will do, as long as it comes back

    const QString output = Path(QStringLiteral("from damaged.3gp"));
    RecordingSink sink;
    const int result = engine_.Convert(
        Line(damaged, QStringLiteral("-f 3gp -vcodec h263 -s 176x144 -acodec libamr_nb -y"), output), &sink);
    QCOMPARE(sink.ends, 1);
    if (mustFail)
        QVERIFY2(result != 0, "a damaged input is not a success");
    if (result != 0) {
        QVERIFY(!sink.Failure().isEmpty());
        QVERIFY(!QFileInfo::exists(output));
        QCOMPARE(QDir(folder_.path()).entryList({QStringLiteral("*partial*")}, QDir::Files), QStringList());
    } else {
        QCOMPARE(ProbeWithFfprobe(output).video.size(), 1);
    }
}

void TestEngineConvert::partialSources_data() {
    QTest::addColumn<bool>("videoSource");
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("videoStreams");
    QTest::addColumn<int>("audioStreams");

    // A source without audio gets no audio options from the job: the output has video alone.
    QTest::newRow("video only to 3GP")
        << true << "-f 3gp -vcodec h263 -s 176x144 -r 15/1 -b 128000 -y" << 1 << 0;
    QTest::newRow("audio only to MP4")
        << false << "-f mp4 -acodec libfaac -ac 2 -ar 44100 -ab 128000 -y" << 0 << 1;
    QTest::newRow("audio only to AMR") << false << "-f amr -vn -acodec libamr_wb -y" << 0 << 1;
}

void TestEngineConvert::partialSources() {
    QFETCH(bool, videoSource);
    QFETCH(QString, options);
    QFETCH(int, videoStreams);
    QFETCH(int, audioStreams);
    const QString output =
        Path(QStringLiteral("partial %1.out").arg(QString::fromUtf8(QTest::currentDataTag())));
    RecordingSink sink;
    QVERIFY2(engine_.Convert(Line(videoSource ? videoOnly_ : audioOnly_, options, output), &sink) == 0,
             qPrintable(sink.Failure()));
    const ProbedFile probed = ProbeWithFfprobe(output);
    QCOMPARE(probed.video.size(), videoStreams);
    QCOMPARE(probed.audio.size(), audioStreams);
    QVERIFY2(probed.duration > 1.8 && probed.duration < 2.3, qPrintable(QString::number(probed.duration)));
}

void TestEngineConvert::optionsBeyondPresets_data() {
    QTest::addColumn<QString>("options"); // {both}, {video}, {audio}: the fixtures' paths
    QTest::addColumn<double>("duration");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<QString>("title");

    QTest::newRow("start and duration")
        << "-i \"{both}\" -ss 00:00:01.000 -t 00:00:01.000 -f avi -y" << 1.0 << 320 << 22050 << "";
    QTest::newRow("crop without a size keeps the cropped picture")
        << "-i \"{both}\" -cropleft 10 -cropright 30 -croptop 8 -f avi -y" << 3.0 << 280 << 22050 << "";
    QTest::newRow("metadata with blanks")
        << "-i \"{both}\" -title A Day Out -author Me -f mp4 -y" << 3.0 << 320 << 22050 << "A Day Out";
    QTest::newRow("picture of one input, sound of another half a second later")
        << "-i \"{video}\" -itsoffset 00:00:00.500 -i \"{audio}\" -map 0:0 -map 1:0 -f mp4 -y" << 2.5 << 320
        << 44100 << "";
}

void TestEngineConvert::optionsBeyondPresets() {
    QFETCH(QString, options);
    QFETCH(double, duration);
    QFETCH(int, width);
    QFETCH(int, sampleRate);
    QFETCH(QString, title);
    const QString output =
        Path(QStringLiteral("options %1.out").arg(QString::fromUtf8(QTest::currentDataTag())));
    options.replace(QStringLiteral("{both}"), both_)
        .replace(QStringLiteral("{video}"), videoOnly_)
        .replace(QStringLiteral("{audio}"), audioOnly_);
    const QString line = QStringLiteral(" encoder %1 \"%2\"").arg(options, output);
    RecordingSink sink;
    QVERIFY2(engine_.Convert(line, &sink) == 0, qPrintable(line + QStringLiteral(": ") + sink.Failure()));
    const ProbedFile probed = ProbeWithFfprobe(output);
    QVERIFY2(qAbs(probed.duration - duration) < 0.2, qPrintable(QString::number(probed.duration)));
    QCOMPARE(probed.video.size(), 1);
    QCOMPARE(probed.video.first().width, width);
    QCOMPARE(probed.audio.size(), 1);
    QCOMPARE(probed.audio.first().sampleRate, sampleRate);
    QCOMPARE(probed.title, title);
}

void TestEngineConvert::probeReadsOwnOutputExactly() {
    // An NTSC rate survives the round trip as its fraction, and a size limit is honoured.
    const QString output = Path(QStringLiteral("ntsc.mpg"));
    const qint64 limit = 200000;
    RecordingSink sink;
    const QString options =
        QStringLiteral("-fs %1 -f mpeg -vcodec mpeg1video -s 352x240 -r 30000/1001 -b 1150000 "
                       "-acodec mp2 -ac 2 -ar 44100 -ab 224000 -y")
            .arg(limit);
    QVERIFY2(engine_.Convert(Line(both_, options, output), &sink) == 0, qPrintable(sink.Failure()));
    QVERIFY2(QFileInfo(output).size() < limit + 64 * 1024,
             qPrintable(QString::number(QFileInfo(output).size())));

    MediaInfo info;
    QVERIFY(engine_.Probe(output, info));
    const VarnexStreamRecord* video = info.FirstStream(VARNEX_STREAM_VIDEO);
    const VarnexStreamRecord* audio = info.FirstStream(VARNEX_STREAM_AUDIO);
    QVERIFY(video != nullptr && audio != nullptr);
    QCOMPARE(video->values.video.frameRateNumerator, 30000);
    QCOMPARE(video->values.video.frameRateDenominator, 1001);
    QCOMPARE(video->values.video.width, 352);
    QCOMPARE(audio->values.audio.sampleRate, 44100);
    QCOMPARE(audio->values.audio.bitRate, 224000);
    QVERIFY(video->values.video.bitRate > 0);
}

namespace {

// A sink that, at its first progress, waits until every sink of its group has begun: with an
// engine that served one conversion at a time the others could not begin meanwhile.
class MeetingSink : public RecordingSink {
public:
    MeetingSink(std::atomic<int>& begun, int group)
        : begun_(begun)
        , group_(group) {}

    int Begin() override {
        ++begun_;
        return RecordingSink::Begin();
    }
    int Progress(int kind, int value) override {
        if (!waited_) {
            waited_ = true;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (begun_.load() < group_ && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            metTheOthers = begun_.load() >= group_;
        }
        return RecordingSink::Progress(kind, value);
    }

    bool metTheOthers = false;

private:
    std::atomic<int>& begun_;
    const int group_;
    bool waited_ = false;
};

} // namespace

void TestEngineConvert::conversionsSideBySide() {
    // Two conversions that must meet inside the engine, and a third that fails meanwhile: each
    // hears only its own notifications, the failure comes in its own words, and both files are
    // whole.
    std::atomic<int> begun{0};
    MeetingSink picture(begun, 2);
    MeetingSink sound(begun, 2);
    RecordingSink refused;
    const QString pictureOut = Path(QStringLiteral("side picture.3gp"));
    const QString soundOut = Path(QStringLiteral("side sound.mp3"));
    const QString refusedOut = Path(QStringLiteral("side refused.3g2"));
    int pictureResult = -99;
    int soundResult = -99;
    int refusedResult = -99;
    std::thread pictureThread([&] {
        pictureResult = engine_.Convert(
            Line(both_,
                 QStringLiteral(
                     "-f 3gp -vcodec h263 -s 176x144 -acodec libamr_nb -ac 1 -ar 8000 -ab 12200 -y"),
                 pictureOut),
            &picture);
    });
    std::thread soundThread([&] {
        soundResult = engine_.Convert(
            Line(audioOnly_, QStringLiteral("-f mp3 -vn -acodec libmp3lame -y"), soundOut), &sound);
    });
    std::thread refusedThread([&] {
        refusedResult = engine_.Convert(
            Line(both_, QStringLiteral("-f 3g2 -vcodec h263 -s 320x240 -acodec libamr_nb -y"), refusedOut),
            &refused);
    });
    pictureThread.join();
    soundThread.join();
    refusedThread.join();

    QVERIFY2(picture.metTheOthers && sound.metTheOthers, "the two conversions never ran at once");
    QCOMPARE(pictureResult, 0);
    QCOMPARE(soundResult, 0);
    QVERIFY(refusedResult != 0);
    for (const RecordingSink* sink :
         {static_cast<RecordingSink*>(&picture), static_cast<RecordingSink*>(&sound), &refused}) {
        QCOMPARE(sink->begins, 1);
        QCOMPARE(sink->ends, 1);
    }
    QCOMPARE(picture.results, QStringList{QString()});
    QCOMPARE(sound.results, QStringList{QString()});
    QVERIFY2(refused.Failure().contains(QStringLiteral("picture size")), qPrintable(refused.Failure()));
    QVERIFY2(qAbs(picture.total - 3000) <= 100, qPrintable(QString::number(picture.total)));
    QVERIFY2(qAbs(sound.total - 2000) <= 100, qPrintable(QString::number(sound.total)));
    QVERIFY(picture.positions.last() <= picture.total + 150 && sound.positions.last() <= sound.total + 150);
    QCOMPARE(ProbeWithFfprobe(pictureOut).video.size(), 1);
    QCOMPARE(ProbeWithFfprobe(soundOut).audio.size(), 1);
    QVERIFY(!QFileInfo::exists(refusedOut));
}

QTEST_GUILESS_MAIN(TestEngineConvert)
#include "tst_engineconvert.moc"
