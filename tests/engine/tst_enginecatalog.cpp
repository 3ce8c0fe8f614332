// Every factory preset of every output format, converted by the real engine through the real
// binding with the option line the conversion job builds, then checked with ffprobe against
// what Resolve chose for the source.

#include "catalogtesting.h"
#include "conversion/conversionengine.h"
#include "conversion/conversionjob.h"
#include "conversion/conversionparams.h"
#include "conversion/formatcatalog.h"
#include "conversion/mediainfo.h"
#include "enginetesting.h"
#include "mediafixtures.h"
#include "testenvironment.h"

#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using namespace EngineTesting;

namespace {

// What ffprobe calls the streams the engine's old names make.
QString ProbedCodecName(const QString& engineName) {
    static const QHash<QString, QString> renamed{
        {QStringLiteral("libfaac"), QStringLiteral("aac")},
        {QStringLiteral("libamr_nb"), QStringLiteral("amr_nb")},
        {QStringLiteral("libamr_wb"), QStringLiteral("amr_wb")},
        {QStringLiteral("libmp3lame"), QStringLiteral("mp3")},
        {QStringLiteral("libx264"), QStringLiteral("h264")},
        {QStringLiteral("libxvid"), QStringLiteral("mpeg4")},
        {QStringLiteral("flv"), QStringLiteral("flv1")},
    };
    return renamed.value(engineName, engineName);
}

// ffprobe's format name for the container, and the major brand an ISO file must carry.
struct ExpectedContainer {
    QString formatName;
    QStringList brands;
};

ExpectedContainer ContainerFor(const QString& container) {
    const QString iso = QStringLiteral("mov,mp4,m4a,3gp,3g2,mj2");
    static const QHash<QString, ExpectedContainer> table{
        {QStringLiteral("mp4"), {iso, {QStringLiteral("isom"), QStringLiteral("3gp4")}}},
        {QStringLiteral("psp"), {iso, {QStringLiteral("MSNV")}}},
        {QStringLiteral("3gp"),
         {iso, {QStringLiteral("3gp4"), QStringLiteral("3gp5"), QStringLiteral("3gp6")}}},
        {QStringLiteral("3g2"), {iso, {QStringLiteral("3g2a")}}},
        {QStringLiteral("mov"), {iso, {QStringLiteral("qt  ")}}},
        {QStringLiteral("mpeg"), {QStringLiteral("mpeg"), {}}},
        {QStringLiteral("vob"), {QStringLiteral("mpeg"), {}}},
        {QStringLiteral("wma"), {QStringLiteral("asf"), {}}},
        {QStringLiteral("aac"), {QStringLiteral("aac"), {}}},
    };
    return table.value(container, ExpectedContainer{container, {}});
}

} // namespace

class TestEngineCatalog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyPreset_data();
    void everyPreset();

private:
    QTemporaryDir folder_;
    ConversionEngine engine_;
    Catalog catalog_;
    QString source_;
    std::optional<SourceVideo> sourceVideo_;
    std::optional<SourceAudio> sourceAudio_;
};

void TestEngineCatalog::initTestCase() {
    QVERIFY(folder_.isValid());
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    // A small source: conversions run in a fraction of a second each.
    source_ = folder_.filePath(QStringLiteral("source clip.flv"));
    TestSupport::FixtureContents contents;
    contents.seconds = 1.5;
    QString error;
    QVERIFY2(TestSupport::MakeMediaFixture(source_, contents, &error), qPrintable(error));

    MediaInfo info;
    QVERIFY(engine_.Probe(source_, info));
    const VarnexStreamRecord* video = info.FirstStream(VARNEX_STREAM_VIDEO);
    const VarnexStreamRecord* audio = info.FirstStream(VARNEX_STREAM_AUDIO);
    QVERIFY(video != nullptr && audio != nullptr);
    sourceVideo_ =
        SourceVideo{video->values.video.frameRateNumerator, video->values.video.frameRateDenominator,
                    video->values.video.bitRate, video->values.video.width, video->values.video.height};
    sourceAudio_ = SourceAudio{audio->values.audio.sampleRate, audio->values.audio.bitRate,
                               audio->values.audio.channels};

    catalog_ = TestSupport::FactoryCatalog();
}

