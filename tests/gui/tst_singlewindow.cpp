// One window per user and settings: later starts hand their addresses to the running window
// through its local socket, and the socket is this user's alone.
#include "app/windowhandoff.h"
#include "sampleservice.h"
#include "testenvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <unistd.h>

using namespace Tarnwick;

namespace {

QString ProgramPath() {
    return QDir(TestSupport::BinDir()).filePath(QStringLiteral("tarnwick"));
}

// A window of the program, in its own process group so that it is ended by the group.
class RunningWindow {
public:
    explicit RunningWindow(const QStringList& arguments) {
        process_.setChildProcessModifier([] { ::setpgid(0, 0); });
        process_.start(ProgramPath(), arguments);
    }
    ~RunningWindow() {
        if (process_.state() != QProcess::NotRunning) {
            ::kill(-pid_t(process_.processId()), SIGTERM);
            if (!process_.waitForFinished(10000))
                ::kill(-pid_t(process_.processId()), SIGKILL);
            process_.waitForFinished();
        }
    }
    QProcess& Process() { return process_; }

private:
    QProcess process_;
};

struct Finished {
    int exitCode = -1;
    QByteArray out;
};

Finished RunToEnd(const QStringList& arguments, const QString& workingFolder = QString(),
                  const QByteArray& input = QByteArray()) {
    QProcess process;
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(ProgramPath(), arguments);
    process.write(input);
    process.closeWriteChannel();
    Finished result;
    if (!process.waitForFinished(60000)) {
        ::kill(-pid_t(process.processId()), SIGKILL);
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    return result;
}

// Whether a window listens on the socket (a left-behind socket file refuses).
bool Listening() {
    QLocalSocket socket;
    socket.connectToServer(WindowSocketName());
    return socket.waitForConnected(500);
}

// Plain files under folder (none of the other tests' large media) that hold text.
QStringList FilesHolding(const QString& folder, const QByteArray& text) {
    QStringList found;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.size() < (16 << 20) && file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
            found.append(file.fileName());
    }
    return found;
}

QByteArray ProcessFile(qint64 pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool FileHolds(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
}

} // namespace

class TestSingleWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The names the program's settings path is made of, so that this process finds the
        // socket the program listens on.
        QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    }

    // The window starts over a socket a crashed window left; a later start with an address
    // and a relative folder ends at once, having handed both over; the running window
    // downloads it into that folder as its working folder names it, not as the window's does.
    void laterStartHandsItsAddressToTheWindow() {
        TestSupport::IsolatedProfile profile;
        SampleService service;
        QVERIFY2(service.Start(), qPrintable(service.Error()));
        {
            QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
            stored.setValue(QStringLiteral("Settings/AutoStart"), 1);
            stored.setValue(QStringLiteral("Settings/Convert"), 0);
        }
        const QString socket = WindowSocketName();
        QDir().mkpath(QFileInfo(socket).path());
        QVERIFY(TestSupport::MakeSpecialFile(socket, true));
        QVERIFY(!Listening());
        RunningWindow window({});
        QTRY_VERIFY_WITH_TIMEOUT(Listening(), 20000);
        QTemporaryDir elsewhere;
        const Finished later =
            RunToEnd({service.Url(QStringLiteral("/bytes/handed.mp4?n=300000")), QStringLiteral("videos")},
                     elsewhere.path());
        QCOMPARE(later.exitCode, 0);
        QVERIFY2(!later.out.contains("Begin downloading"), later.out.constData());
        QTRY_VERIFY_WITH_TIMEOUT(
            FileHolds(elsewhere.filePath(QStringLiteral("videos/handed.mp4")), PatternBytes(300000)), 20000);

        // A start with no address only brings the window forward: nothing is added or started.
        QCOMPARE(RunToEnd({}).exitCode, 0);
        QCOMPARE(window.Process().state(), QProcess::Running);
        QVERIFY(window.Process().readAllStandardOutput().contains("Begin downloading"));
    }

    // The site's cookies a start reads from its input go to the running window with the
    // address, and there to the site, for that row alone; the next row of that address, handed
    // over without them, is refused by the site and told to sign in. The secret is in no
    // command line, environment or file of the program.
    void cookiesOnTheInputGoWithTheirAddress() {
        TestSupport::IsolatedProfile profile;
        SampleService service;
        QVERIFY2(service.Start({QStringLiteral("--members-cookie"), QStringLiteral("member=s3cr3t-handed")}),
                 qPrintable(service.Error()));
        {
            QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
            stored.setValue(QStringLiteral("Settings/AutoStart"), 1);
            stored.setValue(QStringLiteral("Settings/Convert"), 0);
        }
        QTemporaryDir output;
        RunningWindow window({output.path()});
        QTRY_VERIFY_WITH_TIMEOUT(Listening(), 20000);
        const QString address = service.Url(QStringLiteral("/bytes/members.mp4?n=200000"));
        const QByteArray cookies = "127.0.0.1\tFALSE\t/\tFALSE\t0\tmember\ts3cr3t-handed\n";
        QCOMPARE(RunToEnd({QStringLiteral("--cookies-from-stdin"), address}, {}, cookies).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            FileHolds(output.filePath(QStringLiteral("members.mp4")), PatternBytes(200000)), 20000);

        QCOMPARE(RunToEnd({address}).exitCode, 0);
        QByteArray shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += window.Process().readAllStandardOutput()).contains("signed in"),
                                 20000);

        const qint64 pid = window.Process().processId();
        QVERIFY(!ProcessFile(pid, "cmdline").contains("s3cr3t"));
        QVERIFY(!ProcessFile(pid, "environ").isEmpty());
        QVERIFY(!ProcessFile(pid, "environ").contains("s3cr3t"));
        QVERIFY(!shown.contains("s3cr3t"));
        for (const QString& folder :
             {profile.ConfigHome(), profile.DataHome(), profile.CacheHome(),
              QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation), QDir::tempPath()})
            QCOMPARE(FilesHolding(folder, "s3cr3t-handed"), QStringList());
    }

    // "--new-window" opens a window of its own beside the running one: it downloads and closes
    // by itself, and the running window sees nothing of it.
    void newWindowStartsAWindowOfItsOwn() {
        TestSupport::IsolatedProfile profile;
        SampleService service;
        QVERIFY2(service.Start(), qPrintable(service.Error()));
        QTemporaryDir output;
        {
            // The running window, started with no address, neither starts nor closes.
            QSettings stored(profile.SettingsFile(), QSettings::IniFormat);
            stored.setValue(QStringLiteral("Settings/AutoStart"), 1);
            stored.setValue(QStringLiteral("Settings/AutoClose"), 1);
            stored.setValue(QStringLiteral("Settings/Convert"), 0);
        }
        RunningWindow window({});
        QTRY_VERIFY_WITH_TIMEOUT(Listening(), 20000);
        const Finished own = RunToEnd({QStringLiteral("--new-window"),
                                       service.Url(QStringLiteral("/bytes/own.mp4?n=1000")), output.path()});
        QCOMPARE(own.exitCode, 0);
        QVERIFY2(own.out.contains("Begin downloading"), own.out.constData());
        QVERIFY(FileHolds(output.filePath(QStringLiteral("own.mp4")), PatternBytes(1000)));
        QCOMPARE(window.Process().state(), QProcess::Running);
        QVERIFY(!window.Process().readAllStandardOutput().contains("Begin downloading"));
    }

    // Another user's process can neither open the socket nor find the folder it is in.
    void anotherUserCannotConnect() {
        if (::geteuid() != 0)
            QSKIP("needs root, to run a process as another user");
        if (QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty())
            QSKIP("runuser is not installed");
        TestSupport::IsolatedProfile profile;
        RunningWindow window({});
        QTRY_VERIFY_WITH_TIMEOUT(Listening(), 20000);
        const QString connect = QStringLiteral("import socket,sys\n"
                                               "s = socket.socket(socket.AF_UNIX)\n"
                                               "try:\n"
                                               "    s.connect(sys.argv[1])\n"
                                               "except PermissionError:\n"
                                               "    sys.exit(3)\n");
        for (const QString& user : {QStringLiteral("nobody"), QStringLiteral("root")}) {
            QProcess other;
            other.start(QStringLiteral("runuser"),
                        {QStringLiteral("-u"), user, QStringLiteral("--"), QStringLiteral("python3"),
                         QStringLiteral("-c"), connect, WindowSocketName()});
            QVERIFY(other.waitForFinished(20000));
            // The owner's own connection is the control: the same script reaches the window.
            QCOMPARE(other.exitCode(), user == QStringLiteral("root") ? 0 : 3);
        }
    }
};

QTEST_MAIN(TestSingleWindow)
#include "tst_singlewindow.moc"
