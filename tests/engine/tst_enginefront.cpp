// The engine's front and its media part, through the real binding: opening the engine maps
// no media library, the front finds its media part beside itself, and without one it still
// opens but fails every probe and convert with the system's reason.

#include "conversion/conversionengine.h"
#include "conversion/mediainfo.h"
#include "enginetesting.h"
#include "mediafixtures.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <link.h>

using namespace Tarnwick;
using EngineTesting::RecordingSink;

namespace {

const QString kMediaPartFileName = QStringLiteral("libvarnex1media.so");

// The paths of every object mapped into this process.
QStringList MappedObjects() {
    QStringList paths;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            static_cast<QStringList*>(data)->append(QString::fromLocal8Bit(info->dlpi_name));
            return 0;
        },
        &paths);
    return paths;
}

bool IsMapped(const QString& fileNamePrefix) {
    for (const QString& path : MappedObjects()) {
        if (QFileInfo(path).fileName().startsWith(fileNamePrefix))
            return true;
    }
    return false;
}

QStringList MappedFrom(const QString& folder) {
    QStringList inside;
    for (const QString& path : MappedObjects()) {
        if (path.startsWith(folder + QLatin1Char('/')))
            inside << path;
    }
    return inside;
}

// What the system says when it is asked to load the file itself.
QString LoadFailureText(const QString& path) {
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr) {
        dlclose(handle);
        return QString();
    }
    return QString::fromLocal8Bit(dlerror());
}

QString Line(const QString& input, const QString& output) {
    return QStringLiteral(" encoder -i \"%1\" -f mp3 -vn -acodec libmp3lame -y \"%2\"").arg(input, output);
}

} // namespace

class TestEngineFront : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void mediaLibrariesWaitForTheFirstRequest();
    void mediaPartBesideTheFront_data();
    void mediaPartBesideTheFront();

private:
    QTemporaryDir folder_;
    QString source_;
};

void TestEngineFront::initTestCase() {
    QVERIFY(folder_.isValid());
    source_ = folder_.filePath(QStringLiteral("both.flv"));
    TestSupport::FixtureContents contents;
    contents.seconds = 1;
    QString error;
    QVERIFY2(TestSupport::MakeMediaFixture(source_, contents, &error), qPrintable(error));
}

// Start-up opens the engine, so opening it must not map FFmpeg's libraries; the first
// request does, they stay pinned, and the media part itself goes with the close.
void TestEngineFront::mediaLibrariesWaitForTheFirstRequest() {
    QVERIFY2(!IsMapped(QStringLiteral("libavcodec")), "nothing in this test maps the media libraries");
    ConversionEngine engine;
    QVERIFY(engine.Open(QDir(TestSupport::BinDir()).filePath(EngineLibraryFileName())));
    for (const QString& library :
         {QStringLiteral("libav"), QStringLiteral("libsw"), QStringLiteral("libopencore"),
          QStringLiteral("libvo-amr"), kMediaPartFileName})
        QVERIFY2(!IsMapped(library), qPrintable(library + QStringLiteral(" is mapped by the open alone")));

    MediaInfo info;
    QVERIFY(engine.Probe(source_, info));
    QCOMPARE(info.StreamCount(), 2);
    QVERIFY(IsMapped(kMediaPartFileName));
    QVERIFY(IsMapped(QStringLiteral("libavcodec")));

    engine.Close();
    QVERIFY2(!IsMapped(kMediaPartFileName), "the close unloads the media part");
    QVERIFY2(IsMapped(QStringLiteral("libavcodec")), "the media libraries stay pinned for the next request");
}

void TestEngineFront::mediaPartBesideTheFront_data() {
    QTest::addColumn<QString>("besideFront"); // what is beside the front under the media part's name
    QTest::addColumn<bool>("works");
    // "front alone" comes first: once a media part has been loaded in this process, a search by
    // the bare name could find it by its name while it is still mapped.
    QTest::newRow("front alone") << QString() << false;
    QTest::newRow("not a library") << QStringLiteral("text") << false;
    QTest::newRow("the media part") << QStringLiteral("media part") << true;
}

void TestEngineFront::mediaPartBesideTheFront() {
    QFETCH(QString, besideFront);
    QFETCH(bool, works);

    QTemporaryDir install;
    QVERIFY(install.isValid());
    const QDir built(TestSupport::BinDir());
    const QString front = install.filePath(EngineLibraryFileName());
    const QString media = install.filePath(kMediaPartFileName);
    QVERIFY(QFile::copy(built.filePath(EngineLibraryFileName()), front));
    QString systemText = QStringLiteral("libvarnex1media.so: cannot open shared object file");
    if (besideFront == QStringLiteral("text")) {
        QVERIFY(EngineTesting::WriteFile(media, "not a shared library"));
        systemText = LoadFailureText(media);
        QVERIFY(!systemText.isEmpty());
    } else if (!besideFront.isEmpty()) {
        QVERIFY(QFile::copy(built.filePath(kMediaPartFileName), media));
    }

    {
        ConversionEngine engine;
        QVERIFY2(engine.Open(front), "the front opens whatever is beside it");
        MediaInfo info;
        QCOMPARE(engine.Probe(source_, info), works);
        // A second convert after a failed one must fail the same way, not reach a stale handle.
        for (int attempt = 1; attempt <= 2; ++attempt) {
            RecordingSink sink;
            const QString output = install.filePath(QStringLiteral("out%1.mp3").arg(attempt));
            const int result = engine.Convert(Line(source_, output), &sink);
            QCOMPARE(result == 0, works);
            QCOMPARE(sink.begins, 1);
            QCOMPARE(sink.ends, 1);
            QCOMPARE(QFileInfo::exists(output), works);
            if (!works)
                QVERIFY2(sink.Failure().contains(systemText), qPrintable(sink.Failure()));
            else
                QCOMPARE(sink.Failure(), QString());
        }
    }
    QCOMPARE(MappedFrom(install.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestEngineFront)
#include "tst_enginefront.moc"
