// Writes the program's icon as <folder>/<size>.png for each size given: the pictures of the
// desktop entry and of the browser extension come from the one drawing the program shows.
#include "ui/programicon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The picture of a switched-off button: grey and faded, as disabled buttons look everywhere.
QImage SwitchedOff(QImage image) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 2);
        }
    }
    return image;
}

bool Save(const QImage& image, const QString& path) {
    if (image.save(path))
        return true;
    std::fprintf(stderr, "programicons: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

// programicons [--off] <folder> <size>...: --off also writes <size>-off.png, the switched-off look.
int main(int argc, char* argv[]) {
    const bool withOff = argc > 1 && std::strcmp(argv[1], "--off") == 0;
    if (withOff) {
        --argc;
        ++argv;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: programicons [--off] <folder> <size>...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder))
        return 1;
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) {
            std::fprintf(stderr, "programicons: no such size: %s\n", argv[i]);
            return 2;
        }
        const QImage image = Tarnwick::ProgramIconImage(size);
        const QString path = QDir(folder).filePath(QString::number(size));
        if (!Save(image, path + QStringLiteral(".png")) ||
            (withOff && !Save(SwitchedOff(image), path + QStringLiteral("-off.png"))))
            return 1;
    }
    return 0;
}
