#include "launch.h"

#include "browser/entrypoints.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>

extern char** environ;

namespace Quillet {

namespace {

class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&files);
        // The browser's pipes must not reach the program: the browser waits for them to close.
        for (int fd : {0, 1, 2})
            posix_spawn_file_actions_addopen(&files, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
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

} // namespace

QString LaunchTarnwick(const QString& url) {
    const QString folder = Tarnwick::StoredInstallFolder();
    if (folder.isEmpty())
        return QStringLiteral("Tarnwick's installation folder is not known (no \"InstallDir\" setting).");
    const QString program = Tarnwick::TarnwickProgramPath(folder);
    if (!Tarnwick::HoldsTarnwickProgram(folder))
        return QStringLiteral("Tarnwick is not installed in %1.").arg(folder);

    const QByteArray programBytes = QFile::encodeName(program);
    const QByteArray urlBytes = url.toUtf8();
    char* argv[] = {const_cast<char*>(programBytes.constData()), const_cast<char*>(urlBytes.constData()),
                    nullptr};
    SpawnSetup setup;
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &setup.files, &setup.attributes, argv, environ);
    if (error != 0)
        return QStringLiteral("Tarnwick could not be started: %1.")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    return {};
}

} // namespace Quillet
