#include "mediapart.h"

#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <pthread.h>
#include <unistd.h>
#endif

namespace VarnexEngine {

namespace {

constexpr char kFailurePrefix[] = "The conversion engine could not load its media part: ";

// The system's own lock, not the C++ runtime's, which the front does not link. There is one
// media part per process, so one lock serves.
#ifdef _WIN32
SRWLOCK loadLock = SRWLOCK_INIT;
struct LoadGuard {
    LoadGuard() { AcquireSRWLockExclusive(&loadLock); }
    ~LoadGuard() { ReleaseSRWLockExclusive(&loadLock); }
};
#else
pthread_mutex_t loadLock = PTHREAD_MUTEX_INITIALIZER;
struct LoadGuard {
    LoadGuard() { pthread_mutex_lock(&loadLock); }
    ~LoadGuard() { pthread_mutex_unlock(&loadLock); }
};
#endif

// The front's own entry point tells which file the front was loaded from.
void* FrontAddress() {
    return reinterpret_cast<void*>(&Varnex);
}

#ifdef _WIN32

constexpr wchar_t kMediaFileName[] = L"Varnex1Media.dll";

// The media part beside the front when it is there, else by the system's search. A copy
// beside the front is loaded with its own folder searched first, where its media libraries
// are installed with it.
void* OpenLibrary() {
    HMODULE front = nullptr;
    wchar_t path[MAX_PATH * 4];
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(FrontAddress()), &front)) {
        const DWORD length = GetModuleFileNameW(front, path, MAX_PATH * 4);
        wchar_t* separator = length > 0 && length < MAX_PATH * 4 ? wcsrchr(path, L'\\') : nullptr;
        const size_t folderLength = separator ? static_cast<size_t>(separator - path) + 1 : 0;
        if (separator != nullptr && folderLength + wcslen(kMediaFileName) < MAX_PATH * 4) {
            wcscpy(separator + 1, kMediaFileName);
            if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
                return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        }
    }
    return LoadLibraryW(kMediaFileName);
}

void* FindEntry(void* library) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), VARNEX_MEDIA_ENTRY_NAME));
}

void CloseLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

// The system's text for the last failure, in UTF-8 as the host reads every text.
void SystemText(char* buffer, size_t size) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, GetLastError(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                   reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    buffer[0] = '\0';
    if (text != nullptr) {
        WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, static_cast<int>(size), nullptr, nullptr);
        LocalFree(text);
    }
    buffer[size - 1] = '\0';
    // The system's messages end with a line break, which the host would show.
    size_t length = strlen(buffer);
    while (length > 0 && strchr("\r\n ", buffer[length - 1]) != nullptr)
        buffer[--length] = '\0';
}

#else

constexpr char kMediaFileName[] = "libvarnex1media.so";

// The media part beside the front when it is there, else by the system's search. A copy
// beside is never passed over for another found elsewhere: the two halves of one build
// belong together, and its failure is the one worth reporting.
void* OpenLibrary() {
    // Bound now, so that a missing function fails here, with a reason, not in the middle
    // of a request.
    constexpr int kMode = RTLD_NOW | RTLD_LOCAL;
    Dl_info front{};
    if (dladdr(FrontAddress(), &front) != 0 && front.dli_fname != nullptr) {
        const char* separator = strrchr(front.dli_fname, '/');
        char path[PATH_MAX];
        const int folderLength = separator ? static_cast<int>(separator - front.dli_fname) : 0;
        const int length =
            snprintf(path, sizeof path, "%.*s/%s", folderLength, front.dli_fname, kMediaFileName);
        if (separator != nullptr && length > 0 && static_cast<size_t>(length) < sizeof path &&
            access(path, F_OK) == 0)
            return dlopen(path, kMode);
    }
    return dlopen(kMediaFileName, kMode);
}

void* FindEntry(void* library) {
    return dlsym(library, VARNEX_MEDIA_ENTRY_NAME);
}

void CloseLibrary(void* library) {
    dlclose(library);
}

void SystemText(char* buffer, size_t size) {
    const char* text = dlerror();
    snprintf(buffer, size, "%s", text ? text : "");
}

#endif

} // namespace

VarnexMediaEntryPoint MediaPart::Entry(char* failure) {
    const LoadGuard guard;
    if (entry_ != nullptr)
        return entry_;
    void* library = OpenLibrary();
    void* entry = library ? FindEntry(library) : nullptr;
    if (entry == nullptr) {
        Fail(); // before closing, which may overwrite the system's text
        if (library != nullptr)
            CloseLibrary(library);
        if (failure != nullptr)
            memcpy(failure, failure_, sizeof failure_);
        return nullptr;
    }
    handle_ = library;
    entry_ = reinterpret_cast<VarnexMediaEntryPoint>(entry);
    failure_[0] = '\0';
    return entry_;
}

void MediaPart::Unload() {
    const LoadGuard guard;
    if (handle_ != nullptr)
        CloseLibrary(handle_);
    handle_ = nullptr;
    entry_ = nullptr;
}

void MediaPart::Fail() {
    char text[sizeof failure_ - sizeof kFailurePrefix + 1];
    SystemText(text, sizeof text);
    snprintf(failure_, sizeof failure_, "%s%s", kFailurePrefix,
             text[0] ? text : "the system gave no reason.");
}

} // namespace VarnexEngine
