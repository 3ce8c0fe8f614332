#include "queue/outputfile.h"
#include "retrieval/job/fileoperations.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

namespace {

bool WriteFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestFileOperations : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sanitizeReplacesForbiddenCharacters_data();
    void sanitizeReplacesForbiddenCharacters();
    void sanitizedNamesHoldNoControls();
    void longNamesAreCutKeepingTheExtension_data();
    void longNamesAreCutKeepingTheExtension();
    void parentFolder_data();
    void parentFolder();
    void tempNamesAreUniqueAndReserved();
    void ensureFolderCreatesEveryLevel();
    void copyReplacesTheTargetWhole();
    void failedCopyKeepsTheOldTarget();
    void moveDeliversAndRemovesTheSource_data();
    void moveDeliversAndRemovesTheSource();
    void failedMoveKeepsBothFiles();
    void deleteFileSilently();

private:
    QTemporaryDir tempHome_;
};

void TestFileOperations::initTestCase() {
    // Temporary names go to a folder of this case's own, so that they can be counted.
    qputenv("TMPDIR", QFile::encodeName(tempHome_.path()));
}

void TestFileOperations::sanitizeReplacesForbiddenCharacters_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sanitized");

    QTest::newRow("slash, colon, question mark") << "AC/DC: Live?"
                                                 << "AC DC Live";
    QTest::newRow("every forbidden character") << "a/b\\c<d>e*f?g:h\"i|j"
                                               << "a b c d e f g h i j";
    QTest::newRow("zero character") << QString(QStringLiteral("evil") + QChar(0) + QStringLiteral("x"))
                                    << "evil x";
    QTest::newRow("the rest stays, one blank between words and none at the ends")
        << QStringLiteral(u"  Café '1'   &\u00a0[2]. ") << QStringLiteral(u"Café '1' & [2].");
    QTest::newRow("no blank before the extension") << "Countdown | 3 seconds :"
                                                   << "Countdown 3 seconds";
    QTest::newRow("controls become blanks") << QStringLiteral(u"a\x1b[31mb\a\rc\nd\te\x7f"
                                                              u"f\u0085g\u009bh")
                                            << "a [31mb c d e f g h";
    // Shown as "clip-exe.mp4" if the override stayed.
    QTest::newRow("direction controls go")
        << QStringLiteral(u"clip-\u202E4pm.exe\u202C\u2066\u2069\u200F") << "clip-4pm.exe";
    QTest::newRow("leading dots go") << "..hidden.clip"
                                     << "hidden.clip";
    QTest::newRow("dots after a blank go too") << " . .clip"
                                               << "clip";
    QTest::newRow("nothing left") << QStringLiteral(u"...\u202E") << "video";
    QTest::newRow("empty title") << ""
                                 << "video";
}

void TestFileOperations::sanitizeReplacesForbiddenCharacters() {
    QFETCH(QString, name);
    QFETCH(QString, sanitized);
    QCOMPARE(SanitizeFileName(name), sanitized);
}

void TestFileOperations::sanitizedNamesHoldNoControls() {
    // Every BMP character after a dot, which would otherwise lead the name.
    for (char32_t code = 1; code < 0x10000; ++code) {
        if (code >= 0xD800 && code < 0xE000)
            continue;
        const QString name = SanitizeFileName(QLatin1Char('.') + QChar(char16_t(code)) + QLatin1Char('x'));
        QVERIFY2(!name.startsWith(QLatin1Char('.')), qPrintable(QString::number(code, 16)));
        for (const QChar c : name) {
            static const QList<QChar::Direction> directionControls = {
                QChar::DirLRE, QChar::DirLRO, QChar::DirRLE, QChar::DirRLO, QChar::DirPDF,
                QChar::DirLRI, QChar::DirRLI, QChar::DirFSI, QChar::DirPDI};
            const bool hidden =
                c.category() == QChar::Other_Control || directionControls.contains(c.direction());
            QVERIFY2(!hidden, qPrintable(QString::number(code, 16)));
        }
    }
}

