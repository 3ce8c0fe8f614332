#include "session.h"

#include "librarypin.h"

namespace VarnexEngine {

Session& Session::Instance() {
    static Session session;
    return session;
}

int Session::Init(const VarnexInitBlock* block) {
    // A host built against an older, shorter block would hand us fewer slots than we read.
    if (block == nullptr || block->size < sizeof(VarnexInitBlock) || block->allocate == nullptr)
        return VARNEX_BAD_ARGUMENT;
    host_.getWindow = block->getWindow;
    host_.allocate = block->allocate;
    PinMediaLibraries();
    initialised_ = true;
    return VARNEX_OK;
}

void Session::Close() {
    host_ = HostServices{};
    initialised_ = false;
}

} // namespace VarnexEngine
