// Chapters carried into the engine's output, on real media made with the ffmpeg tool and read
// back by ffprobe: where each container keeps them, their titles and times on the output's
// clock, and the containers that have no place for them converting all the same.

#include "catalogtesting.h"
#include "conversion/conversionengine.h"
#include "conversion/conversionjob.h"
#include "conversion/mediatags.h"
#include "conversion/streammerge.h"
#include "enginetesting.h"
#include "mediafixtures.h"
#include "testenvironment.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using namespace EngineTesting;

namespace {

// Each chapter as "title start-end", the times in tenths of a second.
QStringList ChaptersOf(const QString& path) {
    const QJsonObject root =
        QJsonDocument::fromJson(
            RunTool(TestSupport::FfprobePath(),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_chapters"),
                     QStringLiteral("-of"), QStringLiteral("json"), path}))
            .object();
    QStringList chapters;
    for (const QJsonValue& value : root.value(QLatin1String("chapters")).toArray()) {
        const QJsonObject chapter = value.toObject();
        const auto tenths = [&](const char* key) {
            return qRound(chapter.value(QLatin1String(key)).toString().toDouble() * 10);
        };
        chapters.append(
            QStringLiteral("%1 %2-%3")
                .arg(chapter.value(QLatin1String("tags")).toObject().value(QLatin1String("title")).toString())
                .arg(tenths("start_time"))
                .arg(tenths("end_time")));
    }
    return chapters;
}

} // namespace

class TestEngineChapters : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void copiesKeepChapters_data();
    void copiesKeepChapters();
    void conversionsShiftAndCutThem_data();
    void conversionsShiftAndCutThem();

private:
    QTemporaryDir folder_;
    ConversionEngine engine_;
    QString video_;
    MediaTags tags_{
        QStringLiteral("Chaptered"),
        QString(),
        0,
        QString(),
        {{0, QStringLiteral("Intro")}, {1000, QStringLiteral("Middle")}, {2000, QStringLiteral("End")}},
        QString(),
        QString()};
};

void TestEngineChapters::initTestCase() {
    QVERIFY(folder_.isValid());
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    QVERIFY(engine_.TakesChapters());
    video_ = folder_.filePath(QStringLiteral("source.mp4"));
    TestSupport::FixtureContents contents;
    contents.width = 160;
    contents.height = 120;
    contents.seconds = 3.0;
    QString error;
    QVERIFY2(TestSupport::MakeMediaFixture(video_, contents, &error), qPrintable(error));
}

void TestEngineChapters::copiesKeepChapters_data() {
    QTest::addColumn<QString>("extension");
    QTest::newRow("MP4") << ".mp4";
    QTest::newRow("M4V") << ".m4v";
    QTest::newRow("Matroska") << ".mkv";
}

// A file delivered as it was downloaded is copied with its chapters, the last ending with it.
void TestEngineChapters::copiesKeepChapters() {
    QFETCH(QString, extension);
    QVERIFY(KeepsChapters(extension));
    const QString output = folder_.filePath(QStringLiteral("copied") + extension);
    RecordingSink sink;
    QCOMPARE(CopyWithExtras(engine_, video_, output, extension, {}, &tags_, &sink), 0);
    QCOMPARE(ChaptersOf(output), (QStringList{"Intro 0-10", "Middle 10-20", "End 20-30"}));
}

void TestEngineChapters::conversionsShiftAndCutThem_data() {
    QTest::addColumn<QString>("options"); // between the input and the output
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("chapters");
    QTest::newRow("MP3: ID3 chapters") << "-vn -acodec libmp3lame -f mp3"
                                       << ".mp3" << QStringList{"Intro 0-10", "Middle 10-20", "End 20-30"};
    QTest::newRow("started at 1.5 s: the middle one starts the output")
        << "-ss 1.5 -f matroska -vcodec mpeg4 -acodec aac"
        << ".mkv" << QStringList{"Middle 0-5", "End 5-15"};
    QTest::newRow("cut at 1.5 s: the end is left out") << "-t 1.5 -f matroska -vcodec mpeg4 -acodec aac"
                                                       << ".mkv" << QStringList{"Intro 0-10", "Middle 10-15"};
    QTest::newRow("AVI has no place for them") << "-f avi"
                                               << ".avi" << QStringList{};
}

void TestEngineChapters::conversionsShiftAndCutThem() {
    QFETCH(QString, options);
    QFETCH(QString, extension);
    QFETCH(QStringList, chapters);
    ConversionParams tagged;
    ApplyTags(tagged, tags_, engine_.TakesChapters());
    const QString output = folder_.filePath(QStringLiteral("converted") + extension);
    const QString line =
        QStringLiteral(" encoder -i %1 %2%3 -y %4")
            .arg(QuotedOptionText(video_), options, MetadataOptions(tagged), QuotedOptionText(output));
    RecordingSink sink;
    QVERIFY2(engine_.Convert(line, &sink) == 0, qPrintable(sink.Failure()));
    QCOMPARE(ChaptersOf(output), chapters);
}

QTEST_GUILESS_MAIN(TestEngineChapters)
#include "tst_enginechapters.moc"