void TestFileOperations::longNamesAreCutKeepingTheExtension_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fitted");

    QTest::newRow("short") << "clip"
                           << "clip.flv";
    QTest::newRow("exactly the limit")
        << QString(251, QLatin1Char('a')) << QString(251, QLatin1Char('a')) + ".flv";
    QTest::newRow("ASCII") << QString(300, QLatin1Char('a')) << QString(251, QLatin1Char('a')) + ".flv";
    // Two bytes each: 125 fit beside the extension (254 bytes), 126 would not.
    QTest::newRow("two-byte characters") << QString(300, QChar(0xE9)) << QString(125, QChar(0xE9)) + ".flv";
    // Four bytes and two UTF-16 units each: never split between its two units.
    QTest::newRow("emoji") << QString(QStringLiteral(u"\U0001F3AC")).repeated(70)
                           << QString(QStringLiteral(u"\U0001F3AC")).repeated(62) + ".flv";
    // Cut without re-encoding the whole rest per character, which took hours at this length.
    QTest::newRow("16 MiB") << QString(16 << 20, QLatin1Char('a')) << QString(251, QLatin1Char('a')) + ".flv";
}

void TestFileOperations::longNamesAreCutKeepingTheExtension() {
    QFETCH(QString, name);
    QFETCH(QString, fitted);
    const QString result = FitFileName(name, QStringLiteral(".flv"));
    QCOMPARE(result, fitted);
    // The name can really be created.
    QVERIFY(WriteFile(tempHome_.filePath(result), "x"));
    QVERIFY(QFile::remove(tempHome_.filePath(result)));
}

void TestFileOperations::parentFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("parent");

    QTest::newRow("nested") << "/srv/videos/clip.flv"
                            << "/srv/videos";
    QTest::newRow("in the root") << "/clip.flv"
                                 << "/";
    QTest::newRow("the root") << "/"
                              << "";
    QTest::newRow("bare name") << "clip.flv"
                               << "";
    QTest::newRow("relative") << "videos/clip.flv"
                              << "videos";
}

void TestFileOperations::parentFolder() {
    QFETCH(QString, path);
    QFETCH(QString, parent);
    QCOMPARE(ParentFolder(path), parent);
}

void TestFileOperations::tempNamesAreUniqueAndReserved() {
    // Names asked for within the same millisecond must differ, and each must exist already so
    // that no other job or process can take it.
    QSet<QString> names;
    for (int i = 0; i < 200; ++i) {
        const QString name = MakeTempFileName(i % 2 == 0 ? QString() : QStringLiteral(".flv"));
        QVERIFY(!name.isEmpty());
        QVERIFY(QFileInfo(name).fileName().startsWith(QLatin1String("~VD")));
        QVERIFY(name.endsWith(i % 2 == 0 ? QLatin1String(".tmp") : QLatin1String(".flv")));
        QCOMPARE(QFileInfo(name).absolutePath(), QDir(tempHome_.path()).absolutePath());
        QVERIFY(QFileInfo(name).isFile());
        names.insert(name);
    }
    QCOMPARE(names.size(), 200);
    for (const QString& name : names)
        QVERIFY(DeleteFileSilently(name));
}

void TestFileOperations::ensureFolderCreatesEveryLevel() {
    QTemporaryDir root;
    const QString deep = root.filePath(QStringLiteral("a/b/c"));
    QVERIFY(EnsureFolder(deep));
    QVERIFY(QFileInfo(deep).isDir());
    QVERIFY(EnsureFolder(deep));
    // A file where a folder should be is not a folder.
    QVERIFY(WriteFile(root.filePath(QStringLiteral("file")), "x"));
    QVERIFY(!EnsureFolder(root.filePath(QStringLiteral("file"))));
    QVERIFY(!EnsureFolder(root.filePath(QStringLiteral("file/sub"))));
}

void TestFileOperations::copyReplacesTheTargetWhole() {
    QTemporaryDir root;
    const QString source = root.filePath(QStringLiteral("source"));
    const QString target = root.filePath(QStringLiteral("out/deeper/target.flv"));
    QVERIFY(WriteFile(source, "new contents"));
    QVERIFY(CopyFileTo(source, target));
    QCOMPARE(ReadFile(target), QByteArray("new contents"));

    QVERIFY(WriteFile(source, "newer"));
    QVERIFY(CopyFileTo(source, target));
    QCOMPARE(ReadFile(target), QByteArray("newer"));
    QCOMPARE(ReadFile(source), QByteArray("newer"));
    QCOMPARE(QDir(root.filePath(QStringLiteral("out/deeper"))).entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("target.flv")}));
}

