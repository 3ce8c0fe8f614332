// Drives the launcher object for the Wine tests.
//   quilletdriver invoke <address>...   IDispatch::Invoke of dispatch id 1, as a script host does
//   quilletdriver invoke-null           the same with a null string
//   quilletdriver call <address>...     the interface's own Download
//   quilletdriver library <Quillet.dll> the library's counts, interfaces, type library and icons
// Exit code 0 when every call and check came out as expected; failures are printed.
#include "quillet_h.h"

#include <windows.h>

#include <ole2.h>

#include <cstdio>
#include <cwchar>

namespace {

int checks = 0;
int failures = 0;

void Check(bool ok, const char* what, HRESULT hr = S_OK) {
    ++checks;
    if (!ok) {
        std::printf("FAIL: %s (0x%08lx)\n", what, static_cast<unsigned long>(hr));
        ++failures;
    }
}

ITarnwickQuillet* CreateByProgId() {
    CLSID classId{};
    HRESULT hr = CLSIDFromProgID(L"Ostrand.Tarnwick.Quillet", &classId);
    Check(SUCCEEDED(hr) && IsEqualCLSID(classId, CLSID_TarnwickQuillet), "ProgID names the class", hr);
    ITarnwickQuillet* object = nullptr;
    hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ITarnwickQuillet,
                          reinterpret_cast<void**>(&object));
    Check(SUCCEEDED(hr), "create by ProgID", hr);
    return SUCCEEDED(hr) ? object : nullptr;
}

void InvokeDownload(IDispatch* object, BSTR address) {
    LPOLESTR name = const_cast<LPOLESTR>(L"Download");
    DISPID id = 0;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    Check(hr == S_OK && id == 1, "Download has dispatch id 1", hr);

    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = address;
    DISPPARAMS parameters{&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    hr = object->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, &result, nullptr,
                        nullptr);
    Check(hr == S_OK, "Invoke of dispatch id 1 returns S_OK", hr);
    VariantClear(&result);
}

int Addresses(int argc, wchar_t** argv, bool throughDispatch) {
    ITarnwickQuillet* object = CreateByProgId();
    if (object == nullptr)
        return 1;
    for (int i = 2; i < argc; ++i) {
        BSTR address = SysAllocString(argv[i]);
        if (throughDispatch) {
            InvokeDownload(object, address);
        } else {
            const HRESULT hr = object->Download(address);
            Check(hr == S_OK, "Download returns S_OK", hr);
        }
        SysFreeString(address);
    }
    if (argc == 2)
        InvokeDownload(object, nullptr);
    object->Release();
    return failures;
}

using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

void CheckInterfaces(IUnknown* object) {
    struct Case {
        const IID* id;
        bool answered;
        const char* what;
    };
    const Case cases[] = {
        {&IID_IUnknown, true, "answers IUnknown"},
        {&IID_IDispatch, true, "answers IDispatch"},
        {&IID_ITarnwickQuillet, true, "answers ITarnwickQuillet"},
        {&IID_IMarshal, false, "refuses IMarshal"},
        {&IID_IClassFactory, false, "refuses IClassFactory"},
        {&IID_IPersist, false, "refuses IPersist"},
    };
    for (const Case& c : cases) {
        IUnknown* answer = nullptr;
        const HRESULT hr = object->QueryInterface(*c.id, reinterpret_cast<void**>(&answer));
        Check(c.answered ? hr == S_OK && answer != nullptr : hr == E_NOINTERFACE && answer == nullptr, c.what,
              hr);
        if (answer != nullptr)
            answer->Release();
    }
}

void CheckTypeInformation(IDispatch* object) {
    UINT count = 0;
    Check(object->GetTypeInfoCount(&count) == S_OK && count == 1, "one type information");
    ITypeInfo* info = nullptr;
    HRESULT hr = object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
    Check(hr == S_OK && info != nullptr, "type information of the interface", hr);
    if (info == nullptr)
        return;

    ITypeLib* library = nullptr;
    UINT index = 0;
    hr = info->GetContainingTypeLib(&library, &index);
    Check(hr == S_OK, "containing type library", hr);
    if (library != nullptr) {
        // The library that the registered class key names.
        TLIBATTR* attributes = nullptr;
        if (SUCCEEDED(library->GetLibAttr(&attributes))) {
            Check(IsEqualGUID(attributes->guid, LIBID_QuilletLib) && attributes->wMajorVerNum == 1 &&
                      attributes->wMinorVerNum == 0,
                  "library identifier and version 1.0");
            library->ReleaseTLibAttr(attributes);
        }
        ITypeInfo* coclass = nullptr;
        hr = library->GetTypeInfoOfGuid(CLSID_TarnwickQuillet, &coclass);
        Check(hr == S_OK, "class in the type library", hr);
        if (coclass != nullptr) {
            TYPEATTR* attributes = nullptr;
            if (SUCCEEDED(coclass->GetTypeAttr(&attributes))) {
                Check((attributes->wTypeFlags & TYPEFLAG_FCANCREATE) != 0, "class is creatable");
                coclass->ReleaseTypeAttr(attributes);
            }
            coclass->Release();
        }
        library->Release();
    }

    // Download is the eighth slot of the interface's function table: after IUnknown's three and
    // IDispatch's four.
    HREFTYPE reference = 0;
    ITypeInfo* vtable = nullptr;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)))
        info->GetRefTypeInfo(reference, &vtable);
    Check(vtable != nullptr, "dual interface has its vtable view");
    if (vtable != nullptr) {
        FUNCDESC* function = nullptr;
        if (SUCCEEDED(vtable->GetFuncDesc(0, &function))) {
            Check(function->memid == 1 && function->oVft == 7 * sizeof(void*) && function->cParams == 1 &&
                      function->lprgelemdescParam[0].tdesc.vt == VT_BSTR,
                  "Download: dispatch id 1, eighth slot, one BSTR");
            vtable->ReleaseFuncDesc(function);
        }
        vtable->Release();
    }
    info->Release();

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    hr = object->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    Check(hr == DISP_E_MEMBERNOTFOUND, "unknown dispatch id is refused", hr);
}

