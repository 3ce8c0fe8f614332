#include "app/applicationcore.h"
#include "catalogtesting.h"
#include "presetcatalogvariants.h"
#include "presets/presetfilecheck.h"
#include "presets/presetstore.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <sys/stat.h>

using namespace Tarnwick;
using TestSupport::PresetNames;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

const OutputFormat* FindFormat(const PresetStore& store, const QString& displayName) {
    return TestSupport::FindFormat(store.Groups(), displayName);
}

// A whole file of ours around the given Group elements.
QByteArray FileWithGroups(const QByteArray& groups, const QByteArray& identity = "(null) (null)") {
    return "<?xml version=\"1.0\" ?>\n<Presets Version=\"1.0.0\">\n<Factory Name=\"" + identity +
           "\" Default=\"0\">\n" + groups + "</Factory>\n</Presets>\n";
}

QByteArray PhonePreset(const QByteArray& name, const QByteArray& size = "176x144",
                       const QByteArray& audioFormat = "amr_nb",
                       const QByteArray& favorite = " Favorite=\"0\"") {
    return "<Preset Name=\"" + name + "\"" + favorite + "><Audio Format=\"" + audioFormat +
           "\" Channels=\"1\" SampleRate=\"8000\" BitRate=\"12200\" Disable=\"0\" />"
           "<Video Format=\"3gp.h263\" Size=\"" +
           size + "\" FrameRate=\"15/1\" BitRate=\"128000\" Disable=\"0\" /></Preset>\n";
}

QByteArray PhoneFile(const QByteArray& presets, const QByteArray& formatDefault = "0") {
    return FileWithGroups(
        "<Group Name=\"Devices\" Default=\"0\"><Format Name=\"Mobile Phone - 3GP\" Default=\"" +
        formatDefault + "\">\n" + presets + "</Format></Group>\n");
}

} // namespace

class TestPresetStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void writesTheExactFileLayout();
    void writeThenReadReproducesEverything();
    void readRules_data();
    void readRules();
    void unacceptedFilesGiveFactoryPresets_data();
    void unacceptedFilesGiveFactoryPresets();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void namesThatXmlCannotCarryAreCleaned_data();
    void namesThatXmlCannotCarryAreCleaned();
    void unchangedPresetsAreNotWrittenAgain();
    void damagedFileIsToldOnceAndOnlyTheNewestKept();
    void symbolicLinkIsSavedThrough();
    void defaultIndicesAreKeptInRange();
    void longTextsAreCut();
    void fileLivesInTheInstallFolderWhenWritable();
    void fileMovesToTheDataFolderOtherwise();
    void storeThatNeverLoadedWritesNothing();
    void firstRunWritesAndSecondRunKeepsTheFile();
    void fullDiskAtAnyPointKeepsOldOrNewFile();
    void killedSaveKeepsOldOrNewFile();

private:
    QString saver_;
};

void TestPresetStore::initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    saver_ = QCoreApplication::applicationDirPath() + QStringLiteral("/presetsaver");
    QVERIFY(QFile::exists(saver_));
}

