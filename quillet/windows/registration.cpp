// Self-registration: the ProgIDs, the class key and the type library, under HKEY_CLASSES_ROOT.
#include "module.h"
#include "quillet_h.h"

#include <oleauto.h>
#include <olectl.h>

#include <string>

namespace quillet {
namespace {

constexpr wchar_t kClassKey[] = L"CLSID\\{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}";
constexpr wchar_t kClassId[] = L"{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}";
constexpr wchar_t kLibraryId[] = L"{3C9B2E70-58D1-4F2A-9E64-B07A13D58C21}";
constexpr wchar_t kProgId[] = L"Ostrand.Tarnwick.Quillet.1";
constexpr wchar_t kIndependentProgId[] = L"Ostrand.Tarnwick.Quillet";
constexpr wchar_t kDescription[] = L"Tarnwick.Quillet";
constexpr wchar_t kModulePlaceholder[] = L"%MODULE%";

struct Entry {
    const wchar_t* key;
    const wchar_t* valueName; // nullptr: the default value
    const wchar_t* data;      // nullptr: the key alone
};

constexpr Entry kEntries[] = {
    {L"Ostrand.Tarnwick.Quillet.1", nullptr, kDescription},
    {L"Ostrand.Tarnwick.Quillet.1\\CLSID", nullptr, kClassId},
    {L"Ostrand.Tarnwick.Quillet", nullptr, kDescription},
    {L"Ostrand.Tarnwick.Quillet\\CLSID", nullptr, kClassId},
    {L"Ostrand.Tarnwick.Quillet\\CurVer", nullptr, kProgId},
    {kClassKey, nullptr, kDescription},
    {L"CLSID\\{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}\\ProgID", nullptr, kProgId},
    {L"CLSID\\{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}\\VersionIndependentProgID", nullptr, kIndependentProgId},
    {L"CLSID\\{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}\\Programmable", nullptr, nullptr},
    {L"CLSID\\{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}\\InprocServer32", nullptr, kModulePlaceholder},
    {L"CLSID\\{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}\\TypeLib", nullptr, kLibraryId},
};

// The keys removed on unregistration, each with everything below it; the CLSID key stays.
constexpr const wchar_t* kOwnedKeys[] = {kProgId, kIndependentProgId, kClassKey};

bool ModulePath(std::wstring& path) {
    path.assign(32768, L'\0');
    const DWORD length = GetModuleFileNameW(ModuleHandle(), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return false;
    path.resize(length);
    return true;
}

bool WriteEntry(const Entry& entry, const std::wstring& modulePath) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = ERROR_SUCCESS;
    if (entry.data != nullptr) {
        const wchar_t* data = entry.data == kModulePlaceholder ? modulePath.c_str() : entry.data;
        const DWORD bytes = static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t));
        status = RegSetValueExW(key, entry.valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool DeleteOwnedKey(const wchar_t* name) {
    const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

HRESULT RegisterTypeLibrary(const std::wstring& modulePath) {
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    std::wstring path = modulePath;
    hr = RegisterTypeLib(library, path.data(), nullptr);
    library->Release();
    return hr;
}

} // namespace
} // namespace quillet

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    using namespace quillet;
    std::wstring modulePath;
    if (!ModulePath(modulePath))
        return SELFREG_E_CLASS;
    // The class key (with Programmable) is replaced whole, so nothing stale survives below it.
    if (!DeleteOwnedKey(kClassKey))
        return SELFREG_E_CLASS;
    for (const Entry& entry : kEntries) {
        if (!WriteEntry(entry, modulePath))
            return SELFREG_E_CLASS;
    }
    return SUCCEEDED(RegisterTypeLibrary(modulePath)) ? S_OK : SELFREG_E_TYPELIB;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    using namespace quillet;
    bool removed = true;
    for (const wchar_t* key : kOwnedKeys)
        removed = DeleteOwnedKey(key) && removed;
    const HRESULT hr = UnRegisterTypeLib(LIBID_QuilletLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    if (!removed)
        return SELFREG_E_CLASS;
    // A library that was never registered is already gone.
    return SUCCEEDED(hr) || hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED ? S_OK
                                                                                         : SELFREG_E_TYPELIB;
}
