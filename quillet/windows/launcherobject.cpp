#include "launcherobject.h"

#include "launch.h"
#include "module.h"

namespace quillet {
namespace {

CRITICAL_SECTION typeInfoLock;
// What callers of GetTypeInfo see (the dispatch view of the dual interface) and what DispInvoke
// needs to reach the vtable (its interface view).
ITypeInfo* dispatchInfo = nullptr;
ITypeInfo* interfaceInfo = nullptr;

HRESULT LoadTypeInfo() {
    EnterCriticalSection(&typeInfoLock);
    HRESULT hr = S_OK;
    if (dispatchInfo == nullptr) {
        wchar_t path[MAX_PATH + 1] = {};
        const DWORD length = GetModuleFileNameW(ModuleHandle(), path, MAX_PATH + 1);
        ITypeLib* library = nullptr;
        hr = length == 0 || length > MAX_PATH ? E_FAIL : LoadTypeLibEx(path, REGKIND_NONE, &library);
        ITypeInfo* info = nullptr;
        if (SUCCEEDED(hr))
            hr = library->GetTypeInfoOfGuid(IID_ITarnwickQuillet, &info);
        ITypeInfo* vtableInfo = nullptr;
        if (SUCCEEDED(hr)) {
            HREFTYPE reference = 0;
            hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference);
            if (SUCCEEDED(hr))
                hr = info->GetRefTypeInfo(reference, &vtableInfo);
        }
        if (SUCCEEDED(hr)) {
            dispatchInfo = info;
            interfaceInfo = vtableInfo;
        } else if (info != nullptr) {
            info->Release();
        }
        if (library != nullptr)
            library->Release();
    }
    LeaveCriticalSection(&typeInfoLock);
    return hr;
}

} // namespace

void LauncherObject::StartUp() {
    InitializeCriticalSection(&typeInfoLock);
}

void LauncherObject::ShutDown() {
    DeleteCriticalSection(&typeInfoLock);
}

void LauncherObject::ReleaseTypeInfo() {
    EnterCriticalSection(&typeInfoLock);
    if (interfaceInfo != nullptr)
        interfaceInfo->Release();
    if (dispatchInfo != nullptr)
        dispatchInfo->Release();
    interfaceInfo = dispatchInfo = nullptr;
    LeaveCriticalSection(&typeInfoLock);
}

LauncherObject::LauncherObject() {
    ObjectCreated();
}
LauncherObject::~LauncherObject() {
    ObjectDestroyed();
}

HRESULT STDMETHODCALLTYPE LauncherObject::QueryInterface(REFIID interfaceId, void** result) {
    if (result == nullptr)
        return E_POINTER;
    if (IsEqualIID(interfaceId, IID_IUnknown) || IsEqualIID(interfaceId, IID_IDispatch) ||
        IsEqualIID(interfaceId, IID_ITarnwickQuillet)) {
        *result = static_cast<ITarnwickQuillet*>(this);
        AddRef();
        return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE LauncherObject::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE LauncherObject::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE LauncherObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LauncherObject::GetTypeInfo(UINT index, LCID, ITypeInfo** result) {
    if (result == nullptr)
        return E_POINTER;
    *result = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    dispatchInfo->AddRef();
    *result = dispatchInfo;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LauncherObject::GetIDsOfNames(REFIID interfaceId, LPOLESTR* names, UINT nameCount,
                                                        LCID, DISPID* ids) {
    if (!IsEqualIID(interfaceId, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    return DispGetIDsOfNames(interfaceInfo, names, nameCount, ids);
}

HRESULT STDMETHODCALLTYPE LauncherObject::Invoke(DISPID member, REFIID interfaceId, LCID, WORD flags,
                                                 DISPPARAMS* parameters, VARIANT* result,
                                                 EXCEPINFO* exception, UINT* argumentError) {
    if (!IsEqualIID(interfaceId, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    const HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    return DispInvoke(static_cast<ITarnwickQuillet*>(this), interfaceInfo, member, flags, parameters, result,
                      exception, argumentError);
}

HRESULT STDMETHODCALLTYPE LauncherObject::Download(BSTR bsURL) {
    // The script page must never see an error, whatever happens to the launch.
    BSTR copy = bsURL == nullptr ? SysAllocString(L"") : SysAllocStringLen(bsURL, SysStringLen(bsURL));
    if (copy != nullptr)
        Launch(copy);
    return S_OK;
}

} // namespace quillet
