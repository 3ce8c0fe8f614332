#pragma once

#include "app/applicationcore.h"

#include <QStringList>

namespace Tarnwick {

// The application object: runs the start-up sequence, then the main window, and on
// destruction writes the settings and shuts the engine down (through ApplicationCore).
class Application {
public:
    Application();

    // Runs the program with the arguments after its name; returns the process exit code.
    int Run(const QStringList& arguments);

    ApplicationCore& Core() { return core_; }

private:
    ApplicationCore core_;
};

} // namespace Tarnwick
