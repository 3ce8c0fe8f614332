#pragma once

#include "mediapart.h"
#include "varnexmedia.h"

namespace VarnexEngine {

// The front's state between init and close: the host's services and the media part, which
// is loaded by the first request that needs it and unloaded at close. Requests are served
// one at a time.
class Session {
public:
    static Session& Instance();

    bool IsInitialised() const { return initialised_; }
    VarnexGetWindowFunction HostWindow() const { return getWindow_; }
    // The host's services as the media part receives them with every request.
    const VarnexMediaServices& MediaServices() const { return services_; }
    MediaPart& Media() { return media_; }

    int Init(const VarnexInitBlock* block);
    void Close();

    constexpr Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

private:
    VarnexGetWindowFunction getWindow_ = nullptr;
    VarnexMediaServices services_{};
    MediaPart media_;
    bool initialised_ = false;
};

} // namespace VarnexEngine
