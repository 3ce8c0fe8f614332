#pragma once

#include <QString>

namespace Tarnwick {

// Where a run saves when no folder was given: the user's videos folder, else the downloads
// folder, whichever exists; on a system that has neither the videos folder is made, and when
// even that fails the home folder is used. Never empty.
QString FallbackDownloadFolder();

} // namespace Tarnwick
