// The media part's one entry point: probe and convert on FFmpeg's libraries, called by the
// engine's front once the host has initialised it.

#include "varnexmedia.h"

#include "convert.h"
#include "engineerror.h"
#include "librarypin.h"
#include "probe.h"

extern "C" VARNEX_EXPORT int VarnexMedia(const VarnexMediaServices* services, int command, void* data,
                                         intptr_t arg) {
    // A front from another build could hand us a shorter block than we read.
    if (services == nullptr || services->size < sizeof(VarnexMediaServices))
        return VARNEX_BAD_ARGUMENT;
    // No exception may cross the C boundary: the front is built without them.
    try {
        // Once per load of this library; the pins outlive it, so that reloading the media part
        // before every request maps nothing new.
        VarnexEngine::PinMediaLibraries();
        switch (command) {
        case VARNEX_CMD_PROBE: {
            // The host has no console to show FFmpeg's complaints about a damaged file.
            VarnexEngine::LogCapture quiet;
            return VarnexEngine::ProbeFile(static_cast<const char*>(data),
                                           reinterpret_cast<VarnexInfoBlock*>(arg), services->allocate);
        }
        case VARNEX_CMD_CONVERT:
            return VarnexEngine::ConvertCommand(static_cast<const char*>(data),
                                                reinterpret_cast<VarnexNotifyFunction>(arg));
        case VARNEX_CMD_CONVERT_WITH_CONTEXT:
            return VarnexEngine::ConvertCommand(static_cast<const VarnexConvertBlock*>(data));
        default:
            return VARNEX_UNKNOWN_COMMAND;
        }
    } catch (...) {
        return VARNEX_FAILED;
    }
}
