#include "session.h"

namespace VarnexEngine {

namespace {

// Built at load without a guard: the front links no C++ runtime. Its destructor unloads the
// media part when the front itself is unloaded without a close.
constinit Session session;

} // namespace

Session& Session::Instance() {
    return session;
}

int Session::Init(const VarnexInitBlock* block) {
    // A host built against an older, shorter block would hand us fewer slots than we read.
    if (block == nullptr || block->size < sizeof(VarnexInitBlock) || block->allocate == nullptr)
        return VARNEX_BAD_ARGUMENT;
    getWindow_ = block->getWindow;
    services_.size = sizeof services_;
    services_.allocate = block->allocate;
    initialised_ = true;
    return VARNEX_OK;
}

void Session::Close() {
    media_.Unload();
    getWindow_ = nullptr;
    services_ = VarnexMediaServices{};
    initialised_ = false;
}

} // namespace VarnexEngine
