// The engine's one entry point: checks each request and hands it to the part that serves it.

#include "varnex.h"

#include "convert.h"
#include "engineerror.h"
#include "probe.h"
#include "session.h"

namespace {

int Query(void* data, intptr_t arg) {
    auto* block = static_cast<VarnexQueryBlock*>(data);
    if (block == nullptr || arg != 1 || block->size < sizeof(VarnexQueryBlock))
        return VARNEX_BAD_ARGUMENT;
    block->version = VARNEX_INTERFACE_VERSION;
    return VARNEX_OK;
}

} // namespace

extern "C" VARNEX_EXPORT int Varnex(int command, void* data, intptr_t arg) {
    // No exception may cross the C boundary: a host in another language cannot catch it.
    try {
        VarnexEngine::Session& session = VarnexEngine::Session::Instance();
        switch (command) {
        case VARNEX_CMD_QUERY:
            return Query(data, arg);
        case VARNEX_CMD_INIT:
            return session.Init(static_cast<const VarnexInitBlock*>(data));
        case VARNEX_CMD_CLOSE:
            session.Close();
            return VARNEX_OK;
        case VARNEX_CMD_PROBE: {
            if (!session.IsInitialised())
                return VARNEX_UNAVAILABLE;
            // The host has no console to show FFmpeg's complaints about a damaged file.
            VarnexEngine::LogCapture quiet;
            return VarnexEngine::ProbeFile(static_cast<const char*>(data),
                                           reinterpret_cast<VarnexInfoBlock*>(arg), session.Host().allocate);
        }
        case VARNEX_CMD_CONVERT:
            if (!session.IsInitialised())
                return VarnexEngine::RefuseConvert(reinterpret_cast<VarnexNotifyFunction>(arg),
                                                   "The engine was not initialised (command 102).");
            return VarnexEngine::ConvertCommand(static_cast<const char*>(data),
                                                reinterpret_cast<VarnexNotifyFunction>(arg));
        default:
            return VARNEX_UNKNOWN_COMMAND;
        }
    } catch (...) {
        return VARNEX_FAILED;
    }
}
