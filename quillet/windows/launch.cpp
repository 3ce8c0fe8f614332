#include "launch.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace quillet {
namespace {
constexpr char kSettingsKey[] = "Software\\Ostrand\\Tarnwick";
constexpr char kInstallDirValue[] = "InstallDir";
constexpr char kExecutableSuffix[] = "\\Tarnwick.exe";

// CP_ACP with no flags: characters the code page lacks become its default character.
std::vector<char> ToAnsi(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0')
        return std::vector<char>(1, '\0');
    // Sized by asking first: on a multi-byte code page a character can need more than two bytes,
    // and a short buffer would leave no text at all.
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::vector<char> ansi(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), size, nullptr, nullptr) != size)
        return {};
    return ansi;
}

} // namespace

bool ReadExecutablePath(char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = kPathBufferSize - 1;
    const LONG status =
        RegQueryValueExA(key, kInstallDirValue, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size == 0 || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    // The stored data need not carry its terminating zero.
    path[size] = '\0';
    const size_t folderLength = std::strlen(path);
    if (folderLength == 0 || folderLength + sizeof kExecutableSuffix > kPathBufferSize)
        return false; // a cut path would start some other program
    std::memcpy(path + folderLength, kExecutableSuffix, sizeof kExecutableSuffix);
    return true;
}

bool BuildParameterText(const char* address, char* parameters) {
    // A quote would end the quoted argument early and let the rest of the address become
    // further arguments.
    if (std::strchr(address, '"') != nullptr)
        return false;
    // Backslashes before a quote escape it when the program splits its command line, so those
    // that end the address are doubled: the closing quote must stay a quote, and the address
    // must keep its backslashes.
    // Walked by characters: on a double-byte code page a second byte may equal a backslash.
    int trailing = 0;
    for (const char* at = address; *at != '\0'; at = CharNextA(at))
        trailing = *at == '\\' ? trailing + 1 : 0;
    std::memset(parameters, 0, kParameterBufferSize);
    const int written = std::snprintf(parameters, kParameterBufferSize, "\"%s%.*s\"", address, trailing,
                                      address + std::strlen(address) - trailing);
    // A cut address would hand Tarnwick some other page.
    return written > 0 && static_cast<DWORD>(written) < kParameterBufferSize;
}

void Launch(BSTR url) {
    char executable[kPathBufferSize] = {};
    char parameters[kParameterBufferSize];
    if (ReadExecutablePath(executable)) {
        const std::vector<char> address = ToAnsi(url);
        if (!address.empty() && BuildParameterText(address.data(), parameters)) {
            // Without a window of its own and with no error box: a page that asks for a
            // download must not meet a system dialog when Tarnwick is missing.
            SHELLEXECUTEINFOA execute = {};
            execute.cbSize = sizeof execute;
            execute.fMask = SEE_MASK_FLAG_NO_UI;
            execute.lpFile = executable;
            execute.lpParameters = parameters;
            execute.nShow = SW_SHOW;
            ShellExecuteExA(&execute);
        }
    }
    SysFreeString(url);
}

} // namespace quillet
