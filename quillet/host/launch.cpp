#include "launch.h"

#include "browser/entrypoints.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace Quillet {

namespace {

// The flag that tells the program to read the site's cookies from its standard input.
constexpr char CookiesFromInputFlag[] = "--cookies-from-stdin";
// How long the program may take to read them before the host gives up on it.
constexpr int CookiesWriteMilliseconds = 20000;

class SpawnSetup {
public:
    // input: the read end of a pipe for the program's standard input, or -1 for none.
    explicit SpawnSetup(int input) {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&files);
        // The browser's pipes must not reach the program: the browser waits for them to close.
        for (int fd : {0, 1, 2})
            if (fd != 0 || input < 0)
                posix_spawn_file_actions_addopen(&files, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
        if (input >= 0)
            posix_spawn_file_actions_adddup2(&files, input, 0);
        sigset_t all;
        sigfillset(&all);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes,
                                 POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&files);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t files;
};

class Pipe {
public:
    Pipe() {
        if (pipe2(ends_, O_CLOEXEC) != 0)
            ends_[0] = ends_[1] = -1;
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool IsOpen() const { return ends_[1] >= 0; }
    int ReadEnd() const { return ends_[0]; }
    void CloseRead() { Close(ends_[0]); }
    void CloseWrite() { Close(ends_[1]); }

    // Writes all of data, waiting while the reader is slow but never past the deadline: a
    // program that never reads must not keep the browser's helper forever.
    bool WriteAll(const QByteArray& data) {
        fcntl(ends_[1], F_SETFL, O_NONBLOCK);
        qsizetype done = 0;
        while (done < data.size()) {
            pollfd ready{ends_[1], POLLOUT, 0};
            const int polled = poll(&ready, 1, CookiesWriteMilliseconds);
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled <= 0)
                return false;
            const ssize_t written = write(ends_[1], data.constData() + done, size_t(data.size() - done));
            if (written < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (written < 0)
                return false;
            done += written;
        }
        return true;
    }

private:
    static void Close(int& fd) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    int ends_[2] = {-1, -1};
};

} // namespace

QString LaunchTarnwick(const QString& url, const QByteArray& cookies) {
    const QString folder = Tarnwick::StoredInstallFolder();
    if (folder.isEmpty())
        return QStringLiteral("Tarnwick's installation folder is not known (no \"InstallDir\" setting).");
    const QString program = Tarnwick::TarnwickProgramPath(folder);
    if (!Tarnwick::HoldsTarnwickProgram(folder))
        return QStringLiteral("Tarnwick is not installed in %1.").arg(folder);

    const QByteArray programBytes = QFile::encodeName(program);
    const QByteArray urlBytes = url.toUtf8();
    // The cookies go through a pipe: a command line or an environment is open to every process
    // of the machine, a file could be left behind.
    std::vector<char*> argv = {const_cast<char*>(programBytes.constData())};
    Pipe input;
    if (!cookies.isEmpty()) {
        if (!input.IsOpen())
            return QStringLiteral("Tarnwick could not be started: no pipe for the site's cookies.");
        argv.push_back(const_cast<char*>(CookiesFromInputFlag));
    }
    argv.push_back(const_cast<char*>(urlBytes.constData()));
    argv.push_back(nullptr);
    SpawnSetup setup(cookies.isEmpty() ? -1 : input.ReadEnd());
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &setup.files, &setup.attributes, argv.data(), environ);
    input.CloseRead();
    if (error != 0)
        return QStringLiteral("Tarnwick could not be started: %1.")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    if (!cookies.isEmpty() && !input.WriteAll(cookies))
        return QStringLiteral("Tarnwick started but did not take the site's cookies.");
    return {};
}

} // namespace Quillet
