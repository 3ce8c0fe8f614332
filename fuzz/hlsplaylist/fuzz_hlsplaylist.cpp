// The playlist reader on any bytes: it never fails, keeps at most the segment limit, and what
// it keeps is consistent with what it says about the list.

#include "fuzzcheck.h"
#include "retrieval/sources/hlsplaylist.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace Tarnwick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const HlsPlaylist playlist = ParseHlsPlaylist(bytes);
    Require(playlist.segments.size() <= HlsSegmentLimit);
    if (!playlist.isPlaylist)
        Require(playlist.segments.isEmpty() && playlist.variants.isEmpty());
    for (const HlsVariant& variant : playlist.variants)
        Require(variant.bandwidth >= 0 && variant.width >= 0 && variant.height >= 0);
    Require(!std::isnan(playlist.totalDuration));
    // A list that is refused says why; one that is not is complete and unencrypted.
    if (HlsRefusal(playlist).isEmpty())
        Require(playlist.hasEndList && playlist.encryption.isEmpty() && !playlist.tooManySegments);
    HlsAttribute(bytes, "BANDWIDTH");
    return 0;
}
