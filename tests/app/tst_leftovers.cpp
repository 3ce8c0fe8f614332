// What start-up removes of an earlier Tarnwick's leftovers, and what it must leave alone.

#include "app/leftovers.h"
#include "retrieval/job/stalejobfiles.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;

class TestLeftovers : public QObject {
    Q_OBJECT

private slots:
    void removesOnlyOurOldFiles();
    void settingsLockGoesOnlyWhenItsHolderIsGone();

private:
    // Creates folder/name, last changed ageSeconds ago.
    static void Make(const QString& folder, const QString& name, qint64 ageSeconds);
    static QStringList Entries(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
};

void TestLeftovers::Make(const QString& folder, const QString& name, qint64 ageSeconds) {
    QFile file(QDir(folder).filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write("x") == 1 && file.flush());
    QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds),
                             QFileDevice::FileModificationTime));
}

void TestLeftovers::removesOnlyOurOldFiles() {
    QTemporaryDir config, install, output, recent, temp;
    const qint64 old = JobLeftoverAgeSeconds + 60;
    const qint64 recentSave = SaveLeftoverAgeSeconds - 60;
    const qint64 oldSave = SaveLeftoverAgeSeconds + 60;

    // Left behind by saves and jobs that never finished.
    Make(config.path(), "Tarnwick.conf.~TWAb12Cd", oldSave);
    Make(config.path(), "Tarnwick.conf.~TWAb12Cd.Ef34Gh", oldSave);
    Make(config.path(), "Tarnwick.conf.~TWAb12Cd.lock", oldSave);
    Make(install.path(), "Presets.xml.~TWx1Y2z3", oldSave);
    Make(install.path(), "Presets.xml.x1Y2z3", oldSave); // the name earlier versions gave
    Make(install.path(), ".tarnwick-write-test.QwErTy", oldSave);
    Make(output.path(), ".~VDa1b2c3.part", old);
    Make(recent.path(), ".~VDzz99.part", old);
    Make(temp.path(), "~VDk7L8m9.tmp", old);
    Make(temp.path(), "~VDk7L8m0", old);
    // What a running Tarnwick may be writing, and what is not ours.
    const QStringList keptConfig = {"Tarnwick.conf", "Tarnwick.conf.backup", "Tarnwick.conf.~TWZz99Yy"};
    Make(config.path(), "Tarnwick.conf", old);
    Make(config.path(), "Tarnwick.conf.~TWZz99Yy", recentSave);
    Make(config.path(), "Tarnwick.conf.backup", old);
    const QStringList keptInstall = {"Presets.xml", "Presets.xml.damaged", "Presets.xml.mine01"};
    for (const QString& name : keptInstall)
        Make(install.path(), name, old);
    const QStringList keptOutput = {".~VDfresh1.part",  ".~VDheld01.part", ".~VDlink00.part",
                                    ".~VDold.part.bak", "clip.part",       "~VDclip.flv"};
    Make(output.path(), ".~VDfresh1.part", JobLeftoverAgeSeconds - 60);
    // A download running for longer than a day.
    Make(output.path(), ".~VDheld01.part", old);
    const int held = HoldJobFile(output.filePath(".~VDheld01.part"));
    QVERIFY(held >= 0);
    QVERIFY(QFile::link(QDir(temp.path()).filePath("~VDk7L8m9.tmp"), output.filePath(".~VDlink00.part")));
    Make(output.path(), ".~VDold.part.bak", old);
    Make(output.path(), "clip.part", old);
    Make(output.path(), "~VDclip.flv", old);
    QVERIFY(QDir(temp.path()).mkdir("~VDfolder"));
    Make(temp.path(), "~VDnew123.tmp", JobLeftoverAgeSeconds - 60);

    LeftoverPlaces places;
    places.settingsFile = config.filePath("Tarnwick.conf");
    places.presetFile = install.filePath("Presets.xml");
    places.outputFolders = {output.path(), recent.path(), output.path(), QString()};
    places.tempFolder = temp.path();
    const int removed = RemoveLeftovers(places);
    ReleaseJobFile(held);

    QCOMPARE(Entries(config.path()), keptConfig);
    QCOMPARE(Entries(install.path()), keptInstall);
    QCOMPARE(Entries(output.path()), keptOutput);
    QCOMPARE(Entries(recent.path()), QStringList());
    QCOMPARE(Entries(temp.path()), QStringList({"~VDfolder", "~VDnew123.tmp"}));
    QCOMPARE(removed, 10);
}

void TestLeftovers::settingsLockGoesOnlyWhenItsHolderIsGone() {
    QTemporaryDir config;
    LeftoverPlaces places;
    places.settingsFile = config.filePath("Tarnwick.conf");
    const QString lockPath = places.settingsFile + ".lock";
    {
        QLockFile held(lockPath);
        QVERIFY(held.tryLock(0));
        QCOMPARE(RemoveLeftovers(places), 0);
        QVERIFY(QFile::exists(lockPath));
    }
    QVERIFY(!QFile::exists(lockPath));

    // A lock whose process has ended, written as the lock file writes it.
    QProcess ended;
    ended.start("sleep", {"0.2"});
    QVERIFY(ended.waitForStarted());
    const qint64 pid = ended.processId();
    QVERIFY(ended.waitForFinished());
    QFile stale(lockPath);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray::number(pid) + "\ntst_leftovers\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    QCOMPARE(RemoveLeftovers(places), 1);
    QVERIFY(!QFile::exists(lockPath));
}

QTEST_GUILESS_MAIN(TestLeftovers)
#include "tst_leftovers.moc"
