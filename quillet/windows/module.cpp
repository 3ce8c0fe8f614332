#include "module.h"

#include "classfactory.h"
#include "launcherobject.h"
#include "quillet_h.h"

#include <new>

namespace quillet {
namespace {
HMODULE module = nullptr;
volatile LONG objectCount = 0;
volatile LONG lockCount = 0;
} // namespace

HMODULE ModuleHandle() {
    return module;
}

void ObjectCreated() {
    InterlockedIncrement(&objectCount);
}
void ObjectDestroyed() {
    InterlockedDecrement(&objectCount);
}
void LockModule() {
    InterlockedIncrement(&lockCount);
}
void UnlockModule() {
    InterlockedDecrement(&lockCount);
}

bool ModuleInUse() {
    return InterlockedCompareExchange(&objectCount, 0, 0) != 0 ||
           InterlockedCompareExchange(&lockCount, 0, 0) != 0;
}

} // namespace quillet

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        quillet::module = instance;
        DisableThreadLibraryCalls(instance);
        quillet::LauncherObject::StartUp();
    } else if (reason == DLL_PROCESS_DETACH) {
        quillet::LauncherObject::ShutDown();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID interfaceId, void** result) {
    if (result == nullptr)
        return E_POINTER;
    *result = nullptr;
    if (!IsEqualCLSID(classId, CLSID_TarnwickQuillet))
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) quillet::ClassFactory;
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(interfaceId, result);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (quillet::ModuleInUse())
        return S_FALSE;
    // Nothing alive can ask for the type information any more; drop it before the unload.
    quillet::LauncherObject::ReleaseTypeInfo();
    return S_OK;
}