void TestPresetStore::writesTheExactFileLayout() {
    QTemporaryDir folder;
    PresetStore store;
    QCOMPARE(store.Identity(), QStringLiteral("(null) (null)"));
    // "(null)" twice with one space between: 13 characters, whatever count one was told.
    QCOMPARE(store.Identity().size(), 13);
    QCOMPARE(store.Path(), QStringLiteral("Presets.xml"));
    MakeVariant(store, CatalogVariant::Old);
    store.SetPath(folder.filePath(QStringLiteral("Presets.xml")));
    QVERIFY(store.WritePresetFile());

    const QList<QByteArray> lines = ReadAll(store.Path()).split('\n');
    QList<QByteArray> trimmed;
    for (const QByteArray& line : lines)
        trimmed << line.trimmed();
    QCOMPARE(trimmed.value(0), QByteArray("<?xml version=\"1.0\" ?>"));
    QCOMPARE(trimmed.value(1), QByteArray("<Presets Version=\"1.0.0\">"));
    QCOMPARE(trimmed.value(2), QByteArray("<Factory Name=\"(null) (null)\" Default=\"0\">"));
    QCOMPARE(trimmed.value(3), QByteArray("<Group Name=\"Devices\" Default=\"0\">"));
    QCOMPARE(trimmed.value(4), QByteArray("<Format Name=\"Apple iPod - MPEG-4\" Default=\"0\">"));
    const qsizetype format = trimmed.indexOf("<Format Name=\"Mobile Phone - 3G2\" Default=\"0\">");
    QVERIFY(format > 0);
    QCOMPARE(trimmed.value(format + 1), QByteArray("<Preset Name=\"Optimal Quality\" Favorite=\"0\">"));
    QCOMPARE(trimmed.value(format + 2),
             QByteArray("<Audio Format=\"amr_nb\" Channels=\"1\" SampleRate=\"8000\" "
                        "BitRate=\"12200\" Disable=\"0\" />"));
    QCOMPARE(trimmed.value(format + 3), QByteArray("<Video Format=\"3g2.h263\" Size=\"176x144\" "
                                                   "FrameRate=\"15/1\" BitRate=\"128000\" Disable=\"0\" />"));
    QVERIFY(trimmed.contains("<Video Format=\"flv\" Size=\"0x0\" FrameRate=\"0/0\" BitRate=\"400000\" "
                             "Disable=\"0\" />"));
    // Audio-only formats write no Video element.
    const qsizetype mp3 = trimmed.indexOf("<Format Name=\"MP3\" Default=\"0\">");
    QCOMPARE(trimmed.value(mp3 + 1), QByteArray("<Preset Name=\"Good Quality\" Favorite=\"1\">"));
    QVERIFY(trimmed.value(mp3 + 3) == "</Preset>");
    QCOMPARE(trimmed.count("</Format>"), 23);
    QCOMPARE(trimmed.count("</Preset>"), 60);

    // No file is left beside it.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Presets.xml"});
}

void TestPresetStore::writeThenReadReproducesEverything() {
    QTemporaryDir folder;
    PresetStore written;
    MakeVariant(written, CatalogVariant::New);
    SetText(written.Groups()[3]->formats[0]->presets[0]->settings.name, QStringLiteral("Grün & \"laut\""));
    written.SetPath(folder.filePath(QStringLiteral("Presets.xml")));
    QVERIFY(written.WritePresetFile());

    PresetStore read;
    read.BuildCatalog();
    read.SetPath(written.Path());
    QVERIFY(read.ReadPresetFile());
    QCOMPARE(read.DefaultGroup(), 2);
    QCOMPARE(read.Groups().size(), written.Groups().size());
    for (size_t g = 0; g < written.Groups().size(); ++g) {
        const FormatGroup& a = *written.Groups()[g];
        const FormatGroup& b = *read.Groups()[g];
        QCOMPARE(b.defaultFormat, a.defaultFormat);
        for (size_t f = 0; f < a.formats.size(); ++f) {
            const OutputFormat& x = *a.formats[f];
            const OutputFormat& y = *b.formats[f];
            QCOMPARE(y.defaultPreset, x.defaultPreset);
            QCOMPARE(PresetNames(y), PresetNames(x));
            for (size_t p = 0; p < x.presets.size(); ++p) {
                const Preset& before = *x.presets[p];
                const Preset& after = *y.presets[p];
                QVERIFY2(std::memcmp(&before.settings, &after.settings, sizeof before.settings) == 0,
                         qPrintable(x.displayName + QLatin1Char('/') + TextOf(before.settings.name)));
                QCOMPARE(after.format, &y);
                QCOMPARE(after.audioCodec != nullptr, before.audioCodec != nullptr);
                QCOMPARE(after.videoCodec != nullptr, before.videoCodec != nullptr);
            }
        }
    }
    const OutputFormat* flv = FindFormat(read, QStringLiteral("FLV"));
    QCOMPARE(flv->defaultPreset, 4);
    QCOMPARE(flv->presets[1]->settings.flags, ConversionSettings::FavoriteMark);
    QCOMPARE(flv->presets[3]->settings.flags,
             ConversionSettings::AudioDisabled | ConversionSettings::VideoDisabled);
    QCOMPARE(TextOf(flv->presets[0]->settings.name), QStringLiteral("Dial-up & <friends>"));
}

