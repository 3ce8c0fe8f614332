// Writes the program's icon as <folder>/<size>.png for each size given: the pictures of the
// desktop entry and of the browser extension come from the one drawing the program shows.
#include "ui/programicon.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: programicons <folder> <size>...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder))
        return 1;
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString path = QDir(folder).filePath(QString::number(size) + QStringLiteral(".png"));
        if (size <= 0 || !Tarnwick::ProgramIconImage(size).save(path)) {
            std::fprintf(stderr, "programicons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
