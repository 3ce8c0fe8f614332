#include "conversion/conversionengine.h"
#include "conversion/mediainfo.h"
#include "queue/progresssink.h"
#include "recordingengine.h"

#include <QTemporaryFile>
#include <QTest>
#include <cstring>
#include <dlfcn.h>

using namespace Tarnwick;

namespace {

// A sink that writes down every call, in order.
class RecordingSink : public ProgressSink {
public:
    QStringList calls;
    int cancelAnswer = 0;

    int Begin() override { return record(QStringLiteral("Begin")); }
    int End() override { return record(QStringLiteral("End")); }
    int Progress(int kind, int value) override {
        return record(QStringLiteral("Progress %1 %2").arg(kind).arg(value));
    }
    int Status(int kind, const QString& text) override {
        return record(QStringLiteral("Status %1 %2").arg(kind).arg(text));
    }
    int IsCancelled() override {
        calls << QStringLiteral("IsCancelled");
        return cancelAnswer;
    }

private:
    int record(const QString& call) {
        calls << call;
        return 0;
    }
};

} // namespace

class TestConversionEngine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void openShakesHands();
    void openFailsAndUnloads_data();
    void openFailsAndUnloads();
    void libraryWithoutEntryPointIsRefused();
    void missingLibraryReportsTheSystemText();
    void probeReloadsAndSortsStreams();
    void probeOfMissingFileFails();
    void convertForwardsNotifications_data();
    void convertForwardsNotifications();
    void convertWithoutSinkPassesNoFunction();
    void nothingLoadedAnswersMinusOne();
    void allocationFunction();

private:
    QList<int> Commands() const;
    void Reset(const RecordingScript& script);

    void* library_ = nullptr;
    RecordingResetFunction reset_ = nullptr;
    RecordingCountFunction count_ = nullptr;
    RecordingAtFunction at_ = nullptr;
    RecordingTextFunction lastText_ = nullptr;
    RecordingAnswersFunction answers_ = nullptr;
};

static const RecordingScript HealthyEngine{0, VARNEX_INTERFACE_VERSION, 0, 0, 0};

void TestConversionEngine::initTestCase() {
    // Holding our own reference keeps the recording alive across the binding's reloads.
    library_ = dlopen(RECORDING_ENGINE_PATH, RTLD_NOW);
    QVERIFY2(library_ != nullptr, dlerror());
    reset_ = reinterpret_cast<RecordingResetFunction>(dlsym(library_, "RecordingReset"));
    count_ = reinterpret_cast<RecordingCountFunction>(dlsym(library_, "RecordingCount"));
    at_ = reinterpret_cast<RecordingAtFunction>(dlsym(library_, "RecordingAt"));
    lastText_ = reinterpret_cast<RecordingTextFunction>(dlsym(library_, "RecordingLastText"));
    answers_ = reinterpret_cast<RecordingAnswersFunction>(dlsym(library_, "RecordingAnswers"));
    QVERIFY(reset_ && count_ && at_ && lastText_ && answers_);
}

void TestConversionEngine::cleanupTestCase() {
    dlclose(library_);
}

void TestConversionEngine::init() {
    Reset(HealthyEngine);
}

void TestConversionEngine::Reset(const RecordingScript& script) {
    reset_(&script);
}

QList<int> TestConversionEngine::Commands() const {
    QList<int> commands;
    for (int i = 0; i < count_(); ++i)
        commands << at_(i)->command;
    return commands;
}

void TestConversionEngine::openShakesHands() {
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    QVERIFY(engine.IsOpen());
    QCOMPARE(Commands(), (QList<int>{101, 102}));
    QCOMPARE(at_(0)->arg, intptr_t(1));
    QCOMPARE(at_(0)->dataWord0, 48u);
    QCOMPARE(at_(1)->arg, intptr_t(0));
    QCOMPARE(at_(1)->dataWord0, uint32_t(sizeof(VarnexInitBlock)));

    engine.Close();
    QCOMPARE(Commands(), (QList<int>{101, 102, 103}));
    QVERIFY(!engine.IsOpen());
}