void TestPresetStore::readRules_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("a format without presets") << PhoneFile("", "3") << QStringList{};
    QTest::newRow("missing Favorite drops the preset alone")
        << PhoneFile(PhonePreset("A") + PhonePreset("B", "176x144", "amr_nb", "") + PhonePreset("C"))
        << QStringList{"A", "C"};
    QTest::newRow("Favorite that is not a number")
        << PhoneFile(PhonePreset("A", "176x144", "amr_nb", " Favorite=\"yes\"")) << QStringList{};
    QTest::newRow("sizes 0x0 and Auto load, -1x240 drops")
        << PhoneFile(PhonePreset("zero", "0x0") + PhonePreset("minus", "-1x240") +
                     PhonePreset("word", "Auto"))
        << QStringList{"zero", "word"};
    QTest::newRow("a codec key the format does not offer")
        << PhoneFile(PhonePreset("good") + PhonePreset("bad", "176x144", "3g2.aac")) << QStringList{"good"};
    QTest::newRow("missing Video child") << PhoneFile("<Preset Name=\"half\" Favorite=\"0\"><Audio "
                                                      "Format=\"amr_nb\" Channels=\"1\" SampleRate=\"8000\" "
                                                      "BitRate=\"12200\" Disable=\"0\" /></Preset>\n" +
                                                      PhonePreset("whole"))
                                         << QStringList{"whole"};
    QTest::newRow("a bit rate that is not a number")
        << PhoneFile(PhonePreset("x").replace("BitRate=\"128000\"", "BitRate=\"fast\"")) << QStringList{};
    QTest::newRow("frame rate -1 drops")
        << PhoneFile(PhonePreset("x").replace("15/1", "-1/1") + PhonePreset("auto").replace("15/1", "0/0"))
        << QStringList{"auto"};
    QTest::newRow("other elements are ignored")
        << PhoneFile("<Note Name=\"x\" />" + PhonePreset("A") + "<!-- a comment -->" + PhonePreset("B"))
        << QStringList{"A", "B"};
}

void TestPresetStore::readRules() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, names);
    QTemporaryDir folder;
    PresetStore store;
    store.BuildCatalog();
    store.SetPath(folder.filePath(QStringLiteral("Presets.xml")));
    QVERIFY(WriteAll(store.Path(), file));
    QVERIFY(store.ReadPresetFile());
    const OutputFormat* phone = FindFormat(store, QStringLiteral("Mobile Phone - 3GP"));
    QCOMPARE(PresetNames(*phone), names);
    QCOMPARE(phone->defaultPreset, 0);
    // Formats the file does not name stay empty and keep the default their construction gave.
    QVERIFY(FindFormat(store, QStringLiteral("AVI"))->presets.empty());
    QCOMPARE(FindFormat(store, QStringLiteral("FLV"))->defaultPreset, 2);
}

