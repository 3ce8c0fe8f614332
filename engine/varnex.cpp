// The engine's one entry point, in the front: it answers the start-up commands itself and
// hands probe and convert to the media part, which it loads only when one of them comes.

#include "varnex.h"

#include "notifier.h"
#include "session.h"

namespace {

using VarnexEngine::Session;

int Query(void* data, intptr_t arg) {
    auto* block = static_cast<VarnexQueryBlock*>(data);
    if (block == nullptr || arg != 1 || block->size < sizeof(VarnexQueryBlock))
        return VARNEX_BAD_ARGUMENT;
    block->version = VARNEX_INTERFACE_VERSION;
    return VARNEX_OK;
}

// Answers a convert request that cannot be served at all, notified as any failed conversion
// is (begin, the reason as the result text, end), so that the job's failure names the reason.
// The command is 201 or 202, whose block has been checked.
int RefuseConvert(int command, void* data, intptr_t arg, const char* reason) {
    const auto* block = static_cast<const VarnexConvertBlock*>(data);
    const auto notify = [&](int code, int a, intptr_t b) {
        if (command == VARNEX_CMD_CONVERT && arg != 0)
            reinterpret_cast<VarnexNotifyFunction>(arg)(code, a, b);
        else if (command == VARNEX_CMD_CONVERT_WITH_CONTEXT && block->notify != nullptr)
            block->notify(block->context, code, a, b);
    };
    notify(VARNEX_NOTIFY_BEGIN, 0, 0);
    notify(VARNEX_NOTIFY_STATUS, VarnexEngine::Notifier::kResultText, reinterpret_cast<intptr_t>(reason));
    notify(VARNEX_NOTIFY_END, 0, 0);
    return VARNEX_UNAVAILABLE;
}

int Probe(Session& session, void* data, intptr_t arg) {
    if (!session.IsInitialised())
        return VARNEX_UNAVAILABLE;
    const VarnexMediaEntryPoint media = session.Media().Entry();
    if (media == nullptr)
        return VARNEX_UNAVAILABLE;
    return media(&session.MediaServices(), VARNEX_CMD_PROBE, data, arg);
}

// Commands 201 and 202, which differ only in how they notify.
int Convert(Session& session, int command, void* data, intptr_t arg) {
    if (command == VARNEX_CMD_CONVERT_WITH_CONTEXT &&
        (data == nullptr || static_cast<const VarnexConvertBlock*>(data)->size < sizeof(VarnexConvertBlock)))
        return VARNEX_BAD_ARGUMENT;
    if (!session.IsInitialised())
        return RefuseConvert(command, data, arg, "The engine was not initialised (command 102).");
    char failure[VarnexEngine::MediaPart::kFailureSize] = {};
    const VarnexMediaEntryPoint media = session.Media().Entry(failure);
    if (media == nullptr)
        return RefuseConvert(command, data, arg, failure);
    return media(&session.MediaServices(), command, data, arg);
}

} // namespace

extern "C" VARNEX_EXPORT int Varnex(int command, void* data, intptr_t arg) {
    // Nothing here throws; the media part keeps its exceptions to itself.
    Session& session = Session::Instance();
    switch (command) {
    case VARNEX_CMD_QUERY:
        return Query(data, arg);
    case VARNEX_CMD_INIT:
        return session.Init(static_cast<const VarnexInitBlock*>(data));
    case VARNEX_CMD_CLOSE:
        session.Close();
        return VARNEX_OK;
    case VARNEX_CMD_PROBE:
        return Probe(session, data, arg);
    case VARNEX_CMD_CONVERT:
    case VARNEX_CMD_CONVERT_WITH_CONTEXT:
        return Convert(session, command, data, arg);
    default:
        return VARNEX_UNKNOWN_COMMAND;
    }
}
