#pragma once

#include <cstdlib>

// A broken invariant ends the run the way a crash does, so that libFuzzer keeps the input.
inline void Require(bool condition) {
    if (!condition)
        std::abort();
}
