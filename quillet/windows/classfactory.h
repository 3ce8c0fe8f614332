#pragma once
#include <unknwn.h>
#include <windows.h>

namespace quillet {

// Creates the launcher objects; counts as a live object itself while anyone holds it.
class ClassFactory final : public IClassFactory {
public:
    ClassFactory();
    ~ClassFactory();
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID interfaceId, void** result) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    volatile LONG references_ = 1;
};

} // namespace quillet
