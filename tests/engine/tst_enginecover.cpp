// A cover picture attached to the engine's output, on real media and pictures made with the
// ffmpeg tool and read back by ffprobe: MP3 and the MP4 family keep it as it is, containers
// without a place for it convert without it, and a file that is no JPEG or PNG is refused.

#include "conversion/conversionengine.h"
#include "conversion/conversionparams.h"
#include "conversion/mediatags.h"
#include "conversion/streammerge.h"
#include "enginetesting.h"
#include "mediafixtures.h"
#include "testenvironment.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using namespace EngineTesting;

namespace {

// "codec widthxheight" of each attached picture.
QStringList AttachedPictures(const QString& path) {
    const QString shown = QString::fromUtf8(
        RunTool(TestSupport::FfprobePath(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_name,width,height:stream_disposition=attached_pic"),
                 QStringLiteral("-of"), QStringLiteral("csv=p=0"), path}));
    QStringList pictures;
    for (const QString& line : shown.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u',');
        if (fields.size() == 4 && fields[3] == QLatin1String("1"))
            pictures.append(QStringLiteral("%1 %2x%3").arg(fields[0], fields[1], fields[2]));
    }
    return pictures;
}

} // namespace

class TestEngineCover : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void containersThatKeepACoverGetIt_data();
    void containersThatKeepACoverGetIt();
    void aFileThatIsNoPictureIsRefused();

private:
    QString MakePicture(const QString& name);

    QTemporaryDir folder_;
    ConversionEngine engine_;
    QString video_;
};

QString TestEngineCover::MakePicture(const QString& name) {
    const QString path = folder_.filePath(name);
    RunTool(TestSupport::FfmpegPath(),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
             QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("color=red:size=64x48"),
             QStringLiteral("-frames:v"), QStringLiteral("1"), path});
    return path;
}

void TestEngineCover::initTestCase() {
    QVERIFY(folder_.isValid());
    QVERIFY(engine_.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    QVERIFY(engine_.TakesCovers());
    video_ = folder_.filePath(QStringLiteral("source.mp4"));
    TestSupport::FixtureContents contents;
    contents.width = 160;
    contents.height = 120;
    contents.seconds = 2.0;
    QString error;
    QVERIFY2(TestSupport::MakeMediaFixture(video_, contents, &error), qPrintable(error));
}

void TestEngineCover::containersThatKeepACoverGetIt_data() {
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("options"); // empty: a copy into the container of extension
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("attached");
    QTest::newRow("MP3, converted, JPEG") << "cover.jpg"
                                          << "-vn -acodec libmp3lame -f mp3"
                                          << ".mp3" << QStringList{"mjpeg 64x48"};
    QTest::newRow("MP4, copied, PNG") << "cover.png" << QString() << ".mp4" << QStringList{"png 64x48"};
    QTest::newRow("M4V, copied, JPEG") << "cover.jpg" << QString() << ".m4v" << QStringList{"mjpeg 64x48"};
    // Matroska keeps it as the attachment "cover.png", which readers show as its cover.
    QTest::newRow("Matroska, copied, as an attachment")
        << "cover.png" << QString() << ".mkv" << QStringList{"png 64x48"};
    QTest::newRow("AVI has no place for it") << "cover.jpg"
                                             << "-f avi"
                                             << ".avi" << QStringList{};
}

void TestEngineCover::containersThatKeepACoverGetIt() {
    QFETCH(QString, picture);
    QFETCH(QString, options);
    QFETCH(QString, extension);
    QFETCH(QStringList, attached);
    MediaTags tags;
    tags.title = QStringLiteral("Covered");
    tags.coverPath = MakePicture(picture);
    const QString output = folder_.filePath(QStringLiteral("covered") + extension);
    RecordingSink sink;
    if (options.isEmpty()) {
        QVERIFY(KeepsCover(extension));
        QCOMPARE(CopyWithExtras(engine_, video_, output, extension, {}, &tags, &sink), 0);
    } else {
        ConversionParams tagged;
        ApplyTags(tagged, tags, engine_.TakesCovers());
        const QString line =
            QStringLiteral(" encoder -i %1 %2%3 -y %4")
                .arg(QuotedOptionText(video_), options, MetadataOptions(tagged), QuotedOptionText(output));
        QVERIFY2(engine_.Convert(line, &sink) == 0, qPrintable(sink.Failure()));
    }
    QCOMPARE(AttachedPictures(output), attached);
    // The sound (and picture) are all there with it.
    QVERIFY2(ProbeWithFfprobe(output).duration > 1.5, qPrintable(output));
}

void TestEngineCover::aFileThatIsNoPictureIsRefused() {
    const QString notAPicture = folder_.filePath(QStringLiteral("cover.jpg.txt"));
    QVERIFY(WriteFile(notAPicture, QByteArray("not a picture at all\n").repeated(50)));
    MediaTags tags;
    tags.coverPath = notAPicture;
    const QString output = folder_.filePath(QStringLiteral("refused.mp4"));
    RecordingSink sink;
    QVERIFY(CopyWithExtras(engine_, video_, output, QStringLiteral(".mp4"), {}, &tags, &sink) != 0);
    QVERIFY2(sink.Failure().contains(QLatin1String("cover")), qPrintable(sink.Failure()));
    QVERIFY(!QFile::exists(output));
}

QTEST_GUILESS_MAIN(TestEngineCover)
#include "tst_enginecover.moc"