void TestConversionEngine::openFailsAndUnloads_data() {
    QTest::addColumn<int>("queryResult");
    QTest::addColumn<uint>("version");
    QTest::addColumn<int>("initResult");
    QTest::addColumn<QList<int>>("commands");

    QTest::newRow("query refused") << -1 << uint(VARNEX_INTERFACE_VERSION) << 0 << QList<int>{101};
    QTest::newRow("newer version") << 0 << uint(VARNEX_INTERFACE_VERSION + 1) << 0 << QList<int>{101};
    QTest::newRow("no version written") << 0 << 0u << 0 << QList<int>{101};
    QTest::newRow("init refused") << 0 << uint(VARNEX_INTERFACE_VERSION) << 5 << QList<int>{101, 102};
}

void TestConversionEngine::openFailsAndUnloads() {
    QFETCH(int, queryResult);
    QFETCH(uint, version);
    QFETCH(int, initResult);
    QFETCH(QList<int>, commands);

    Reset({queryResult, version, initResult, 0, 0});
    ConversionEngine engine;
    QVERIFY(!engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    QVERIFY(!engine.IsOpen());
    QCOMPARE(Commands(), commands);
    // An engine that failed to open is not sent a close.
    engine.Close();
    QCOMPARE(Commands(), commands);
}

void TestConversionEngine::libraryWithoutEntryPointIsRefused() {
    QStringList reported;
    ConversionEngine engine([&](const QString& text) { reported << text; });
    QVERIFY(!engine.Load(QStringLiteral(BROKEN_ENGINE_PATH)));
    QVERIFY(!engine.IsOpen());
    QVERIFY(reported.isEmpty());
}

void TestConversionEngine::missingLibraryReportsTheSystemText() {
    QStringList reported;
    ConversionEngine engine([&](const QString& text) { reported << text; });
    QVERIFY(!engine.Open(QStringLiteral("/nonexistent/folder/libvarnex1.so")));
    QCOMPARE(reported.size(), 1);
    QVERIFY2(reported.first().contains(QStringLiteral("/nonexistent/folder/libvarnex1.so")),
             qPrintable(reported.first()));
}

void TestConversionEngine::probeReloadsAndSortsStreams() {
    QTemporaryFile file;
    QVERIFY(file.open());
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    MediaInfo info;
    QVERIFY(engine.Probe(file.fileName(), info));
    QCOMPARE(Commands(), (QList<int>{101, 102, 103, 101, 102, 302}));
    QCOMPARE(QString::fromUtf8(lastText_()), file.fileName());
    QCOMPARE(at_(5)->arg, reinterpret_cast<intptr_t>(info.Block()));

    QCOMPARE(info.StreamCount(), 3);
    QCOMPARE(info.Stream(0).type, int(VARNEX_STREAM_AUDIO));
    QCOMPARE(info.Stream(0).values.audio.sampleRate, 22);
    QCOMPARE(info.Stream(1).values.video.frameRateNumerator, 11);
    QCOMPARE(info.Stream(2).values.video.frameRateNumerator, 33);
    QCOMPARE(info.FirstStream(VARNEX_STREAM_VIDEO)->values.video.frameRateNumerator, 11);

    Reset({0, VARNEX_INTERFACE_VERSION, 0, 7, 0});
    QVERIFY(!engine.Probe(file.fileName(), info));
}

void TestConversionEngine::probeOfMissingFileFails() {
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    MediaInfo info;
    QVERIFY(!engine.Probe(QStringLiteral("/nonexistent/file.flv"), info));
    QVERIFY(!Commands().contains(302));
}

void TestConversionEngine::convertForwardsNotifications_data() {
    QTest::addColumn<uint>("version");
    QTest::addColumn<int>("command");
    QTest::newRow("before version 4: no context") << uint(VARNEX_INTERFACE_VERSION_SIDE_BY_SIDE - 1) << 201;
    QTest::newRow("version 4: the sink as context") << uint(VARNEX_INTERFACE_VERSION_SIDE_BY_SIDE) << 202;
}

void TestConversionEngine::convertForwardsNotifications() {
    QFETCH(uint, version);
    QFETCH(int, command);
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    RecordingSink sink;
    sink.cancelAnswer = 1;
    Reset({0, version, 0, 0, 42});

    QCOMPARE(engine.Convert(QStringLiteral(" -i \"a b.flv\" out.mp4"), &sink), 42);
    QCOMPARE(Commands(), (QList<int>{103, 101, 102, command}));
    QCOMPARE(QString::fromUtf8(lastText_()), QStringLiteral(" -i \"a b.flv\" out.mp4"));
    if (command == 201)
        QCOMPARE(at_(3)->arg, reinterpret_cast<intptr_t>(&ConversionEngine::Notify));
    else
        QCOMPARE(at_(3)->dataWord0, uint32_t(sizeof(VarnexConvertBlock)));
    QCOMPARE(sink.calls,
             (QStringList{QStringLiteral("Begin"), QStringLiteral("Progress 1 5000"),
                          QStringLiteral("Progress 2 2500"), QStringLiteral("Status 4 00:00:01.000 reached"),
                          QStringLiteral("IsCancelled"), QStringLiteral("End")}));
    int count = 0;
    const int* answers = answers_(&count);
    // The sink's answers go back to the engine; an unknown code gets 1.
    QCOMPARE((QList<int>(answers, answers + count)), (QList<int>{0, 0, 0, 0, 1, 1, 0}));

    // After the conversion, a stray notification has no sink to reach.
    QCOMPARE(ConversionEngine::Notify(VARNEX_NOTIFY_BEGIN, 0, 0), 1);
}

void TestConversionEngine::convertWithoutSinkPassesNoFunction() {
    ConversionEngine engine;
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    QCOMPARE(engine.Convert(QStringLiteral(" x"), nullptr), 0);
    QCOMPARE(at_(count_() - 1)->command, int(VARNEX_CMD_CONVERT_WITH_CONTEXT));
    QCOMPARE(QString::fromUtf8(lastText_()), QStringLiteral(" x"));
    Reset({0, VARNEX_INTERFACE_VERSION_SIDE_BY_SIDE - 1, 0, 0, 0});
    QCOMPARE(engine.Convert(QStringLiteral(" x"), nullptr), 0);
    QCOMPARE(at_(count_() - 1)->command, int(VARNEX_CMD_CONVERT));
    QCOMPARE(at_(count_() - 1)->arg, intptr_t(0));
}

void TestConversionEngine::nothingLoadedAnswersMinusOne() {
    ConversionEngine engine;
    MediaInfo info;
    QCOMPARE(engine.Convert(QStringLiteral(" x"), nullptr), -1);
    QVERIFY(!engine.Probe(QStringLiteral(RECORDING_ENGINE_PATH), info));
    QVERIFY(Commands().isEmpty());

    // A reload that fails leaves the binding closed, and conversions answer -1.
    QVERIFY(engine.Open(QStringLiteral(RECORDING_ENGINE_PATH)));
    Reset({-1, VARNEX_INTERFACE_VERSION, 0, 0, 0});
    QCOMPARE(engine.Convert(QStringLiteral(" x"), nullptr), -1);
    QVERIFY(!engine.IsOpen());
}

void TestConversionEngine::allocationFunction() {
    VarnexInfoBlock block;
    std::memset(&block, 0, sizeof block);
    QCOMPARE(MediaInfo::Allocate(&block, 2), 0);
    QVERIFY(block.streams != nullptr);
    QCOMPARE(block.streams[1].type, 0);
    block.streams[1].type = 9;
    QCOMPARE(MediaInfo::Allocate(&block, 4), 0);
    QCOMPARE(block.streams[1].type, 0); // fresh zeroed records
    QCOMPARE(MediaInfo::Allocate(&block, 0), 0);
    QVERIFY(block.streams == nullptr);
    QCOMPARE(MediaInfo::Allocate(&block, -3), 0);
    QVERIFY(block.streams == nullptr);
}

QTEST_GUILESS_MAIN(TestConversionEngine)
#include "tst_conversionengine.moc"