void TestPresetStore::unacceptedFilesGiveFactoryPresets_data() {
    QTest::addColumn<QByteArray>("file");

    const QByteArray body =
        "<Group Name=\"Devices\"><Format Name=\"Mobile Phone - 3GP\" Default=\"0\" /></Group>";
    QTest::newRow("a vendor and product name") << FileWithGroups(body, "Ostrand Tarnwick");
    QTest::newRow("no Name") << QByteArray("<Presets><Factory Default=\"0\">" + body +
                                           "</Factory></Presets>");
    QTest::newRow("no Factory") << QByteArray("<Presets Version=\"1.0.0\">" + body + "</Presets>");
    QTest::newRow("no Presets") << QByteArray("<Settings><Factory Name=\"(null) (null)\" /></Settings>");
    QTest::newRow("a syntax error") << FileWithGroups(body).replace("</Factory>", "</Factroy>");
    QTest::newRow("cut short") << FileWithGroups(body).left(120);
    QTest::newRow("empty") << QByteArray();
    // The parser would run out of stack, or hold the whole file in memory.
    QTest::newRow("100,000 levels deep")
        << FileWithGroups(QByteArray("<Group>").repeated(100000) + QByteArray("</Group>").repeated(100000));
    QTest::newRow("nested past the limit in quoted values")
        << FileWithGroups(QByteArray("<Group Name='/>'>").repeated(40) + QByteArray("</Group>").repeated(40));
    QTest::newRow("larger than 4 MiB")
        << FileWithGroups(body + QByteArray("<!--") + QByteArray(4 << 20, 'x') + QByteArray("-->"));
}

void TestPresetStore::unacceptedFilesGiveFactoryPresets() {
    QFETCH(QByteArray, file);
    TestSupport::IsolatedProfile profile;
    QTemporaryDir install;
    const QString path = install.filePath(QStringLiteral("Presets.xml"));
    QVERIFY(WriteAll(path, file));
    PresetStore store;
    QVERIFY(store.LoadPresets(install.path()));
    QCOMPARE(store.Path(), path);
    const OutputFormat* phone = FindFormat(store, QStringLiteral("Mobile Phone - 3GP"));
    QCOMPARE(phone->presets.size(), size_t(8));
    QCOMPARE(FindFormat(store, QStringLiteral("FLV"))->presets.size(), size_t(6));
    // What the user had is kept beside it, and the user is told where.
    QCOMPARE(ReadAll(path + QStringLiteral(".damaged")), file);
    QVERIFY2(store.LoadNotice().contains(path + QStringLiteral(".damaged")), qPrintable(store.LoadNotice()));
    QVERIFY(!store.ReadPresetFile());
    QVERIFY(!store.RejectReason().isEmpty());

    // At exit the file becomes ours.
    store.SaveAndRelease();
    QVERIFY(store.Groups().empty());
    PresetStore again;
    again.BuildCatalog();
    again.SetPath(path);
    QVERIFY(again.ReadPresetFile());
    QCOMPARE(FindFormat(again, QStringLiteral("Mobile Phone - 3GP"))->presets.size(), size_t(8));
}

void TestPresetStore::onlyRegularFilesAreRead_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a named pipe") << "pipe"; // opening it would wait for a writer for ever
    QTest::newRow("a socket") << "socket";
    QTest::newRow("a link to a named pipe") << "link to pipe";
    QTest::newRow("a link to a socket") << "link to socket";
}

void TestPresetStore::onlyRegularFilesAreRead() {
    QFETCH(QString, kind);
    TestSupport::IsolatedProfile profile;
    QTemporaryDir install;
    const QString path = install.filePath(QStringLiteral("Presets.xml"));
    QTemporaryDir elsewhere;
    const bool linked = kind.startsWith(QLatin1String("link to "));
    const QString node = linked ? elsewhere.filePath(QStringLiteral("node")) : path;
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    else
        QVERIFY(TestSupport::MakeSpecialFile(node, kind.endsWith(QLatin1String("socket"))));
    if (linked)
        QVERIFY(QFile::link(node, path));
    PresetStore store;
    QVERIFY(store.LoadPresets(install.path()));
    QCOMPARE(FindFormat(store, QStringLiteral("FLV"))->presets.size(), size_t(6));
    QVERIFY(!store.RejectReason().isEmpty());
    // Nothing could be kept, so nothing is overwritten at exit either.
    QVERIFY(store.LoadNotice().contains(QStringLiteral("left as it is")));
    store.SaveAndRelease();
    QCOMPARE(QFileInfo(path).isDir(), kind == QLatin1String("folder"));
    QVERIFY(!QFile::exists(path + QStringLiteral(".damaged")));
    // Asked to save all the same, the store never puts a regular file in the node's place.
    store.BuildCatalog();
    QVERIFY(!store.WritePresetFile());
    QVERIFY(QFileInfo(node).exists() && !QFileInfo(node).isFile());
    QCOMPARE(QFileInfo(path).isSymLink(), linked);
}

