#include "extensionregistrar.h"

#include "programfolder.h"

#include <windows.h>

#include <shellapi.h>

#include <initializer_list>
#include <utility>

namespace tarnwick {
namespace {

constexpr char kMenuExtKey[] = "Software\\Microsoft\\Internet Explorer\\MenuExt";
constexpr char kPageItem[] = "Download Video on This Page";
constexpr char kLinkItem[] = "Download Video This Links To";
constexpr char kPageItemKey[] =
    "Software\\Microsoft\\Internet Explorer\\MenuExt\\Download Video on This Page";
constexpr char kLinkItemKey[] =
    "Software\\Microsoft\\Internet Explorer\\MenuExt\\Download Video This Links To";
constexpr char kExtensionsKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
constexpr char kExtensionName[] = "{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}";
constexpr char kExtensionKey[] =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{5A0C81D2-3E47-4B96-A1F8-62D7C90B4E13}";
// The browser's own identifier for buttons and menu items that run a script.
constexpr char kScriptRunnerId[] = "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}";

constexpr DWORD kEveryContext = 0x7F;
constexpr DWORD kLinkContext = 0x20;

constexpr const char* kButtonValues[] = {"Default Visible", "ButtonText", "HotIcon", "Icon"};
constexpr const char* kMenuValues[] = {"MenuCustomize", "MenuText", "MenuStatusBar"};

using NamedText = std::pair<const char*, std::string>;

// Owns an open key for the length of one step.
class Key {
public:
    Key() = default;
    ~Key() {
        if (handle_ != nullptr)
            RegCloseKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool Create(HKEY root, const char* path) {
        return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                               &handle_, nullptr) == ERROR_SUCCESS;
    }
    bool Open(HKEY root, const char* path, REGSAM access) {
        return RegOpenKeyExA(root, path, 0, access, &handle_) == ERROR_SUCCESS;
    }
    // name nullptr: the default value. Written with the terminating zero.
    bool SetText(const char* name, const std::string& text) {
        return RegSetValueExA(handle_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    }
    bool SetNumber(const char* name, DWORD number) {
        return RegSetValueExA(handle_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                              sizeof number) == ERROR_SUCCESS;
    }
    bool CanRead(const char* name) {
        char data[1023];
        DWORD size = sizeof data;
        return RegQueryValueExA(handle_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) ==
               ERROR_SUCCESS;
    }
    bool DeleteValue(const char* name) { return RegDeleteValueA(handle_, name) == ERROR_SUCCESS; }
    bool DeleteSubkey(const char* name) { return RegDeleteKeyA(handle_, name) == ERROR_SUCCESS; }

    // In order, stopping at the first failure.
    bool SetTexts(std::initializer_list<NamedText> values) {
        for (const auto& [name, text] : values) {
            if (!SetText(name, text))
                return false;
        }
        return true;
    }
    template <size_t Count>
    bool DeleteValues(const char* const (&names)[Count]) {
        for (const char* name : names) {
            if (!DeleteValue(name))
                return false;
        }
        return true;
    }

private:
    HKEY handle_ = nullptr;
};

bool WriteContextItem(const char* path, const std::string& page, DWORD contexts) {
    Key key;
    return key.Create(HKEY_CURRENT_USER, path) && key.SetText(nullptr, page) &&
           key.SetNumber("Contexts", contexts);
}

bool ContextMenuStep(bool on, const std::string& folder) {
    if (on) {
        const bool page = WriteContextItem(kPageItemKey, folder + "\\IEPage.html", kEveryContext);
        const bool link = WriteContextItem(kLinkItemKey, folder + "\\IELink.html", kLinkContext);
        return page && link;
    }
    Key menus;
    return menus.Open(HKEY_CURRENT_USER, kMenuExtKey, KEY_WRITE) && menus.DeleteSubkey(kPageItem) &&
           menus.DeleteSubkey(kLinkItem);
}

bool ToolbarButtonStep(bool on, const std::string& folder, const std::string& library) {
    Key key;
    if (on) {
        const std::string module = folder + "\\" + library;
        return key.Create(HKEY_LOCAL_MACHINE, kExtensionKey) &&
               key.SetTexts({{"Default Visible", "Yes"},
                             {"ButtonText", "Download Video"},
                             {"HotIcon", module + ",202"},
                             {"Icon", module + ",201"}});
    }
    return key.Open(HKEY_LOCAL_MACHINE, kExtensionKey, KEY_WRITE) && key.DeleteValues(kButtonValues);
}

bool ToolsMenuStep(bool on) {
    Key key;
    if (on) {
        return key.Create(HKEY_LOCAL_MACHINE, kExtensionKey) &&
               key.SetTexts({{"MenuCustomize", "Tools"},
                             {"MenuText", "Download Video on This Page"},
                             {"MenuStatusBar", "Download video on this web page using Tarnwick"}});
    }
    return key.Open(HKEY_LOCAL_MACHINE, kExtensionKey, KEY_WRITE) && key.DeleteValues(kMenuValues);
}

bool IdentityStep(bool on, const std::string& folder) {
    Key key;
    if (on) {
        return key.Create(HKEY_LOCAL_MACHINE, kExtensionKey) &&
               key.SetTexts(
                   {{nullptr, "Tarnwick"}, {"CLSID", kScriptRunnerId}, {"Script", folder + "\\IEPage.html"}});
    }
    return key.Open(HKEY_LOCAL_MACHINE, kExtensionsKey, KEY_WRITE) && key.DeleteSubkey(kExtensionName);
}

bool LibraryStep(bool registerLibrary, const std::string& folder, const std::string& library) {
    if (!registerLibrary)
        return true; // the library is never unregistered
    const std::string parameters = "/s /c \"" + folder + "\\" + library + "\"";
    // Not waited for: registration finishes on its own.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, nullptr, "regsvr32.exe", parameters.c_str(), nullptr, SW_HIDE));
    return result > 32;
}

} // namespace

ExtensionRegistrar::ExtensionRegistrar()
    : libraryName_("Quillet.dll") {}

bool ExtensionRegistrar::Enable(bool enabled, bool contextMenu, bool toolbarButton, bool toolsMenu) {
    if (enabled)
        return Apply(true, contextMenu, toolbarButton, toolsMenu);
    return Apply(false, false, false, false);
}

int ExtensionRegistrar::QueryState(bool& contextMenu, bool& toolbarButton, bool& toolsMenu) {
    {
        Key page;
        Key link;
        contextMenu = page.Open(HKEY_CURRENT_USER, kPageItemKey, KEY_READ) &&
                      link.Open(HKEY_CURRENT_USER, kLinkItemKey, KEY_READ);
    }
    Key extension;
    const bool present = extension.Open(HKEY_LOCAL_MACHINE, kExtensionKey, KEY_QUERY_VALUE);
    const bool identity = present && extension.CanRead("CLSID");
    toolbarButton = identity && extension.CanRead("ButtonText");
    toolsMenu = identity && extension.CanRead("MenuText");
    if (contextMenu)
        return toolbarButton && toolsMenu ? 2 : 1;
    return toolbarButton || toolsMenu ? 1 : 0;
}

bool ExtensionRegistrar::Apply(bool registerLibrary, bool contextMenu, bool toolbarButton, bool toolsMenu) {
    const std::string folder = ProgramFolder();
    // Every step runs, whatever an earlier one did.
    bool ok = ContextMenuStep(contextMenu, folder);
    ok = ToolbarButtonStep(toolbarButton, folder, libraryName_) && ok;
    ok = ToolsMenuStep(toolsMenu) && ok;
    ok = IdentityStep(toolbarButton || toolsMenu, folder) && ok;
    ok = LibraryStep(registerLibrary, folder, libraryName_) && ok;
    return ok;
}

} // namespace tarnwick
