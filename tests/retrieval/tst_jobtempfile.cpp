#include "retrieval/job/jobtempfile.h"
#include "retrieval/job/stalejobfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <sys/stat.h>

using namespace Tarnwick;

namespace {

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestJobTempFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void livesHiddenInTheOutputFolder();
    void writesThroughTheCreatedFileAndGoesAway();
    void releasedFileStays();
    void fallsBackToTheTemporaryFolder_data();
    void fallsBackToTheTemporaryFolder();
    void staleFilesGoAndHeldOnesStay();

private:
    QTemporaryDir tempHome_;
    QTemporaryDir output_;
};

void TestJobTempFile::initTestCase() {
    // The system temporary folder of this case is a folder of its own, so that leftovers show.
    qputenv("TMPDIR", QFile::encodeName(tempHome_.path()));
}

void TestJobTempFile::cleanup() {
    QCOMPARE(Entries(tempHome_.path()), QStringList());
    QCOMPARE(Entries(output_.path()), QStringList());
}

void TestJobTempFile::livesHiddenInTheOutputFolder() {
    static const QRegularExpression hiddenName(QStringLiteral("^\\.~VD[0-9a-f]{8}\\.part$"));
    // Several at once, as a download and its conversion (or two processes) hold them.
    JobTempFile first(output_.path());
    JobTempFile second(output_.path());
    QVERIFY(first.IsValid() && second.IsValid());
    QVERIFY(first.Path() != second.Path());
    for (const JobTempFile* file : {&first, &second}) {
        const QFileInfo info(file->Path());
        QCOMPARE(info.absolutePath(), QDir(output_.path()).absolutePath());
        QVERIFY2(hiddenName.match(info.fileName()).hasMatch(), qPrintable(info.fileName()));
        QVERIFY(info.isFile());
        // Nobody else may read a download before it is delivered.
        QCOMPARE(info.permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
    }
}

void TestJobTempFile::writesThroughTheCreatedFileAndGoesAway() {
    const QString folder = output_.filePath(QStringLiteral("not/yet/there"));
    QString path;
    {
        JobTempFile file(folder);
        QVERIFY(file.IsValid());
        path = file.Path();
        QCOMPARE(QFileInfo(path).absolutePath(), QDir(folder).absolutePath());
        QVERIFY(file.File().isOpen());
        QCOMPARE(file.File().write("contents"), qint64(8));
        QVERIFY(file.Close());
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("contents"));
    }
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(QDir(output_.path()).removeRecursively() && QDir().mkpath(output_.path()));
}

void TestJobTempFile::releasedFileStays() {
    QString path;
    {
        JobTempFile file(output_.path());
        path = file.Path();
        file.Close();
        file.Release();
        QVERIFY(!file.IsValid());
    }
    QVERIFY(QFileInfo(path).isFile());
    QVERIFY(QFile::remove(path));
}

void TestJobTempFile::fallsBackToTheTemporaryFolder_data() {
    QTest::addColumn<QString>("outputFolder");
    QTest::newRow("no output folder") << QString();
    QTest::newRow("a file stands in the way") << QStringLiteral("blocker/sub");
}

void TestJobTempFile::fallsBackToTheTemporaryFolder() {
    QFETCH(QString, outputFolder);
    QFile blocker(output_.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString folder = outputFolder.isEmpty() ? QString() : output_.filePath(outputFolder);

    QString path;
    {
        JobTempFile file(folder);
        QVERIFY(file.IsValid());
        path = file.Path();
        QCOMPARE(QFileInfo(path).absolutePath(), QDir(tempHome_.path()).absolutePath());
        QVERIFY2(QFileInfo(path).fileName().startsWith(QLatin1String("~VD")), qPrintable(path));
        QCOMPARE(file.File().write("x"), qint64(1));
        QVERIFY(file.Close());
    }
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(blocker.remove());
}

void TestJobTempFile::staleFilesGoAndHeldOnesStay() {
    QTemporaryDir folder;
    QTemporaryDir elsewhere;
    const auto make = [&](const QString& name) {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
    };
    std::optional<JobTempFile> running(std::in_place, folder.path());
    const QString runningName = QFileInfo(running->Path()).fileName();
    QVERIFY(running->Close());
    const QStringList kept = {
        runningName,                                 // a running job's file, held while it lives
        runningName + QStringLiteral(".partial-1a"), // its conversion's output in the making
        QStringLiteral(".~VDnotours"),
        QStringLiteral("clip.part"),
        QStringLiteral("~VDclip.mp4"),
        QStringLiteral(".~VDfeedface.part"), // a link: never followed, never removed
        QStringLiteral(".~VD0000fifo.part"), // not a regular file
        QStringLiteral(".~VD0aba1dea.part"), // kept on purpose for a later run
    };
    const QStringList stale = {
        QStringLiteral(".~VDdeadbeef.part"), QStringLiteral(".~VDdeadbeef.part.partial-0badf00d"),
        QStringLiteral(".~VD0000abcd.part.partial-12345678"), QStringLiteral("~VD00001234.tmp"),
        QStringLiteral("~VD00001234.tmp.partial-00c0ffee")};
    for (const QString& name : stale + kept.mid(1, 4) + kept.mid(7))
        QVERIFY2(make(name), qPrintable(name));
    int keptAsked = 0;
    const auto keptFiles = [&] {
        ++keptAsked;
        return QStringList{folder.filePath(kept[7])};
    };
    QFile target(elsewhere.filePath(QStringLiteral("target")));
    QVERIFY(target.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(target.fileName(), folder.filePath(kept[5])));
    QCOMPARE(::mkfifo(QFile::encodeName(folder.filePath(kept[6])).constData(), 0600), 0);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Files just made may belong to a job that has not taken hold of its file yet.
    QCOMPARE(RemoveStaleJobFiles(folder.path(), now, keptFiles), 0);
    QCOMPARE(keptAsked, 0); // nothing was old enough to need the list
    const QDateTime later = now.addSecs(StaleJobFileMinimumAgeSeconds + 1);
    QCOMPARE(RemoveStaleJobFiles(folder.path(), later, keptFiles), int(stale.size()));
    QCOMPARE(keptAsked, 1);
    QStringList expected = kept;
    expected.sort();
    QCOMPARE(Entries(folder.path()), expected);
    // The job ended: its file went with it, and its orphaned partial goes with the next run.
    running.reset();
    QCOMPARE(RemoveStaleJobFiles(folder.path(), later, keptFiles), 1);
    QVERIFY(!Entries(folder.path()).contains(kept[1]));
}

QTEST_GUILESS_MAIN(TestJobTempFile)
#include "tst_jobtempfile.moc"
