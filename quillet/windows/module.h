#pragma once
// Library-wide state of Quillet.dll: its module handle and the counts that decide whether COM
// may unload it.
#include <windows.h>

namespace quillet {

HMODULE ModuleHandle();

// Live objects (class factories included) and LockServer locks; changed only interlocked because
// COM may call in from any apartment.
void ObjectCreated();
void ObjectDestroyed();
void LockModule();
void UnlockModule();
bool ModuleInUse();

} // namespace quillet
