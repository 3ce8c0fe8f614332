// Takes a picture of the main window for the README: window-shot <out.png> <delay ms> [--run]
// [<folder>] [<url>...]. With --run the run starts at once and the picture is taken during it.

#include "app/appsettings.h"
#include "app/commandline.h"
#include "conversion/conversionengine.h"
#include "conversion/formatcatalog.h"
#include "queue/mainwindow.h"
#include "retrieval/job/processjob.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: window-shot <out.png> <delay ms> [--run] [<folder>] [<url>...]\n");
        return 2;
    }
    const QString out = arguments.takeFirst();
    const int delay = arguments.takeFirst().toInt();
    const bool run = !arguments.isEmpty() && arguments.first() == QLatin1String("--run");
    if (run)
        arguments.removeFirst();

    // The formats with their factory presets, and the engine beside the program, so that the
    // picture shows the conversion lists filled and the run converts.
    Tarnwick::Catalog catalog = Tarnwick::BuildCatalog();
    for (auto& group : catalog)
        for (auto& format : group->formats)
            format->ResetToFactory();
    Tarnwick::ConversionEngine engine;
    const bool converting = engine.Open(QCoreApplication::applicationDirPath() + QStringLiteral("/") +
                                        Tarnwick::EngineLibraryFileName());
    Tarnwick::AppSettings settings;
    settings.convert = converting;
    Tarnwick::CommandLineArgs args = Tarnwick::ParseCommandLine(arguments);
    if (!args.outputFolder.isEmpty())
        settings.defaultFolder = args.outputFolder;
    settings.videoHost = qEnvironmentVariable("TARNWICK_VIDEO_HOST", settings.videoHost);
    Tarnwick::MainWindow window(settings, &engine, &catalog, Tarnwick::ProcessJob);
    window.SetOverwriteQuestion([](const QString&) { return 1167; });
    for (const QString& url : args.urls)
        window.AddUrl(url);
    window.show();
    if (run)
        window.StartRun();
    QTimer::singleShot(delay, &window, [&] {
        const bool saved = window.grab().save(out);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(out));
        window.SetMessageFunction([](const QString&) {});
        window.reject();
        QTimer::singleShot(0, &application, &QApplication::quit);
    });
    return application.exec();
}