void TestPresetStore::namesThatXmlCannotCarryAreCleaned_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("escape and bell") << QByteArray("Pho\x1bne\x07") << "Phone";
    QTest::newRow("character references") << QByteArray("Ph&#x1B;one&#x7F;") << "Phone";
    QTest::newRow("C1 control") << QByteArray("Ph\xc2\x9bone") << "Phone";
    QTest::newRow("not UTF-8") << QByteArray("Ph\xffone") << QStringLiteral(u"Ph\uFFFDone");
}

void TestPresetStore::namesThatXmlCannotCarryAreCleaned() {
    QFETCH(QByteArray, name);
    QFETCH(QString, cleaned);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Presets.xml"));
    QVERIFY(WriteAll(path, PhoneFile(PhonePreset(name))));
    PresetStore store;
    QVERIFY(store.LoadPresets(folder.path()));
    OutputFormat* phone = TestSupport::FindFormat(store.Groups(), QStringLiteral("Mobile Phone - 3GP"));
    QCOMPARE(phone->presets.size(), size_t(1));
    QCOMPARE(TextOf(phone->presets.front()->settings.name), cleaned);
    // A name typed with a control character is cleaned on the way out too.
    phone->presets.push_back(std::make_unique<Preset>(*phone->presets.front()));
    SetText(phone->presets.back()->settings.name, QString::fromUtf8(name));
    QVERIFY(store.WritePresetFile());
    QVERIFY(IsStrictlyWellFormed(ReadAll(path)));
    PresetStore again;
    QVERIFY(again.LoadPresets(folder.path()));
    QVERIFY2(again.RejectReason().isEmpty(), qPrintable(again.RejectReason()));
    const OutputFormat* reread = FindFormat(again, QStringLiteral("Mobile Phone - 3GP"));
    QCOMPARE(reread->presets.size(), size_t(2));
    for (const auto& preset : reread->presets)
        QVERIFY(!TextOf(preset->settings.name)
                     .contains(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f-\\x9f]"))));
}

void TestPresetStore::unchangedPresetsAreNotWrittenAgain() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Presets.xml"));
    const auto identity = [&] {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0
                   ? std::pair<qint64, qint64>(info.st_ino,
                                               info.st_mtim.tv_nsec + info.st_mtim.tv_sec * 1000000000LL)
                   : std::pair<qint64, qint64>(-1, -1);
    };
    {
        PresetStore store;
        QVERIFY(store.LoadPresets(folder.path()));
        store.SaveAndRelease();
    }
    const auto written = identity();
    QVERIFY(written.first >= 0);
    {
        PresetStore store;
        QVERIFY(store.LoadPresets(folder.path()));
        store.SaveAndRelease();
    }
    QCOMPARE(identity(), written);
    {
        PresetStore store;
        QVERIFY(store.LoadPresets(folder.path()));
        TestSupport::FindFormat(store.Groups(), QStringLiteral("FLV"))->defaultPreset = 1;
        store.SaveAndRelease();
    }
    QVERIFY(identity().first != written.first);
}

