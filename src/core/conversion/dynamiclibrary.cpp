#include "dynamiclibrary.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace Tarnwick {

DynamicLibrary::~DynamicLibrary() {
    Close();
}

#ifdef Q_OS_WIN

bool DynamicLibrary::Open(const QString& path) {
    Close();
    handle_ = LoadLibraryW(reinterpret_cast<const wchar_t*>(path.utf16()));
    if (handle_ == nullptr) {
        wchar_t* buffer = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, GetLastError(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                       reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        errorText_ = QString::fromWCharArray(buffer).trimmed();
        LocalFree(buffer);
        return false;
    }
    return true;
}

void DynamicLibrary::Close() {
    if (handle_ != nullptr)
        FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) {
    return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

#else

bool DynamicLibrary::Open(const QString& path) {
    Close();
    // Lazy binding: a library that pulls in many others (libcurl, say) would otherwise have every
    // call of theirs bound up front, most of which a run never makes. A missing library still
    // fails here; only a missing function would show late.
    handle_ = dlopen(path.toUtf8().constData(), RTLD_LAZY | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* text = dlerror();
        errorText_ = text ? QString::fromLocal8Bit(text) : QStringLiteral("The library could not be loaded.");
        return false;
    }
    return true;
}

void DynamicLibrary::Close() {
    if (handle_ != nullptr)
        dlclose(handle_);
    handle_ = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

#endif

} // namespace Tarnwick
