// Stand-in for a program that others start: appends the parameter text it was started with (the
// command line without the program's own name), as UTF-8, as one line to "<its name>.log" beside it.
#include <windows.h>

#include <string>

namespace {

const wchar_t* SkipProgramName(const wchar_t* line) {
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"')
            ++line;
        if (*line == L'"')
            ++line;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

std::string ToUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<size_t>(size) : 1U, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t module[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return 1;
    std::wstring logPath(module, length);
    const size_t dot = logPath.find_last_of(L'.');
    logPath = logPath.substr(0, dot) + L".log";

    const std::string line = ToUtf8(SkipProgramName(GetCommandLineW())) + "\n";
    // Several copies may start at once; appends of one write each do not mix.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
            return ok && written == line.size() ? 0 : 1;
        }
        Sleep(10);
    }
    return 1;
}