void TestPresetStore::damagedFileIsToldOnceAndOnlyTheNewestKept() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir install;
    QVERIFY(QFile::copy(QStringLiteral(RECORDING_ENGINE_PATH), install.filePath(EngineLibraryFileName())));
    QSettings().setValue(QStringLiteral("InstallDir"), install.path());
    const QString path = install.filePath(QStringLiteral("Presets.xml"));
    const auto start = [&](QStringList& notices) {
        ApplicationCore core({}, [&](const QString& text) { notices << text; });
        QVERIFY(core.Start(install.path()));
    };
    QStringList notices;
    QVERIFY(WriteAll(path, "first damage"));
    start(notices);
    QCOMPARE(notices.size(), 1);
    start(notices); // the file written at the last exit is whole
    QCOMPARE(notices.size(), 1);
    QVERIFY(WriteAll(path, "second damage"));
    start(notices);
    QCOMPARE(notices.size(), 2);
    QCOMPARE(ReadAll(path + QStringLiteral(".damaged")), QByteArray("second damage"));
    QCOMPARE(QDir(install.path()).entryList({QStringLiteral("Presets.xml*")}),
             QStringList({QStringLiteral("Presets.xml"), QStringLiteral("Presets.xml.damaged")}));
}

void TestPresetStore::symbolicLinkIsSavedThrough() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir install;
    QTemporaryDir elsewhere;
    const QString link = install.filePath(QStringLiteral("Presets.xml"));
    const QString target = elsewhere.filePath(QStringLiteral("mine.xml"));
    QVERIFY(WriteAll(target, PhoneFile(PhonePreset("Linked"))));
    QVERIFY(QFile::link(target, link));
    PresetStore store;
    QVERIFY(store.LoadPresets(install.path()));
    QCOMPARE(FindFormat(store, QStringLiteral("Mobile Phone - 3GP"))->presets.size(), size_t(1));
    TestSupport::FindFormat(store.Groups(), QStringLiteral("Mobile Phone - 3GP"))->presets.clear();
    store.SaveAndRelease();
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QVERIFY(!ReadAll(target).contains("Linked"));
    QCOMPARE(ReadAll(target).count("<Format "), 23);
}

void TestPresetStore::defaultIndicesAreKeptInRange() {
    QTemporaryDir folder;
    const QByteArray five =
        PhonePreset("1") + PhonePreset("2") + PhonePreset("3") + PhonePreset("4") + PhonePreset("5");
    const QByteArray groups =
        "<Group Name=\"Devices\" Default=\"8\"><Format Name=\"Mobile Phone - 3GP\" Default=\"5\">" + five +
        "</Format><Format Name=\"Mobile Phone - 3G2\" Default=\"-1\" /></Group>"
        "<Group Name=\"Flash\" Default=\"1\"><Format Name=\"SWF\" Default=\"x\" /></Group>"
        "<Group Name=\"Videos\" Default=\"-2\"><Format Name=\"Nope\" Default=\"1\" /></Group>"
        "<Group Name=\"Elsewhere\" Default=\"1\" /><Group Default=\"1\" />";
    QByteArray file = FileWithGroups(groups).replace("Factory Name=\"(null) (null)\" Default=\"0\"",
                                                     "Factory Name=\"(null) (null)\" Default=\"4\"");
    PresetStore store;
    store.BuildCatalog();
    store.SetPath(folder.filePath(QStringLiteral("Presets.xml")));
    QVERIFY(WriteAll(store.Path(), file));
    QVERIFY(store.ReadPresetFile());
    QCOMPARE(store.DefaultGroup(), 0);
    QCOMPARE(store.Groups()[0]->defaultFormat, 8);
    QCOMPARE(FindFormat(store, QStringLiteral("Mobile Phone - 3GP"))->defaultPreset, 0);
    QCOMPARE(FindFormat(store, QStringLiteral("Mobile Phone - 3G2"))->defaultPreset, 0);
    QCOMPARE(store.Groups()[1]->defaultFormat, 1);
    QCOMPARE(FindFormat(store, QStringLiteral("SWF"))->defaultPreset, 0);
    QCOMPARE(store.Groups()[2]->defaultFormat, 0);

    file.replace("Default=\"5\">", "Default=\"4\">")
        .replace("Group Name=\"Devices\" Default=\"8\"", "Group Name=\"Devices\" Default=\"9\"");
    file.replace("Factory Name=\"(null) (null)\" Default=\"4\"",
                 "Factory Name=\"(null) (null)\" Default=\"3\"");
    QVERIFY(WriteAll(store.Path(), file));
    store.BuildCatalog();
    QVERIFY(store.ReadPresetFile());
    QCOMPARE(FindFormat(store, QStringLiteral("Mobile Phone - 3GP"))->defaultPreset, 4);
    QCOMPARE(store.Groups()[0]->defaultFormat, 0);
    QCOMPARE(store.DefaultGroup(), 3);
}

