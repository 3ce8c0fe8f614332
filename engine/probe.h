#pragma once

#include "varnex.h"

namespace VarnexEngine {

// Opens the media file and describes its audio and video streams in the info block, through
// the host's allocation function. Other streams (subtitles, data) are left out.
int ProbeFile(const char* path, VarnexInfoBlock* info, VarnexAllocateFunction allocate);

} // namespace VarnexEngine
