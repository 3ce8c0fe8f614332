#include "librarypin.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <opencore-amrnb/interf_enc.h>
#include <vo-amrwbenc/enc_if.h>

#include <atomic>

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace VarnexEngine {

namespace {

#ifndef _WIN32
void PinLibraryOf(const void* symbol) {
    Dl_info info{};
    if (dladdr(symbol, &info) == 0 || info.dli_fname == nullptr)
        return;
    // RTLD_NOLOAD only takes a new reference on the library already mapped; RTLD_NODELETE
    // keeps it mapped after the engine's own reference is gone.
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}
#endif

} // namespace

void PinMediaLibraries() {
#ifndef _WIN32
    // Requests may come side by side; the first of them pins.
    static std::atomic<bool> pinned{false};
    if (pinned.exchange(true))
        return;
    PinLibraryOf(reinterpret_cast<const void*>(&avformat_version));
    PinLibraryOf(reinterpret_cast<const void*>(&avcodec_version));
    PinLibraryOf(reinterpret_cast<const void*>(&avfilter_version));
    PinLibraryOf(reinterpret_cast<const void*>(&avutil_version));
    PinLibraryOf(reinterpret_cast<const void*>(&swresample_version));
    PinLibraryOf(reinterpret_cast<const void*>(&swscale_version));
    PinLibraryOf(reinterpret_cast<const void*>(&Encoder_Interface_init));
    PinLibraryOf(reinterpret_cast<const void*>(&E_IF_init));
#endif
}

} // namespace VarnexEngine
