// Saves a preset file in a separate process so that the test can interrupt the save: with a
// file-size limit (the disk fills up at a chosen byte) or by killing the process while it
// saves over and over.
//
//   presetsaver <path> limit <bytes>   one save of the "new" catalogue under the size limit
//   presetsaver <path> loop            saves "old" and "new" by turns until killed

#include "presetcatalogvariants.h"
#include "presets/presetstore.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

using namespace Tarnwick;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    PresetStore oldStore;
    PresetStore newStore;
    MakeVariant(oldStore, CatalogVariant::Old);
    MakeVariant(newStore, CatalogVariant::New);
    oldStore.SetPath(args[1]);
    newStore.SetPath(args[1]);

    if (args[2] == QLatin1String("limit") && args.size() == 4) {
        // Writes past the limit fail with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t bytes = args[3].toULongLong();
        const rlimit limit{bytes, bytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
        return newStore.WritePresetFile() ? 0 : 1;
    }
    if (args[2] == QLatin1String("loop")) {
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        for (bool useNew = true;; useNew = !useNew)
            (useNew ? newStore : oldStore).WritePresetFile();
    }
    return 2;
}
