#pragma once

#include <QIcon>

namespace Tarnwick {

// The system's folder icon, as the folder lists show it. Asked of the system once per process:
// the first request reads the icon's images (and has Qt look through its image plug-ins), which
// is worth doing only once on the way to the window. For the window's thread only.
const QIcon& FolderIcon();

} // namespace Tarnwick