void TestEngineCatalog::everyPreset_data() {
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("preset");
    // The data function runs before initTestCase: walk a catalogue of its own.
    Catalog catalog = BuildCatalog();
    for (int g = 0; g < int(catalog.size()); ++g) {
        for (int f = 0; f < int(catalog[g]->formats.size()); ++f) {
            OutputFormat& format = *catalog[g]->formats[f];
            format.ResetToFactory();
            for (int p = 0; p < int(format.presets.size()); ++p) {
                const QString name = format.displayName + QStringLiteral(" / ") +
                                     QString::fromUtf8(format.presets[p]->settings.name);
                QTest::newRow(qPrintable(name)) << g << f << p;
            }
        }
    }
}

void TestEngineCatalog::everyPreset() {
    QFETCH(int, group);
    QFETCH(int, format);
    QFETCH(int, preset);
    const OutputFormat& outputFormat = *catalog_[group]->formats[format];
    const Preset& chosen = *outputFormat.presets[preset];
    const QString output = folder_.filePath(QStringLiteral("converted %1-%2-%3%4")
                                                .arg(group)
                                                .arg(format)
                                                .arg(preset)
                                                .arg(outputFormat.extension));

    ConversionParams params;
    QVERIFY(PrepareParams(engine_, params, source_, output, chosen));
    RecordingSink sink;
    const int result = engine_.Convert(BuildCommandLine(params), &sink);
    QVERIFY2(result == 0, qPrintable(BuildCommandLine(params) + QStringLiteral(": ") + sink.Failure()));

    ConversionSettings resolved = ZeroSettings();
    outputFormat.Resolve(resolved, chosen, sourceVideo_, sourceAudio_);
    const ProbedFile probed = ProbeWithFfprobe(output);
    QVERIFY(probed.ok);

    const ExpectedContainer container = ContainerFor(outputFormat.container);
    QCOMPARE(probed.formatName, container.formatName);
    if (!container.brands.isEmpty())
        QVERIFY2(container.brands.contains(probed.brand), qPrintable(probed.brand));

    const bool video = outputFormat.HasVideo() && !(resolved.flags & ConversionSettings::VideoDisabled);
    QCOMPARE(probed.video.size(), video ? 1 : 0);
    if (video) {
        const ProbedStream& stream = probed.video.first();
        QCOMPARE(stream.codec, ProbedCodecName(QString::fromUtf8(resolved.videoCodec)));
        QCOMPARE(stream.width, resolved.width);
        QCOMPARE(stream.height, resolved.height);
        QVERIFY2(qAbs(stream.frameRate - double(resolved.frameRateNum) / resolved.frameRateDen) < 0.01,
                 qPrintable(QString::number(stream.frameRate)));
    }
    const bool audio = outputFormat.HasAudio() && !(resolved.flags & ConversionSettings::AudioDisabled);
    QCOMPARE(probed.audio.size(), audio ? 1 : 0);
    if (audio) {
        const ProbedStream& stream = probed.audio.first();
        QCOMPARE(stream.codec, ProbedCodecName(QString::fromUtf8(resolved.audioCodec)));
        QCOMPARE(stream.sampleRate, resolved.sampleRate);
        QCOMPARE(stream.channels, resolved.channels);
    }
    // SWF files state no length of their own.
    if (outputFormat.container != QLatin1String("swf"))
        QVERIFY2(probed.duration > 1.2 && probed.duration < 1.9,
                 qPrintable(QString::number(probed.duration)));
}

QTEST_GUILESS_MAIN(TestEngineCatalog)
#include "tst_enginecatalog.moc"
