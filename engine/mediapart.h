#pragma once

#include "varnexmedia.h"

namespace VarnexEngine {

// The engine's media part as the front sees it: loaded when a request first needs it,
// unloaded on Unload or with the front. A failed load keeps no handle, only the reason, and
// the next request tries again. Requests made side by side load it once.
class MediaPart {
public:
    constexpr MediaPart() = default;
    // Unloads the media part with the front. Not on Windows: this runs under the loader's lock
    // there, where freeing another library is unsafe; the host closes (103) before unloading.
    ~MediaPart() {
#ifndef _WIN32
        Unload();
#endif
    }
    MediaPart(const MediaPart&) = delete;
    MediaPart& operator=(const MediaPart&) = delete;

    static constexpr int kFailureSize = 1024;

    // The media part's entry point, loading the library first when needed; null when it
    // cannot be loaded, and then failure (kFailureSize bytes, when given) receives why, with
    // the system's own text, for the user to read.
    VarnexMediaEntryPoint Entry(char* failure = nullptr);
    void Unload();

private:
    // Keeps the system's text of the failure that has just happened.
    void Fail();

    void* handle_ = nullptr;
    VarnexMediaEntryPoint entry_ = nullptr;
    char failure_[kFailureSize] = {};
};

} // namespace VarnexEngine
