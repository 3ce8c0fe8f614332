#include "application.h"

#include <QApplication>
#include <clocale>
#include <cstdlib>

namespace {

// Without a display the program still starts (for scripts and the demo on a headless machine),
// on Qt's offscreen platform, instead of aborting in the windowing plugin.
void UseOffscreenWithoutDisplay() {
#ifdef Q_OS_LINUX
    const bool hasDisplay =
        qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (!hasDisplay && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
}

} // namespace

int main(int argc, char* argv[]) {
    UseOffscreenWithoutDisplay();
    QApplication qtApplication(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
    // Numbers in the preset file and the engine's option line always use "." as the decimal
    // point; Qt has set the user's locale, so put the C rules back for numbers.
    std::setlocale(LC_NUMERIC, "C");

    int exitCode = 0;
    {
        Tarnwick::Application application;
        exitCode = application.Run(QCoreApplication::arguments().mid(1));
    } // the application object writes the settings and closes the engine here
    return exitCode;
}