void TestFileOperations::failedCopyKeepsTheOldTarget() {
    QTemporaryDir root;
    const QString target = root.filePath(QStringLiteral("target.flv"));
    QVERIFY(WriteFile(target, "old"));
    QVERIFY(!CopyFileTo(root.filePath(QStringLiteral("missing")), target));
    QCOMPARE(ReadFile(target), QByteArray("old"));

    // A folder under the target's name is not replaced by a file.
    const QString folder = root.filePath(QStringLiteral("folder.flv"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(WriteFile(folder + QStringLiteral("/inside"), "kept"));
    QVERIFY(!CopyFileTo(target, folder));
    QCOMPARE(ReadFile(folder + QStringLiteral("/inside")), QByteArray("kept"));
    QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral("folder.flv"), QStringLiteral("target.flv")}));
}

void TestFileOperations::moveDeliversAndRemovesTheSource_data() {
    QTest::addColumn<QString>("sourceFolder");
    QTest::newRow("same file system") << QString();
    // /dev/shm is a separate memory file system on most Linux machines: the rename fails there
    // and the file must be copied instead.
    QTest::newRow("across file systems") << QStringLiteral("/dev/shm");
}

void TestFileOperations::moveDeliversAndRemovesTheSource() {
    QFETCH(QString, sourceFolder);
    QTemporaryDir root;
    QScopedPointer<QTemporaryDir> elsewhere(
        sourceFolder.isEmpty() ? nullptr : new QTemporaryDir(sourceFolder + QStringLiteral("/XXXXXX")));
    if (elsewhere && !elsewhere->isValid())
        QSKIP("no second file system to move from");
    const QString source = elsewhere ? elsewhere->filePath(QStringLiteral("download"))
                                     : root.filePath(QStringLiteral("download"));
    const QString target = root.filePath(QStringLiteral("out/video.flv"));
    QVERIFY(WriteFile(source, "the video"));
    QVERIFY(QFile::setPermissions(source, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QVERIFY(WriteFile(root.filePath(QStringLiteral("placeholder")), "")); // keeps root non-empty

    QVERIFY(MoveFileTo(source, target));
    QCOMPARE(ReadFile(target), QByteArray("the video"));
    QVERIFY(!QFileInfo::exists(source));
    // A private temporary file becomes an ordinary file others may read.
    QVERIFY(QFile::permissions(target).testFlag(QFileDevice::ReadOther));

    // A file in the way is replaced whole, and what the user allowed on it holds for the new one.
    const QFile::Permissions chosen =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(target, chosen));
    QVERIFY(WriteFile(source, "replaced"));
    QVERIFY(MoveFileTo(source, target));
    QCOMPARE(ReadFile(target), QByteArray("replaced"));
    QVERIFY(!QFileInfo::exists(source));
    const QFile::Permissions forThisUser =
        QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    QCOMPARE(QFile::permissions(target) & ~forThisUser, chosen);
    QCOMPARE(QDir(root.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("video.flv")}));
}

void TestFileOperations::failedMoveKeepsBothFiles() {
    QTemporaryDir root;
    const QString source = root.filePath(QStringLiteral("download"));
    const QString folder = root.filePath(QStringLiteral("video.flv"));
    QVERIFY(WriteFile(source, "the video"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(!MoveFileTo(source, folder));
    QCOMPARE(ReadFile(source), QByteArray("the video"));
    QVERIFY(QFileInfo(folder).isDir());
}

void TestFileOperations::deleteFileSilently() {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("gone"));
    QVERIFY(WriteFile(path, "x"));
    QVERIFY(DeleteFileSilently(path));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(DeleteFileSilently(path));
}

QTEST_GUILESS_MAIN(TestFileOperations)
#include "tst_fileoperations.moc"