void TestPresetStore::longTextsAreCut() {
    QTemporaryDir folder;
    const QByteArray longName(100, 'n');
    // 62 ASCII bytes and a two-byte letter: the letter would not fit whole and goes.
    const QByteArray straddling = QByteArray(62, 'a') + "\xC3\xBC" + "tail";
    const QByteArray longKey = "amr_nb" + QByteArray(70, 'x');
    PresetStore store;
    store.BuildCatalog();
    store.SetPath(folder.filePath(QStringLiteral("Presets.xml")));
    QVERIFY(WriteAll(store.Path(), PhoneFile(PhonePreset(longName) + PhonePreset(straddling) +
                                             PhonePreset("key", "176x144", longKey))));
    QVERIFY(store.ReadPresetFile());
    const OutputFormat* phone = FindFormat(store, QStringLiteral("Mobile Phone - 3GP"));
    QCOMPARE(phone->presets.size(), size_t(2));
    QCOMPARE(QByteArray(phone->presets[0]->settings.name), longName.left(63));
    QCOMPARE(QByteArray(phone->presets[1]->settings.name), QByteArray(62, 'a'));
}

void TestPresetStore::fileLivesInTheInstallFolderWhenWritable() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir install;
    PresetStore store;
    QVERIFY(store.LoadPresets(install.path()));
    QCOMPARE(store.Path(), install.filePath(QStringLiteral("Presets.xml")));
    store.SaveAndRelease();
    QVERIFY(QFile::exists(install.filePath(QStringLiteral("Presets.xml"))));
    QVERIFY(!QFile::exists(profile.DataHome() + QStringLiteral("/Ostrand/Tarnwick/Presets.xml")));
}

void TestPresetStore::fileMovesToTheDataFolderOtherwise() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir parent;
    const QString missing = parent.filePath(QStringLiteral("not/there"));
    PresetStore store;
    QVERIFY(store.LoadPresets(missing));
    const QString expected = profile.DataHome() + QStringLiteral("/Ostrand/Tarnwick/Presets.xml");
    QCOMPARE(store.Path(), expected);
    FindFormat(store, QStringLiteral("AMR"))->presets.front()->SetFavorite(true);
    store.SaveAndRelease();
    QVERIFY(QFile::exists(expected));
    QVERIFY(!QFile::exists(missing));

    PresetStore next;
    QVERIFY(next.LoadPresets(missing));
    QCOMPARE(FindFormat(next, QStringLiteral("AMR"))->presets.front()->settings.flags,
             ConversionSettings::FavoriteMark);
}

void TestPresetStore::storeThatNeverLoadedWritesNothing() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir install;
    const QString path = install.filePath(QStringLiteral("Presets.xml"));
    QVERIFY(WriteAll(path, "user's own presets"));
    {
        // A start-up that ends at the engine never reaches the presets.
        QSettings().setValue(QStringLiteral("InstallDir"), install.path());
        ApplicationCore core;
        QVERIFY(!core.Start(install.path()));
    }
    QCOMPARE(ReadAll(path), QByteArray("user's own presets"));
    QVERIFY(!QFile::exists(QStringLiteral("Presets.xml")));
}

