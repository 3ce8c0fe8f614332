#pragma once
#include "quillet_h.h"

namespace quillet {

// The one scriptable class: script pages create it by its ProgID and call Download with an
// address. IDispatch is served from the embedded type library.
class LauncherObject final : public ITarnwickQuillet {
public:
    LauncherObject();
    ~LauncherObject();
    LauncherObject(const LauncherObject&) = delete;
    LauncherObject& operator=(const LauncherObject&) = delete;

    // The type information is shared by all objects and loaded once, on first use.
    static void StartUp();
    static void ShutDown();
    static void ReleaseTypeInfo();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** result) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID interfaceId, LPOLESTR* names, UINT nameCount, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID interfaceId, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    HRESULT STDMETHODCALLTYPE Download(BSTR bsURL) override;

private:
    volatile LONG references_ = 1;
};

} // namespace quillet
