#pragma once

#include <Qt>

class QWidget;

namespace Tarnwick {

// Sets or clears one flag of a top-level window without hiding it.
//
// QWidget::setWindowFlags re-creates a shown window, and to do so it hides it first. Hiding a
// dialog that runs modally ends its event loop, and the program's window is such a dialog: a
// click on "Keep this dialog on top" would end the program. The platform window takes the new
// flags in place instead (the X11 window manager reads them from the window's properties).
void SetWindowFlagInPlace(QWidget* window, Qt::WindowType flag, bool on);

} // namespace Tarnwick
