#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace Tarnwick {

// The program's icon, drawn once: a downward arrow into a tray.
QIcon ProgramIcon();
// The same picture at any size, for the desktop entry and the browser extension.
QImage ProgramIconImage(int size);

// One image of three 16x16 state pictures side by side: in progress, success, failure. The
// list shows picture n - 1 for state image n; 0 shows none.
QPixmap StateImageStrip();
// The picture for state image 1..3 cut from the strip; a null icon for 0.
QIcon StateImage(int image);

// The toolbar's pictures, 16x15, by command id.
QIcon ToolbarImage(int commandId);

} // namespace Tarnwick
