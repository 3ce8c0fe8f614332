#pragma once
// Starting Tarnwick.exe from the installation folder with one address.
#include <windows.h>

#include <oleauto.h>

namespace quillet {

constexpr DWORD kPathBufferSize = 1024;
constexpr DWORD kParameterBufferSize = 1024;

// Starts "<InstallDir>\Tarnwick.exe" with the address, in double quotes, as its whole parameter
// text. Takes ownership of url (an owned copy) and frees it. Starts nothing when the folder is
// unknown or the address cannot be handed over intact.
void Launch(BSTR url);

// "<InstallDir>\Tarnwick.exe" from the per-user settings key, into a buffer of kPathBufferSize.
bool ReadExecutablePath(char* path);

// The quoted parameter text, or false when the address would break out of the quotes or not fit.
bool BuildParameterText(const char* address, char* parameters);

} // namespace quillet
