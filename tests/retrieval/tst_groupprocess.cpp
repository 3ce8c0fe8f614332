#include "retrieval/sources/ytdlp/groupprocess.h"
#include "retrieval/sources/ytdlp/ytdlplocator.h"
#include "standinprogram.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <signal.h>

using namespace Tarnwick;

Q_DECLARE_METATYPE(GroupProcessResult::End)

namespace {

// Whether the process has gone; a zombie waiting for init to reap it has gone too.
bool ProcessGone(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") Z ");
}

} // namespace

class TestGroupProcess : public QObject {
    Q_OBJECT

private slots:
    void endsAsTheProgramDid_data();
    void endsAsTheProgramDid();
    void streamsOutputLineByLine();
    void stopEndsEveryProcessOfTheGroup();
    void findsYtDlp_data();
    void findsYtDlp();
    void findsTheInstalledYtDlp();

private:
    QTemporaryDir folder_;
};

void TestGroupProcess::endsAsTheProgramDid_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("silenceLimitMs");
    QTest::addColumn<GroupProcessResult::End>("end");
    QTest::addColumn<int>("exitCode");
    using End = GroupProcessResult::End;
    QTest::newRow("exit code") << QByteArray("echo out; echo err >&2; exit 3") << 10000 << End::Exited << 3;
    QTest::newRow("silent") << QByteArray("sleep 30") << 300 << End::Silent << -1;
    // Writing keeps it alive past the silence limit.
    QTest::newRow("slow but talking")
        << QByteArray("for i in 1 2 3 4 5 6; do echo $i >&2; sleep 0.1; done") << 400 << End::Exited << 0;
    QTest::newRow("too much output") << QByteArray("yes") << 10000 << End::OutputTooLong << -1;
    QTest::newRow("killed by a signal") << QByteArray("kill -9 $$") << 10000 << End::Crashed << -1;
}

void TestGroupProcess::endsAsTheProgramDid() {
    QFETCH(QByteArray, script);
    QFETCH(int, silenceLimitMs);
    QFETCH(GroupProcessResult::End, end);
    QFETCH(int, exitCode);
    const QString program = folder_.filePath(QStringLiteral("p.sh"));
    QVERIFY(WriteStandInProgram(program, script));
    GroupProcessRequest request;
    request.program = program;
    request.silenceLimitMs = silenceLimitMs;
    request.outputCap = 1 << 20;
    const GroupProcessResult result = RunGroupProcess(request);
    QCOMPARE(result.end, end);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(result.output.size() <= (1 << 20) + (1 << 17)); // the cap, give or take one read
    if (end == GroupProcessResult::End::Exited && exitCode == 3) {
        QCOMPARE(result.output, QByteArray("out\n"));
        QCOMPARE(result.error, QByteArray("err\n"));
    }
}

void TestGroupProcess::streamsOutputLineByLine() {
    const QString program = folder_.filePath(QStringLiteral("lines.sh"));
    QVERIFY(WriteStandInProgram(program, "printf 'one\\r\\ntwo\\n\\nlast'"));
    QList<QByteArray> lines;
    GroupProcessRequest request;
    request.program = program;
    request.outputLine = [&](const QByteArray& line) {
        lines << line;
    };
    const GroupProcessResult result = RunGroupProcess(request);
    QCOMPARE(result.end, GroupProcessResult::End::Exited);
    QCOMPARE(lines, (QList<QByteArray>{"one", "two", "", "last"}));
    QVERIFY(result.output.isEmpty());
}

void TestGroupProcess::stopEndsEveryProcessOfTheGroup() {
    // The program starts a child that would outlive it, and tells us the child's id.
    const QString program = folder_.filePath(QStringLiteral("tree.sh"));
    const QString pidFile = folder_.filePath(QStringLiteral("child.pid"));
    QVERIFY(WriteStandInProgram(program, "sleep 60 & echo $! > \"$1\"; sleep 60"));
    GroupProcessRequest request;
    request.program = program;
    request.arguments = {pidFile};
    QElapsedTimer sinceStop;
    request.shouldStop = [&] {
        if (!QFile::exists(pidFile) || QFile(pidFile).size() == 0)
            return false;
        if (!sinceStop.isValid())
            sinceStop.start();
        return true;
    };
    const GroupProcessResult result = RunGroupProcess(request);
    QCOMPARE(result.end, GroupProcessResult::End::Stopped);
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const qint64 child = file.readAll().trimmed().toLongLong();
    QVERIFY(child > 0);
    while (!ProcessGone(child) && sinceStop.elapsed() < 1000)
        QThread::msleep(10);
    QVERIFY2(ProcessGone(child), "the child outlived the stop by a second");
}

void TestGroupProcess::findsYtDlp_data() {
    QTest::addColumn<QByteArray>("script"); // empty: no program at all
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QString>("version"); // empty: not found
    // The locator must ask for the version without the user's configuration.
    const QByteArray answers = "[ \"$1\" = --ignore-config ] && [ \"$2\" = --version ] && ";
    QTest::newRow("answers") << answers + "echo 2024.01.02" << true << QStringLiteral("2024.01.02");
    QTest::newRow("missing") << QByteArray() << true << QString();
    QTest::newRow("not executable") << answers + "echo 2024.01.02" << false << QString();
    QTest::newRow("fails") << QByteArray("echo 2024.01.02; exit 2") << true << QString();
    QTest::newRow("says something else")
        << QByteArray("echo 'usage: frobnicate [options]'") << true << QString();
    QTest::newRow("floods") << QByteArray("yes") << true << QString();
}

void TestGroupProcess::findsYtDlp() {
    QFETCH(QByteArray, script);
    QFETCH(bool, executable);
    QFETCH(QString, version);
    QTemporaryDir bin;
    const QString program = bin.filePath(QStringLiteral("yt-dlp"));
    if (!script.isEmpty()) {
        QVERIFY(WriteStandInProgram(program, script));
        if (!executable)
            QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner));
    }
    const YtDlpProgram byPath = FindYtDlp(program);
    QCOMPARE(byPath.version, version);
    QCOMPARE(byPath.IsFound(), !version.isEmpty());
    QCOMPARE(byPath.path, version.isEmpty() ? QString() : program);

    // An empty setting looks for the same program on PATH.
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    const YtDlpProgram onPath = FindYtDlp(QString());
    qputenv("PATH", oldPath);
    QCOMPARE(onPath.version, version);
}

void TestGroupProcess::findsTheInstalledYtDlp() {
    const YtDlpProgram program = FindYtDlp(QStringLiteral("/usr/bin/yt-dlp"));
    QVERIFY2(program.IsFound(), "yt-dlp is not installed (./run installs it)");
    QVERIFY2(
        QRegularExpression(QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2}")).match(program.version).hasMatch(),
        qPrintable(program.version));
}

QTEST_GUILESS_MAIN(TestGroupProcess)
#include "tst_groupprocess.moc"
