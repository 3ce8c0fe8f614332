#pragma once
#include <string>

namespace tarnwick {

// The installation folder as the browser entries name it: the settings value "InstallDir" under
// HKEY_CURRENT_USER\Software\Ostrand\Tarnwick, else the folder of the running executable
// (without a trailing backslash), which is then stored there. Empty when neither is known.
std::string ProgramFolder();

} // namespace tarnwick
