#include "programfolder.h"

#include <windows.h>

namespace tarnwick {
namespace {
constexpr char kSettingsKey[] = "Software\\Ostrand\\Tarnwick";
constexpr char kInstallDirValue[] = "InstallDir";

std::string StoredFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    char folder[1024] = {};
    DWORD type = 0;
    DWORD size = sizeof folder - 1;
    const LONG status =
        RegQueryValueExA(key, kInstallDirValue, nullptr, &type, reinterpret_cast<BYTE*>(folder), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return {};
    folder[size] = '\0';
    return folder;
}

std::string ExecutableFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return {};
    std::string folder(path, length);
    const size_t separator = folder.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : folder.substr(0, separator);
}

void StoreFolder(const std::string& folder) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, kInstallDirValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(key);
}

} // namespace

std::string ProgramFolder() {
    std::string folder = StoredFolder();
    if (!folder.empty())
        return folder;
    folder = ExecutableFolder();
    if (!folder.empty())
        StoreFolder(folder);
    return folder;
}

} // namespace tarnwick