void TestPresetStore::firstRunWritesAndSecondRunKeepsTheFile() {
    TestSupport::IsolatedProfile profile;
    QTemporaryDir install;
    QVERIFY(QFile::copy(QStringLiteral(RECORDING_ENGINE_PATH), install.filePath(EngineLibraryFileName())));
    QSettings().setValue(QStringLiteral("InstallDir"), install.path());
    const QString path = install.filePath(QStringLiteral("Presets.xml"));
    {
        ApplicationCore core;
        QVERIFY(core.Start(install.path()));
        QCOMPARE(core.Presets().Groups().size(), size_t(4));
        QVERIFY(!QFile::exists(path));
    }
    const QByteArray first = ReadAll(path);
    QCOMPARE(first.count("<Format "), 23);
    QCOMPARE(first.count("<Preset "), 60);
    {
        ApplicationCore core;
        QVERIFY(core.Start(install.path()));
        QCOMPARE(FindFormat(core.Presets(), QStringLiteral("FLV"))->defaultPreset, 2);
        QCOMPARE(FindFormat(core.Presets(), QStringLiteral("Mobile Phone - 3GP"))->presets.size(), size_t(8));
    }
    QCOMPARE(ReadAll(path), first);
}

void TestPresetStore::fullDiskAtAnyPointKeepsOldOrNewFile() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Presets.xml"));
    PresetStore oldStore;
    MakeVariant(oldStore, CatalogVariant::Old);
    oldStore.SetPath(path);
    QVERIFY(oldStore.WritePresetFile());
    const QByteArray oldBytes = ReadAll(path);

    QProcess unlimited;
    unlimited.start(saver_, {folder.filePath(QStringLiteral("New.xml")), QStringLiteral("limit"),
                             QString::number(1 << 30)});
    QVERIFY(unlimited.waitForFinished(30000));
    QCOMPARE(unlimited.exitCode(), 0);
    const QByteArray newBytes = ReadAll(folder.filePath(QStringLiteral("New.xml")));
    QVERIFY(newBytes != oldBytes);
    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("New.xml"))));

    int failedSaves = 0;
    const qsizetype step = newBytes.size() / 29;
    for (qsizetype limit = 0; limit <= newBytes.size() + 1; limit += (limit < 8 ? 1 : step)) {
        QVERIFY(WriteAll(path, oldBytes));
        QProcess saver;
        saver.start(saver_, {path, QStringLiteral("limit"), QString::number(limit)});
        QVERIFY(saver.waitForFinished(30000));
        const QByteArray now = ReadAll(path);
        const bool saved = saver.exitCode() == 0;
        QVERIFY2(now == (saved ? newBytes : oldBytes), qPrintable(QStringLiteral("limit %1").arg(limit)));
        failedSaves += saved ? 0 : 1;
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Presets.xml"});
    }
    QVERIFY(failedSaves > 20);
}

void TestPresetStore::killedSaveKeepsOldOrNewFile() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Presets.xml"));
    PresetStore oldStore;
    PresetStore newStore;
    MakeVariant(oldStore, CatalogVariant::Old);
    MakeVariant(newStore, CatalogVariant::New);
    oldStore.SetPath(path);
    QVERIFY(oldStore.WritePresetFile());
    const QByteArray oldBytes = ReadAll(path);
    newStore.SetPath(folder.filePath(QStringLiteral("New.xml")));
    QVERIFY(newStore.WritePresetFile());
    const QByteArray newBytes = ReadAll(newStore.Path());

    for (int round = 0; round < 12; ++round) {
        QProcess saver;
        saver.start(saver_, {path, QStringLiteral("loop")});
        QVERIFY(saver.waitForReadyRead(30000));
        QTest::qWait(int(QRandomGenerator::global()->bounded(5, 60)));
        saver.kill();
        QVERIFY(saver.waitForFinished(30000));
        const QByteArray now = ReadAll(path);
        QVERIFY2(now == oldBytes || now == newBytes, qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

QTEST_GUILESS_MAIN(TestPresetStore)
#include "tst_presetstore.moc"
