// The settings file on a disk that fills up during the save: the old file stays whole.

#include "app/settingsfile.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void nearlyFullFileSystemKeepsTheOldFile_data();
    void nearlyFullFileSystemKeepsTheOldFile();
    void failedWriteAtAnyByteKeepsOldOrNewFile();
    void symbolicLinkIsSavedThrough();

private:
    // A settings file as an earlier session left it.
    static QByteArray OldSettings(const QString& folder);
    static QByteArray ReadAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    QByteArray old_;
};

QByteArray TestSettingsFile::OldSettings(const QString& folder) {
    const QString path = folder + QStringLiteral("/Tarnwick.conf");
    {
        QSettings stored(path, QSettings::IniFormat);
        stored.setValue(QStringLiteral("InstallDir"), QStringLiteral("/opt/tarnwick"));
        stored.setValue(QStringLiteral("Settings/Player"), QStringLiteral("/usr/bin/oldPlayer"));
        stored.setValue(QStringLiteral("Recent/URLs/1"), QStringLiteral("http://old.example/watch?v=1"));
    }
    const QByteArray bytes = ReadAll(path);
    QFile::remove(path);
    return bytes;
}

void TestSettingsFile::initTestCase() {
    QTemporaryDir scratch;
    old_ = OldSettings(scratch.path());
    QVERIFY(old_.contains("oldPlayer"));
}

void TestSettingsFile::nearlyFullFileSystemKeepsTheOldFile_data() {
    QTest::addColumn<int>("freeKiB");
    QTest::addColumn<bool>("saved");
    QTest::newRow("full") << 0 << false;
    QTest::newRow("4 KiB free") << 4 << false;
    QTest::newRow("8 KiB free") << 8 << false;
    // The save edits the file's text and needs room for the new file alone.
    QTest::newRow("12 KiB free") << 12 << true;
    QTest::newRow("128 KiB free") << 128 << true;
}

void TestSettingsFile::nearlyFullFileSystemKeepsTheOldFile() {
    QFETCH(int, freeKiB);
    QFETCH(bool, saved);
    if (::geteuid() != 0)
        QSKIP("mounting a small file system needs root");
    QTemporaryDir work;
    const QString mountPoint = work.filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(mountPoint + QStringLiteral("/Ostrand")));
    QFile oldFile(work.filePath(QStringLiteral("old.conf")));
    QVERIFY(oldFile.open(QIODevice::WriteOnly) && oldFile.write(old_) == old_.size());
    oldFile.close();
    // A tmpfs of 256 KiB in a mount namespace of its own, which goes with the process. Filled
    // up entirely, then freed by the amount asked for; the saver runs with its settings there.
    const QString script = QStringLiteral(R"(
        mount -t tmpfs -o size=256k tmpfs "$1" || exit 90
        mkdir -p "$1/Ostrand" && cp "$2" "$1/Ostrand/Tarnwick.conf" || exit 91
        dd if=/dev/zero of="$1/fill" bs=4096 2>/dev/null
        truncate -s -"$3"K "$1/fill" || exit 92
        XDG_CONFIG_HOME="$1" "$4" save
        status=$?
        cp "$1/Ostrand/Tarnwick.conf" "$5/after.conf"
        ls -A "$1/Ostrand" > "$5/listing"
        exit $status)");
    QProcess process;
    process.start(QStringLiteral("unshare"),
                  {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                   QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"), mountPoint,
                   oldFile.fileName(), QString::number(freeKiB), QStringLiteral(SETTINGS_SAVER_PATH),
                   work.path()});
    QVERIFY(process.waitForFinished(60000));
    if (process.exitCode() >= 90 || process.exitStatus() != QProcess::NormalExit ||
        process.error() == QProcess::FailedToStart)
        QSKIP(qPrintable(QStringLiteral("no small file system here: %1")
                             .arg(QString::fromLocal8Bit(process.readAllStandardError()))));
    QCOMPARE(process.exitCode(), saved ? 0 : 1);
    const QByteArray after = ReadAll(work.filePath(QStringLiteral("after.conf")));
    if (saved) {
        QVERIFY(after.contains("newPlayer") && after.contains("new.example/7/"));
        QVERIFY(after.contains("/opt/tarnwick")); // what the save does not change stays
    } else {
        QCOMPARE(after, old_);
    }
    QCOMPARE(ReadAll(work.filePath(QStringLiteral("listing"))), QByteArray("Tarnwick.conf\n"));
}

void TestSettingsFile::failedWriteAtAnyByteKeepsOldOrNewFile() {
    QTemporaryDir config;
    const QString folder = config.filePath(QStringLiteral("Ostrand"));
    const QString path = folder + QStringLiteral("/Tarnwick.conf");
    QVERIFY(QDir().mkpath(folder));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    const auto save = [&](qint64 limit) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(old_) != old_.size())
            return -1;
        file.close();
        QProcess saver;
        saver.setProcessEnvironment(environment);
        saver.start(QStringLiteral(SETTINGS_SAVER_PATH), {QStringLiteral("limit"), QString::number(limit)});
        return saver.waitForFinished(30000) ? saver.exitCode() : -1;
    };
    QCOMPARE(save(qint64(1) << 30), 0);
    const QByteArray newBytes = ReadAll(path);
    QVERIFY(newBytes.contains("newPlayer"));

    int failed = 0;
    for (qint64 limit = 0; limit <= newBytes.size() + 1; limit += (limit < 8 ? 1 : newBytes.size() / 23)) {
        const int status = save(limit);
        QVERIFY(status == 0 || status == 1);
        QVERIFY2(ReadAll(path) == (status == 0 ? newBytes : old_),
                 qPrintable(QStringLiteral("limit %1").arg(limit)));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Tarnwick.conf")});
        failed += status;
    }
    QVERIFY(failed > 20);
}

void TestSettingsFile::symbolicLinkIsSavedThrough() {
    TestSupport::IsolatedProfile profile;
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QTemporaryDir dotfiles;
    const QString target = dotfiles.filePath(QStringLiteral("tarnwick.conf"));
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old_) == old_.size());
    file.close();
    QVERIFY(QDir().mkpath(QFileInfo(profile.SettingsFile()).absolutePath()));
    QVERIFY(QFile::link(target, profile.SettingsFile()));

    QVERIFY(Tarnwick::WriteSettingsSafely([](QSettings& stored) {
        stored.setValue(QStringLiteral("Settings/Player"), QStringLiteral("/usr/bin/linked"));
    }));
    QCOMPARE(QFileInfo(profile.SettingsFile()).symLinkTarget(), target);
    const QByteArray after = ReadAll(target);
    QVERIFY(after.contains("/usr/bin/linked") && after.contains("old.example"));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
