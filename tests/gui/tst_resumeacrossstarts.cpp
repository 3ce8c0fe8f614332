// The tarnwick program ended in the middle of a download (killed, or asked to end) comes back
// with the job at its next start and continues it with a range, and a damaged journal does not
// stop it from starting.

#include "sampleservice.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

constexpr qint64 BodyBytes = 40'000'000;

QString Program() {
    return QDir(TestSupport::BinDir()).filePath(QStringLiteral("tarnwick"));
}

QString JournalFolder(const TestSupport::IsolatedProfile& profile) {
    return profile.DataHome() + QStringLiteral("/Ostrand/Tarnwick/Journal");
}

QStringList FilesIn(const QString& folder, const QString& pattern) {
    return QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The one working file in folder, or an empty text.
QString PartialFile(const QString& folder) {
    const QStringList parts = FilesIn(folder, QStringLiteral(".~VD*.part"));
    return parts.size() == 1 ? QDir(folder).filePath(parts.first()) : QString();
}

// The program started and holding its journal: a lock file of a running window is there.
bool WaitForStart(const TestSupport::IsolatedProfile& profile) {
    return QTest::qWaitFor(
        [&] { return !FilesIn(JournalFolder(profile), QStringLiteral("window-*.lock")).isEmpty(); }, 30000);
}

} // namespace

class TestResumeAcrossStarts : public QObject {
    Q_OBJECT

private slots:
    void endedRunContinuesAtNextStart_data();
    void endedRunContinuesAtNextStart();
    void damagedJournalStillStarts();
};

void TestResumeAcrossStarts::endedRunContinuesAtNextStart_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGKILL") << int(SIGKILL);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void TestResumeAcrossStarts::endedRunContinuesAtNextStart() {
    QFETCH(int, signalNumber);
    TestSupport::IsolatedProfile profile;
    SampleService service;
    QVERIFY2(service.Start(), qPrintable(service.Error()));
    {
        QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("Settings/AutoStart"), 1);
        stored.setValue(QStringLiteral("Settings/AutoClose"), 1);
        stored.setValue(QStringLiteral("Settings/Convert"), 0);
    }
    QTemporaryDir output;
    // About five seconds for the whole body, so that the signal meets it under way.
    const QString address = service.Url(QStringLiteral("/versioned?n=%1&rate=8000000").arg(BodyBytes));

    QProcess first;
    first.start(Program(), {address, output.path()});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(PartialFile(output.path())).size() >= BodyBytes / 2, 30000);
    ::kill(pid_t(first.processId()), signalNumber);
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitStatus(), signalNumber == SIGKILL ? QProcess::CrashExit : QProcess::NormalExit);
    const QString partial = PartialFile(output.path());
    QVERIFY2(!partial.isEmpty(), "the partial download was not kept");
    const qint64 kept = QFileInfo(partial).size();
    QVERIFY(kept >= BodyBytes * 2 / 5);

    // The next start takes the job back, starts by itself and closes when it is done.
    QProcess second;
    second.start(Program(), {});
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 0);
    QFile delivered(output.filePath(QStringLiteral("versioned.mp4")));
    QVERIFY(delivered.open(QIODevice::ReadOnly));
    QVERIFY2(delivered.readAll() == VersionedBytes(BodyBytes, 1), "the delivered file differs from the body");
    QVERIFY(PartialFile(output.path()).isEmpty());
    const ServedLog served = Served(service);
    QVERIFY2(served.bytes <= BodyBytes * 115 / 100, qPrintable(QString::number(served.bytes)));
    QVERIFY(!served.requests.isEmpty());
    const QString continuation = served.requests.last();
    QVERIFY2(continuation.startsWith(QStringLiteral("bytes=")) &&
                 continuation.endsWith(QStringLiteral("|\"ver-1\"")),
             qPrintable(continuation));
    QVERIFY(continuation.mid(6).section(QLatin1Char('-'), 0, 0).toLongLong() >= BodyBytes * 2 / 5);
    QVERIFY(FilesIn(JournalFolder(profile), QStringLiteral("*.json")).isEmpty());

    // A third start finds nothing to do: no row, no request.
    QProcess third;
    third.start(Program(), {});
    QVERIFY(WaitForStart(profile));
    QTest::qWait(500);
    ::kill(pid_t(third.processId()), SIGTERM);
    QVERIFY(third.waitForFinished(30000));
    QCOMPARE(Served(service).requests.size(), served.requests.size());
    QVERIFY(FilesIn(JournalFolder(profile), QStringLiteral("*.json")).isEmpty());
}

void TestResumeAcrossStarts::damagedJournalStillStarts() {
    TestSupport::IsolatedProfile profile;
    QVERIFY(QDir().mkpath(JournalFolder(profile)));
    const QString damaged = JournalFolder(profile) + QStringLiteral("/window-1-0badf00d.json");
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"tarnwickJournal\":1,\"jobs\":[{\"url\":");
    file.close();

    QProcess program;
    program.start(Program(), {});
    QVERIFY(WaitForStart(profile));
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("could not be read")), qPrintable(err));
    QVERIFY(!QFile::exists(damaged));
    QVERIFY(QFile::exists(damaged + QStringLiteral(".bad")));
}

QTEST_GUILESS_MAIN(TestResumeAcrossStarts)
#include "tst_resumeacrossstarts.moc"
