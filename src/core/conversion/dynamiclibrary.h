#pragma once

#include <QString>

namespace Tarnwick {

// A shared library loaded at run time. Closing it (or destroying the object) unloads it.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // A path with a folder loads that file; a bare name goes through the system's library
    // search. On failure ErrorText() holds the system's own description.
    bool Open(const QString& path);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

    void* Symbol(const char* name);
    const QString& ErrorText() const { return errorText_; }

private:
    void* handle_ = nullptr;
    QString errorText_;
};

} // namespace Tarnwick
