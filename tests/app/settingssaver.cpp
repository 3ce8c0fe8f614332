// Saves the settings of $XDG_CONFIG_HOME in a process of its own, through the program's own
// save, after changing them: eight long recent addresses, so that the new file (some 8 KiB)
// fits the write buffer and only its final flush meets the full disk.
// The test runs it on a nearly full file system, or under a file-size limit.
//
//   settingssaver save            exit status 0 when saved, 1 when not
//   settingssaver limit <bytes>   the same with writes failing past <bytes> (EFBIG)

#include "app/appsettings.h"
#include "app/settingsfile.h"

#include <QCoreApplication>
#include <QSettings>
#include <csignal>
#include <sys/resource.h>

using namespace Tarnwick;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    const QStringList args = application.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("limit")) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t bytes = args[2].toULongLong();
        const rlimit limit{bytes, bytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
    } else if (args.size() != 2 || args[1] != QLatin1String("save")) {
        return 2;
    }
    AppSettings settings;
    {
        QSettings stored;
        settings.Load(stored);
    }
    for (int i = 0; i < 8; ++i)
        settings.recentUrlList.Add(QStringLiteral("http://new.example/%1/").arg(i) +
                                   QString(1000, QLatin1Char('n')));
    settings.player = QStringLiteral("/usr/bin/newPlayer");
    return WriteSettingsSafely([&](QSettings& stored) { settings.Save(stored); }) ? 0 : 1;
}
