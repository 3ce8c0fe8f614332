#pragma once

#include "varnex.h"

namespace VarnexEngine {

// What the host handed over with the init command, kept until close.
struct HostServices {
    VarnexGetWindowFunction getWindow = nullptr;
    VarnexAllocateFunction allocate = nullptr;
};

// The engine's state between init and close. Requests are served one at a time.
class Session {
public:
    static Session& Instance();

    bool IsInitialised() const { return initialised_; }
    const HostServices& Host() const { return host_; }

    int Init(const VarnexInitBlock* block);
    void Close();

private:
    HostServices host_;
    bool initialised_ = false;
};

} // namespace VarnexEngine
