#pragma once

#include "varnex.h"

namespace Tarnwick {

// The info block that the engine fills when it probes a file. It owns the stream array, which
// only the allocation function below ever allocates or frees.
class MediaInfo {
public:
    MediaInfo();
    ~MediaInfo();
    MediaInfo(const MediaInfo&) = delete;
    MediaInfo& operator=(const MediaInfo&) = delete;

    // Frees the stream array and zeroes the block.
    void Clear();
    // Orders the streams by type: audio before video, each kind in its original order.
    void SortStreams();

    int StreamCount() const { return block_.streamCount; }
    const VarnexStreamRecord& Stream(int index) const { return block_.streams[index]; }
    // The first stream of the type, or null.
    const VarnexStreamRecord* FirstStream(int type) const;

    VarnexInfoBlock* Block() { return &block_; }

    // The engine's allocation function (see varnex.h).
    static int Allocate(void* info, int count);

private:
    VarnexInfoBlock block_;
};

} // namespace Tarnwick
