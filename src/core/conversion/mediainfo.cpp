#include "mediainfo.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace Tarnwick {

MediaInfo::MediaInfo() {
    std::memset(&block_, 0, sizeof block_);
}

MediaInfo::~MediaInfo() {
    Allocate(&block_, 0);
}

void MediaInfo::Clear() {
    Allocate(&block_, 0);
    std::memset(&block_, 0, sizeof block_);
}

void MediaInfo::SortStreams() {
    if (block_.streams == nullptr || block_.streamCount <= 0)
        return;
    std::stable_sort(
        block_.streams, block_.streams + block_.streamCount,
        [](const VarnexStreamRecord& a, const VarnexStreamRecord& b) { return a.type < b.type; });
}

const VarnexStreamRecord* MediaInfo::FirstStream(int type) const {
    for (int i = 0; i < block_.streamCount && block_.streams != nullptr; ++i) {
        if (block_.streams[i].type == type)
            return &block_.streams[i];
    }
    return nullptr;
}

int MediaInfo::Allocate(void* info, int count) {
    auto* block = static_cast<VarnexInfoBlock*>(info);
    std::free(block->streams);
    block->streams = nullptr;
    block->streamCount = 0;
    if (count <= 0)
        return 0;
    auto* streams =
        static_cast<VarnexStreamRecord*>(std::calloc(static_cast<size_t>(count), sizeof(VarnexStreamRecord)));
    if (streams == nullptr)
        return -1;
    block->streams = streams;
    block->streamCount = count;
    return 0;
}

} // namespace Tarnwick
