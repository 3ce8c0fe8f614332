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
int RefuseConvert(VarnexNotifyFunction notify, const char* reason) {
    if (notify != nullptr) {
        notify(VARNEX_NOTIFY_BEGIN, 0, 0);
        notify(VARNEX_NOTIFY_STATUS, VarnexEngine::Notifier::kResultText, reinterpret_cast<intptr_t>(reason));
        notify(VARNEX_NOTIFY_END, 0, 0);
    }
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

int Convert(Session& session, void* data, intptr_t arg) {
    const auto notify = reinterpret_cast<VarnexNotifyFunction>(arg);
    if (!session.IsInitialised())
        return RefuseConvert(notify, "The engine was not initialised (command 102).");
    const VarnexMediaEntryPoint media = session.Media().Entry();
    if (media == nullptr)
        return RefuseConvert(notify, session.Media().Failure());
    return media(&session.MediaServices(), VARNEX_CMD_CONVERT, data, arg);
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
        return Convert(session, data, arg);
    default:
        return VARNEX_UNKNOWN_COMMAND;
    }
}
