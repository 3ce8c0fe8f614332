#include "windowflags.h"

#include <QWidget>
#include <QWindow>

namespace Tarnwick {

void SetWindowFlagInPlace(QWidget* window, Qt::WindowType flag, bool on) {
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(flag, on);
    if (flags == window->windowFlags())
        return;
    QWindow* handle = window->windowHandle();
    if (!handle) {
        // Not created yet: nothing is shown, so nothing can be hidden.
        window->setWindowFlags(flags);
        return;
    }
    window->overrideWindowFlags(flags);
    handle->setFlags(flags);
}

} // namespace Tarnwick
