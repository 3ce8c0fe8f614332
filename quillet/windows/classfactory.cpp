#include "classfactory.h"

#include "launcherobject.h"
#include "module.h"

#include <new>

namespace quillet {

ClassFactory::ClassFactory() {
    ObjectCreated();
}
ClassFactory::~ClassFactory() {
    ObjectDestroyed();
}

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID interfaceId, void** result) {
    if (result == nullptr)
        return E_POINTER;
    if (IsEqualIID(interfaceId, IID_IUnknown) || IsEqualIID(interfaceId, IID_IClassFactory)) {
        *result = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ClassFactory::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE ClassFactory::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID interfaceId, void** result) {
    if (result == nullptr)
        return E_POINTER;
    *result = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) LauncherObject;
    if (object == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(interfaceId, result);
    object->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) {
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}

} // namespace quillet