// 16x16 and 24x24 images of 256 colours in the icon group.
void CheckIconGroup(HMODULE module, int id, const char* what) {
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    const auto* data =
        resource ? static_cast<const BYTE*>(LockResource(LoadResource(module, resource))) : nullptr;
    bool sizes[2] = {false, false};
    if (data != nullptr) {
        const WORD count = *reinterpret_cast<const WORD*>(data + 4);
        const auto* entries = reinterpret_cast<const GroupEntry*>(data + 6);
        for (WORD i = 0; i < count; ++i) {
            if (entries[i].bitCount != 8)
                continue;
            sizes[0] = sizes[0] || (entries[i].width == 16 && entries[i].height == 16);
            sizes[1] = sizes[1] || (entries[i].width == 24 && entries[i].height == 24);
        }
    }
    Check(sizes[0] && sizes[1], what);
}

int Library(const wchar_t* path) {
    HMODULE module = LoadLibraryW(path);
    Check(module != nullptr, "load the library");
    if (module == nullptr)
        return failures;
    auto canUnload =
        reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    auto getClass = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    Check(canUnload && getClass && GetProcAddress(module, "DllRegisterServer") &&
              GetProcAddress(module, "DllUnregisterServer"),
          "the four exports");
    if (canUnload == nullptr || getClass == nullptr)
        return failures;

    IClassFactory* factory = nullptr;
    Check(getClass(IID_ITarnwickQuillet, IID_IClassFactory, reinterpret_cast<void**>(&factory)) ==
              CLASS_E_CLASSNOTAVAILABLE,
          "no factory for another class");
    Check(canUnload() == S_OK, "unloadable while nothing lives");
    HRESULT hr = getClass(CLSID_TarnwickQuillet, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    Check(hr == S_OK && factory != nullptr, "class factory", hr);
    if (factory == nullptr)
        return failures;
    Check(canUnload() == S_FALSE, "held factory keeps the library");
    IDispatch* object = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
    Check(hr == S_OK && object != nullptr, "create an object", hr);
    factory->Release();
    if (object == nullptr)
        return failures;
    Check(canUnload() == S_FALSE, "live object keeps the library");
    CheckInterfaces(object);
    CheckTypeInformation(object);
    object->Release();
    Check(canUnload() == S_OK, "unloadable after the last release");

    getClass(CLSID_TarnwickQuillet, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    factory->LockServer(TRUE);
    factory->Release();
    Check(canUnload() == S_FALSE, "a lock keeps the library");
    getClass(CLSID_TarnwickQuillet, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    factory->LockServer(FALSE);
    factory->Release();
    Check(canUnload() == S_OK, "unloadable after the unlock");

    // The toolbar button's entries point at these two groups.
    CheckIconGroup(module, 201, "icon group 201: 16x16 and 24x24, 256 colours");
    CheckIconGroup(module, 202, "icon group 202: 16x16 and 24x24, 256 colours");
    FreeLibrary(module);
    return failures;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    CoInitialize(nullptr);
    int result = 2;
    if (std::wcscmp(argv[1], L"invoke") == 0 && argc > 2)
        result = Addresses(argc, argv, true);
    else if (std::wcscmp(argv[1], L"invoke-null") == 0)
        result = Addresses(argc, argv, true);
    else if (std::wcscmp(argv[1], L"call") == 0 && argc > 2)
        result = Addresses(argc, argv, false);
    else if (std::wcscmp(argv[1], L"library") == 0 && argc == 3)
        result = Library(argv[2]);
    CoUninitialize();
    std::printf("%d checks, %d failed\n", checks, failures);
    return result;
}
